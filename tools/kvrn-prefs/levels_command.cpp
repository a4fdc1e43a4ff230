// kvrn-prefs levels and files: the level table and the definition files.
#include <cstdio>
#include <string>

#include "tool.h"

namespace {

// The level's load state as a person reads it, with the number of entries it carries.
std::string load_text(int level) {
  char* reason = nullptr;
  const int state = VERU_ask_level_load_state(level, &reason);
  std::string text = taken(reason);
  if (state == VERU_LOAD_FAILED) return "failed: " + text;
  if (state == VERU_LOAD_NO_FILE) return "no file";
  if (state != VERU_LOAD_LOADED) return "not read";
  text = level == 0 ? "definitions" : "loaded";
  if (const int carried = VERU_ask_level_carried_entries(level, nullptr)) {
    text += ", " + std::to_string(carried) + (carried == 1 ? " entry" : " entries") +
            " ignored and carried";
  }
  return text;
}

}  // namespace

int run_levels() {
  std::printf("%-5s %-8s %-7s %-9s %-9s %s\n", "level", "name", "defined", "writeable", "locked",
              "value file");
  for (int level = 0; level <= 3; ++level) {
    const bool defined = VERU__is_level_defined(level);
    const char* path = VERU__ask_level_filename(level);
    std::printf("%-5d %-8s %-7s %-9s %-9s %s\n", level, level_name(level), defined ? "yes" : "no",
                VERU_is_level_writeable(level) ? "yes" : "no",
                VERU_is_level_locked_by_default(level) ? "yes" : "no",
                level == 0 ? "(definition files)"
                : *path    ? path
                           : "-");
    if (level == 0 || defined) std::printf("      %s\n", load_text(level).c_str());
  }
  std::printf(
      "\n\"locked\" is the level's default lock: when yes, every preference is locked at "
      "that level\nunless its entry there says otherwise. Entries that a level's file holds but "
      "start-up\nignored (unknown name, locked below, value not valid) are carried: saving the "
      "level\nwrites them back.\n");
  return EXIT_OK;
}

int run_files() {
  char** paths = nullptr;
  const int count = VERU_ask_dpx_files(&paths);
  for (int i = 0; i < count; ++i) {
    std::printf("%2d %s\n", i + 1, paths[i]);
    SM_free(paths[i]);
  }
  SM_free(paths);
  return EXIT_OK;
}
