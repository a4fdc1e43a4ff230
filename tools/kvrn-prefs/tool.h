// kvrn-prefs: a command-line host of the preferences library. Shared pieces of the commands.
#pragma once

#include <veru.h>

#include "json.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

// Exit statuses.
constexpr int EXIT_OK = 0;
constexpr int EXIT_REFUSED = 1;  // the request was understood but cannot be done
constexpr int EXIT_USAGE = 2;    // the command line is wrong

// The options of commands, as bits of command_line_s::given.
enum : unsigned {
  OPTION_LEVEL = 1u << 0,
  OPTION_COMMENT = 1u << 1,
  OPTION_LOCK = 1u << 2,
  OPTION_UNLOCK = 1u << 3,
  OPTION_REPLACE_BROKEN = 1u << 4,
  OPTION_JSON = 1u << 5,
  OPTION_CHANGED = 1u << 6,
  OPTION_HTML = 1u << 7,
  OPTION_OUTPUT = 1u << 8,
  OPTION_PORT = 1u << 9,
  OPTION_NO_BROWSER = 1u << 10,
  OPTION_IDLE_TIMEOUT = 1u << 11,
  OPTION_COUNT = 1u << 12,
  OPTION_TIMEOUT = 1u << 13,
  OPTION_AGAINST_FILE = 1u << 14,
  OPTION_AGAINST_LEVEL = 1u << 15,
  OPTION_AGAINST_GENERATION = 1u << 16,
  OPTION_EFFECTIVE = 1u << 17,
  OPTION_AGAINST_BASE = 1u << 18,
  OPTION_AGAINST_SITE = 1u << 19,
  OPTION_AGAINST_GROUP = 1u << 20,
  OPTION_AGAINST_USER = 1u << 21,
  OPTION_GENERATION = 1u << 22,
  OPTION_DRY_RUN = 1u << 23,
  OPTION_KEEP_GOING = 1u << 24,
  OPTION_CLEAR_EXCEPTIONS = 1u << 25,
  OPTION_CLEAR = 1u << 26,
};

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
  std::string port;             // --port
  bool no_browser = false;      // --no-browser
  std::string idle_timeout;     // --idle-timeout
  std::string count;            // --count N
  std::string timeout;          // --timeout S
  bool verbose = false;         // -v, --verbose
  unsigned given = 0;           // the OPTION_* bits of the options given
  // The values of the options of diff, history and restore (--against-file ... --generation),
  // by their OPTION_* bit.
  std::map<unsigned, std::string> values;
  bool has(unsigned option) const { return (given & option) != 0; }
  std::string value(unsigned option) const {
    const auto found = values.find(option);
    return found == values.end() ? "" : found->second;
  }
};

// Level names as a person types and reads them.
const char* level_name(int level);
// The level of a name ("site", "group", "user", or 1 to 3); -1 when it is none of them.
int level_of(const std::string& name);
// The same, also taking "defaults" and 0.
int any_level_of(const std::string& name);

// The value's text as the library prints it; "-" for none. A new std::string.
std::string value_text(const VERU_value* value);
// A value of the preference as a person reads it: a string list's items separated by ", ",
// never its encoded form; "-" for none.
std::string shown_value(const VERU_pref* pref, const VERU_value* value);
// The effective value at the level as the library displays it (an enumeration member's name),
// but a string list as its items separated by ", ".
std::string displayed_value(VERU_pref* pref, int level);
std::string text_of(const TEXT_s* text);
std::string date_text(int time);

// The lowest level (0 to 2) that locks the preference; -1 when none does.
int locked_from(VERU_pref* pref);
// The level (0 to 3) that the effective value comes from.
int value_source(VERU_pref* pref);
// A value of the preference as JSON: a number, true or false, a string, or for a string list
// an array of its items; null for none.
json_document json_value(const VERU_pref* pref, const VERU_value* value);
// The object that describes a preference in the JSON of list, find and explain.
json_document pref_json_fields(VERU_pref* pref);
// Whether an application is the one a person names by its name or context-help tag; any
// application when wanted is empty.
bool application_matches(const VERU_group* application, const std::string& wanted);
// Every preference, in the order the definition files declare them.
std::vector<VERU_pref*> prefs_in_file_order();
// Line breaks and tabs as spaces, so that a text keeps to its line.
std::string one_line(std::string text);

// Prints an error for a person and returns status.
int refuse(int status, const std::string& message);
// One warning line on standard error for each level from 1 to last whose value file failed to
// load: its values and locks are missing from what the command shows or relies on.
void warn_about_failed_levels(int last = 3);
// Starts the preferences module; false when it cannot start, after saying why when say_why.
bool start_module(bool say_why);
// The text of a new string of the library (SM_free), which it frees; "" for null.
std::string taken(char* text);
// The texts of a new array of count new strings of the library, which it frees.
std::vector<std::string> taken(char** list, int count);
// The items of an encoded string list.
std::vector<std::string> list_items(const std::string& encoded);

int run_levels(const command_line_s& line);
int run_files(const command_line_s& line);
int run_list(const command_line_s& line);
int run_find(const command_line_s& line);
int run_get(const command_line_s& line);
int run_explain(const command_line_s& line);
int run_dump(const command_line_s& line);
int run_lint(const command_line_s& line);
int run_set(const command_line_s& line);
int run_reset(const command_line_s& line);
int run_lock(const command_line_s& line);
int run_unlock(const command_line_s& line);
int run_comment(const command_line_s& line);
int run_level_lock(const command_line_s& line);
int run_report(const command_line_s& line);
int run_validate(const command_line_s& line);
int run_edit(const command_line_s& line);
int run_watch(const command_line_s& line);
int run_history(const command_line_s& line);
int run_diff(const command_line_s& line);
int run_restore(const command_line_s& line);
int run_import(const command_line_s& line);
int run_cache(const command_line_s& line);
