// kvrn-prefs levels and files: the level table and the definition files.
#include <cstdio>

#include "tool.h"

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
  }
  std::printf(
      "\n\"locked\" is the level's default lock: when yes, every preference is locked at "
      "that level\nunless its entry there says otherwise.\n");
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
