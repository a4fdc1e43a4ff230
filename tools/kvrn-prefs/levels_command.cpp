// kvrn-prefs levels and files: the level table and the definition files.
#include <cstdio>
#include <string>

#include "json.h"
#include "tool.h"

namespace {

// The level's load state as a word of the JSON, and as a person reads it with the number of
// entries it carries.
const char* state_word(int level) {
  if (level == 0) return "definitions";
  if (!VERU__is_level_defined(level)) return "undefined";
  switch (VERU_ask_level_load_state(level, nullptr)) {
    case VERU_LOAD_LOADED:
      return "loaded";
    case VERU_LOAD_NO_FILE:
      return "no-file";
    case VERU_LOAD_FAILED:
      return "failed";
    default:
      return "not-read";
  }
}

std::string load_text(int level) {
  char* reason = nullptr;
  const int state = VERU_ask_level_load_state(level, &reason);
  std::string text = taken(reason);
  if (state == VERU_LOAD_FAILED) return "failed: " + text;
  if (state == VERU_LOAD_NO_FILE) return "no file";
  if (state != VERU_LOAD_LOADED) return "not read";
  text = level == 0 ? "the definitions' defaults, always there" : "loaded";
  if (const int carried = VERU_ask_level_carried_entries(level, nullptr)) {
    text += ", " + std::to_string(carried) + (carried == 1 ? " entry" : " entries") +
            " ignored and carried";
  }
  return text;
}

int print_json() {
  json_document levels = json_document::array();
  for (int level = 0; level <= 3; ++level) {
    char* reason = nullptr;
    const bool failed = level > 0 && VERU_ask_level_load_state(level, &reason) == VERU_LOAD_FAILED;
    const std::string error = taken(reason);
    const std::string path = level > 0 ? VERU__ask_level_filename(level) : "";
    levels.push_back({
        {"level", level},
        {"name", level_name(level)},
        {"defined", level == 0 || VERU__is_level_defined(level)},
        {"file", json_optional(!path.empty(), path)},
        {"writeable", VERU_is_level_writeable(level)},
        {"locked_by_default", VERU_is_level_locked_by_default(level)},
        {"state", state_word(level)},
        {"error", json_optional(failed, error)},
        {"carried", VERU_ask_level_carried_entries(level, nullptr)},
    });
  }
  print_json_document(levels, true);
  return EXIT_OK;
}

}  // namespace

int run_levels(const command_line_s& line) {
  if (!line.arguments.empty()) return refuse(EXIT_USAGE, "levels takes no arguments");
  if (line.json) return print_json();
  std::printf("%-5s %-8s %-7s %-9s %-9s %s\n", "level", "name", "defined", "writeable", "locked",
              "value file");
  for (int level = 0; level <= 3; ++level) {
    const char* path = VERU__ask_level_filename(level);
    const bool defined = level == 0 || VERU__is_level_defined(level);
    std::printf("%-5d %-8s %-7s %-9s %-9s %s\n", level, level_name(level),
                level == 0 ? "always"
                : defined  ? "yes"
                           : "no",
                VERU_is_level_writeable(level) ? "yes" : "no",
                VERU_is_level_locked_by_default(level) ? "yes" : "no",
                level == 0 ? "(definition files)"
                : *path    ? path
                           : "-");
    if (defined) std::printf("      %s\n", load_text(level).c_str());
  }
  std::printf(
      "\n\"locked\" is the level's default lock: when yes, every preference is locked at "
      "that level\nunless its entry there says otherwise. Entries that a level's file holds but "
      "start-up\nignored (unknown name, locked below, value not valid) are carried: saving the "
      "level\nwrites them back (kvrn-prefs lint says why each was ignored).\n");
  return EXIT_OK;
}

int run_files(const command_line_s& line) {
  if (!line.arguments.empty()) return refuse(EXIT_USAGE, "files takes no arguments");
  char** paths = nullptr;
  const int count = VERU_ask_dpx_files(&paths);
  int number = 0;
  for (const std::string& path : taken(paths, count))
    std::printf("%2d %s\n", ++number, path.c_str());
  return EXIT_OK;
}
