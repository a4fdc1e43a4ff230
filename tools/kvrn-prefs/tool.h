// kvrn-prefs: a command-line host of the preferences library. Shared pieces of the commands.
#pragma once

#include <veru.h>

#include <string>
#include <vector>

// Exit statuses.
constexpr int EXIT_OK = 0;
constexpr int EXIT_REFUSED = 1;  // the request was understood but cannot be done
constexpr int EXIT_USAGE = 2;    // the command line is wrong

struct command_line_s {
  std::string command;
  std::vector<std::string> arguments;  // positional arguments after the command
  std::string level;                   // --level
  std::string comment;                 // --comment
  bool has_comment = false;
  bool lock = false;            // --lock
  bool unlock = false;          // --unlock
  bool replace_broken = false;  // --replace-broken
  bool json = false;            // --json
  bool changed = false;         // --changed
  bool html = false;            // --html
  std::string output;           // -o, --output FILE
  bool verbose = false;         // -v, --verbose
};

// Level names as a person types and reads them.
const char* level_name(int level);
// The level of a name ("site", "group", "user", or 1 to 3); -1 when it is none of them.
int level_of(const std::string& name);

// The value's text as the library prints it; "-" for none. A new std::string.
std::string value_text(const VERU_value* value);
// A value of the preference as a person reads it: a string list's items separated by ", ",
// never its encoded form; "-" for none.
std::string shown_value(const VERU_pref* pref, const VERU_value* value);
// The effective value at the level as the library displays it (an enumeration member's name),
// but a string list as its items separated by ", ".
std::string displayed_value(VERU_pref* pref, int level);
// The preference's type as definition files name it.
const char* type_name(const VERU_pref* pref);
std::string text_of(const TEXT_s* text);
std::string date_text(int time);

// Prints an error for a person and returns status.
int refuse(int status, const std::string& message);
// One warning line on standard error for each level from 1 to last whose value file failed to
// load: its values and locks are missing from what the command shows or relies on.
void warn_about_failed_levels(int last = 3);
// The text of a new string of the library (SM_free), which it frees; "" for null.
std::string taken(char* text);

int run_levels();
int run_files();
int run_list(const command_line_s& line);
int run_get(const command_line_s& line);
int run_explain(const command_line_s& line);
int run_set(const command_line_s& line);
int run_reset(const command_line_s& line);
int run_lock(const command_line_s& line, bool locked);
int run_comment(const command_line_s& line);
int run_level_lock(const command_line_s& line);
int run_report(const command_line_s& line);
int run_validate(const command_line_s& line);
