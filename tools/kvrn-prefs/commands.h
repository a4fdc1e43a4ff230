// kvrn-prefs: the table of commands and options from which the command line is read, and from
// which help, the usage and the shell completion's words come, so that they cannot disagree.
#pragma once

#include <string>

#include "tool.h"

struct command_s {
  const char* name;
  const char* synopsis;  // the arguments and options after the name
  const char* summary;   // one line
  const char* details;   // the help's paragraph, lines of at most 76 characters
  int (*run)(const command_line_s& line);
  unsigned options;    // the OPTION_* bits the command takes
  bool starts_module;  // whether the preferences module must be started before run
  // Whether a level whose file failed to load is warned about first: its values and locks are
  // missing from what the command shows.
  bool warns = false;
};

struct option_s {
  const char* name;
  const char* alias;       // a short form, or null
  unsigned bit;            // OPTION_*, or 0 for the options every command takes
  const char* value_name;  // the value it takes, or null
  const char* summary;
};

// The commands in the order help lists them; ends with a null name.
extern const command_s COMMANDS[];
// The options of commands; ends with a null name.
extern const option_s OPTIONS[];

// The command of that name, or null.
const command_s* find_command(const std::string& name);
// The usage: every command with its synopsis and summary, the options and the exit statuses.
std::string usage_text();
// The help of one command: its synopsis, details and options.
std::string command_help(const command_s& command);
// The program's name and version.
std::string version_text();
// The environment variable that an installation option sets, or null when it is none.
const char* installation_variable(const std::string& option);
