// kvrn-prefs: the generations of a level's value file, for history, diff and restore.
#pragma once

#include <string>
#include <vector>

#include "tool.h"

// The generations' paths, newest first.
std::vector<std::string> level_generations(int level);
// The level's generation that an option (option_text as typed) numbers from 1, newest first.
struct generation_choice_s {
  int number = 0;  // 0 after saying why the option numbers none, with the exit status in status
  std::string path;
  int status = EXIT_OK;
};
generation_choice_s chosen_generation(const command_line_s& line, unsigned option,
                                      const char* option_text, int level);
