// kvrn-prefs: the generations of a level's value file, for history, diff and restore.
#pragma once

#include <string>
#include <vector>

#include "tool.h"

// The generations' paths, newest first.
std::vector<std::string> level_generations(int level);
// The generation number that the option gives, from 1 to count; 0 when it is above count, -1
// when it is no number from 1 on.
int generation_number(const command_line_s& line, unsigned option, std::size_t count);
