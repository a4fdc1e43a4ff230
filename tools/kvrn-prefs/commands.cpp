// kvrn-prefs: the table of commands and options, help and the usage.
#include "commands.h"

#include <cstdio>
#include <cstring>
#include <iterator>

namespace {

int run_help(const command_line_s& line);
int run_complete(const command_line_s& line);

constexpr unsigned EDIT = OPTION_LEVEL | OPTION_REPLACE_BROKEN;

}  // namespace

const command_s COMMANDS[] = {
    {"levels", "[--json]", "the value levels: defined, file, writeable, locked by default",
     "Shows each level: 0 defaults (the definition files, always there), 1 site,\n"
     "2 group and 3 user; whether it is defined, its value file, whether the file\n"
     "can be written, whether the level locks every preference by default, how its\n"
     "file loaded (loaded, no file, or failed with the parser's reason) and how many\n"
     "entries start-up ignored and carries.",
     run_levels, OPTION_JSON, true},
    {"files", "", "the definition files in load order",
     "Prints the 27 definition files as start-up found them, in load order.", run_files, 0, true,
     true},
    {"list", "[APPLICATION] [--level L] [--changed] [--json]",
     "the preferences of the tree with titles and effective values",
     "Shows applications, categories, tabs and groups with each preference's name,\n"
     "title, effective value and where it is locked. APPLICATION is an application's\n"
     "name or context-help tag. --level L keeps the preferences with an entry at\n"
     "level L (defaults, site, group or user; 0 to 3); --changed those whose\n"
     "effective value comes from a level above 0.",
     run_list, OPTION_LEVEL | OPTION_CHANGED | OPTION_JSON, true, true},
    {"find", "TEXT [--json]", "the preferences whose name, title or description holds TEXT",
     "Prints each preference whose name, title or description contains TEXT,\n"
     "whatever the letter case, with its title and effective value.",
     run_find, OPTION_JSON, true, true},
    {"get", "NAME [--json]", "the value that queries answer for NAME",
     "Prints the value the library's queries answer for NAME; a string list one\n"
     "item per line.",
     run_get, OPTION_JSON, true, true},
    {"explain", "NAME [--json]", "how NAME's value comes about, level by level",
     "Shows NAME's type, title, description, place in the tree, definition file and\n"
     "constraint; for each level its value, lock, date and comment and whether the\n"
     "level carries an ignored entry; the effective value and the level it comes\n"
     "from; and where the preference is locked.",
     run_explain, OPTION_JSON, true, true},
    {"dump", "--level L [--json]", "a level's entries as commands that set them again",
     "Prints the entries of the level's value file in file order, each as a\n"
     "kvrn-prefs set command that records it again (with --lock or --unlock where\n"
     "the entry differs from the level's default lock, its comment, and its date as\n"
     "a shell comment). Entries that start-up ignored are printed too, behind\n"
     "\"# ignored (REASON):\", so that running the output skips them.",
     run_dump, OPTION_LEVEL | OPTION_JSON, true, true},
    {"lint", "[--json]", "checks the value files against the definitions and each other",
     "Checks the value file of every level, one finding per line:\n"
     "LEVEL FILE: NAME: FINDING: TEXT. FINDING is one of unknown-preference,\n"
     "hidden-by-lock, invalid-value, duplicate-entry, same-as-inherited,\n"
     "useless-lock, unreadable-date, load-failed, renamed (an entry under an old\n"
     "name), read-differently (a value start-up reads but an edit refuses),\n"
     "unclear-lock (locked other than yes or no), unclear-default-lock\n"
     "(defaultLockStatus other than locked or unlocked) and unknown-attribute.\n"
     "Status 1 when there are findings.",
     run_lint, OPTION_JSON, true},
    {"report", "[APPLICATION] [--changed] [--html] [-o FILE]",
     "every preference with its value at each level",
     "Shows every preference (or one application's, or with --changed those whose\n"
     "effective value comes from a level above 0) with its effective value, the\n"
     "level it comes from, where it is locked, and each level's value, comment and\n"
     "date. --html writes one self-contained XHTML page instead; -o FILE writes to\n"
     "FILE instead of standard output.",
     run_report, OPTION_CHANGED | OPTION_HTML | OPTION_OUTPUT, true, true},
    {"edit", "[--level L] [--port P] [--no-browser] [--idle-timeout S]",
     "the preferences editor in a browser",
     "Serves the preferences editor on 127.0.0.1 (a free port unless --port) and\n"
     "prints its address with a random token; opens the desktop's browser on it\n"
     "unless --no-browser. The page edits the user level, or with --level the site\n"
     "or group level when its file can be written; each change is checked as it is\n"
     "typed and Apply saves the level under its lock. Runs until Ctrl+C, or until\n"
     "S seconds pass without a request.",
     run_edit, OPTION_LEVEL | OPTION_PORT | OPTION_NO_BROWSER | OPTION_IDLE_TIMEOUT, true, true},
    {"validate", "[FILE...] [--json]", "checks definition files",
     "Checks definition files (without FILE, the installation's 27) and prints each\n"
     "finding: FILE: CODE MESSAGE: TEXT. It does not start the module, so it also\n"
     "serves files that would stop start-up. Status 1 when there are findings.",
     run_validate, OPTION_JSON, false},
    {"set", "NAME VALUE... --level L [--lock|--unlock] [--comment TEXT]",
     "records a value at a level",
     "Records the value (and its lock or comment) at the level and saves the level.\n"
     "A string_list takes one VALUE per item (put -- before items that start\n"
     "with -).",
     run_set, EDIT | OPTION_LOCK | OPTION_UNLOCK | OPTION_COMMENT, true},
    {"reset", "NAME --level L", "removes a level's value, lock and comment for NAME",
     "Removes what the level records for NAME: value, lock and comment, and any\n"
     "entry of that name the level carries.",
     run_reset, EDIT, true},
    {"lock", "NAME --level L", "locks NAME at a level with its effective value",
     "Locks NAME at the site or group level with its effective value there, so\n"
     "that the levels above cannot change it.",
     run_lock, EDIT, true},
    {"unlock", "NAME --level L", "unlocks NAME at a level",
     "Unlocks NAME at the level, also where the level locks by default.", run_unlock, EDIT, true},
    {"comment", "NAME TEXT --level L", "sets the comment of a level's value",
     "Sets the comment of the level's value of NAME; \"\" removes it.", run_comment, EDIT, true},
    {"level-lock", "locked|unlocked --level L [--clear-exceptions]",
     "whether a level locks everything by default",
     "Sets whether the site or group level locks every preference by default.\n"
     "Every preference with an entry at the level keeps its lock: the entries'\n"
     "own lock flags are turned over (their number is printed), so only the\n"
     "preferences without an entry follow the new default. --clear-exceptions\n"
     "clears the entries' own lock flags instead, so that every preference follows\n"
     "the default, and lists the exceptions it removes.",
     run_level_lock, EDIT | OPTION_CLEAR_EXCEPTIONS, true},
    {"history", "--level L [--json]", "the generations that saves kept of a level's file",
     "Lists the generations of the level's value file that saves kept in the\n"
     "history folder beside it, newest first: number (1 the newest), time, owner,\n"
     "size, entries and what changed from the generation before it.",
     run_history, OPTION_LEVEL | OPTION_JSON, true, true},
    {"diff",
     "--level L --against-file F|--against-level L2|--against-generation N [--json] | "
     "--effective --against-base DIR [--against-site|--against-group|--against-user DIR] "
     "[--json]",
     "what differs between a level and a file, a level or a generation",
     "Prints, per preference, what was added (+), removed (-) or changed (~: value,\n"
     "lock, comment) from the other side to the level's file. With --effective it\n"
     "compares the effective values and locks of this installation with those of\n"
     "the installation the --against-* folders name. Status 0 when equal, 1 when\n"
     "different.",
     run_diff,
     OPTION_LEVEL | OPTION_AGAINST_FILE | OPTION_AGAINST_LEVEL | OPTION_AGAINST_GENERATION |
         OPTION_EFFECTIVE | OPTION_AGAINST_BASE | OPTION_AGAINST_SITE | OPTION_AGAINST_GROUP |
         OPTION_AGAINST_USER | OPTION_JSON,
     true, true},
    {"restore", "--level L --generation N [--dry-run]", "makes a level what a generation was",
     "Makes the level's entries and default lock those of generation N (see\n"
     "history) through the checked edits and one save, so that the current file\n"
     "becomes a generation itself. --dry-run prints what would change.",
     run_restore, EDIT | OPTION_GENERATION | OPTION_DRY_RUN, true, true},
    {"import", "FILE --level L [--dry-run] [--keep-going]",
     "applies a dump or a value file to a level in one save",
     "Records each entry of FILE (the output of dump, or a value file) at the level\n"
     "through the checked edits and saves the level once. Refused entries are\n"
     "listed, and nothing is saved when any is refused unless --keep-going.\n"
     "--dry-run prints what would change.",
     run_import, EDIT | OPTION_DRY_RUN | OPTION_KEEP_GOING, true, true},
    {"watch", "[NAME|PREFIX...] [--json] [--count N] [--timeout S]",
     "prints each change of the preferences as other programs make it",
     "Watches the value files and prints one line for each preference whose\n"
     "effective value, source level, lock or comment changes (only those whose\n"
     "name starts with a NAME|PREFIX given): NAME: OLD -> NEW (from LEVEL, locked\n"
     "at LEVEL). A level whose file stops loading, and a changed definition file,\n"
     "get a line too. --json prints one JSON object per line. Stops after N\n"
     "batches of changes (--count), after S seconds (--timeout), or on Ctrl-C.",
     run_watch, OPTION_JSON | OPTION_COUNT | OPTION_TIMEOUT, true, true},
    {"cache", "[--clear] [--json]", "the start-up images kept to start faster",
     "Shows the folder of start-up images ($XDG_CACHE_HOME/vuzodod, else\n"
     "~/.cache/vuzodod) and each image: its size, what it holds (the definitions,\n"
     "or the site, group or user value file) and the installation it serves.\n"
     "--clear removes them all; the next start reads the XML files and writes them\n"
     "again. With KVRN_CACHE=off no image is read or written.",
     run_cache, OPTION_CLEAR | OPTION_JSON, false},
    {"help", "[COMMAND]", "this text, or the help of one command",
     "Prints the usage, or the help of COMMAND (the same as COMMAND --help).", run_help, 0, false},
    {"complete", "WHAT", "words for the shell's completion",
     "Prints one word per line, for the bash completion: WHAT is commands,\n"
     "options COMMAND, levels, names (the preferences' names) or applications.",
     run_complete, 0, false},
    {nullptr, nullptr, nullptr, nullptr, nullptr, 0, false},
};

const option_s OPTIONS[] = {
    {"--level", nullptr, OPTION_LEVEL, "L",
     "site, group or user (1 to 3); list also takes defaults (0)"},
    {"--lock", nullptr, OPTION_LOCK, nullptr, "lock the preference at the level"},
    {"--unlock", nullptr, OPTION_UNLOCK, nullptr, "unlock the preference at the level"},
    {"--comment", nullptr, OPTION_COMMENT, "TEXT", "the comment of the value (\"\" removes it)"},
    {"--replace-broken", nullptr, OPTION_REPLACE_BROKEN, nullptr,
     "move a level's file that failed to load aside, not refuse"},
    {"--changed", nullptr, OPTION_CHANGED, nullptr,
     "only preferences whose effective value comes from a level above 0"},
    {"--json", nullptr, OPTION_JSON, nullptr, "JSON for scripts (see the documentation)"},
    {"--html", nullptr, OPTION_HTML, nullptr, "one self-contained XHTML page"},
    {"--output", "-o", OPTION_OUTPUT, "FILE", "write to FILE"},
    {"--port", nullptr, OPTION_PORT, "P", "the editor's port (a free one when not given)"},
    {"--no-browser", nullptr, OPTION_NO_BROWSER, nullptr, "print the editor's address only"},
    {"--idle-timeout", nullptr, OPTION_IDLE_TIMEOUT, "S",
     "stop the editor after S seconds without a request"},
    {"--count", nullptr, OPTION_COUNT, "N", "stop after N batches of changes"},
    {"--clear-exceptions", nullptr, OPTION_CLEAR_EXCEPTIONS, nullptr,
     "clear the entries' own lock flags instead of keeping each lock"},
    {"--against-file", nullptr, OPTION_AGAINST_FILE, "FILE", "compare with a value file"},
    {"--against-level", nullptr, OPTION_AGAINST_LEVEL, "L", "compare with another level's file"},
    {"--against-generation", nullptr, OPTION_AGAINST_GENERATION, "N",
     "compare with the level's generation N (1 the newest)"},
    {"--effective", nullptr, OPTION_EFFECTIVE, nullptr,
     "compare the effective values of two installations"},
    {"--against-base", nullptr, OPTION_AGAINST_BASE, "DIR", "the other installation's base"},
    {"--against-site", nullptr, OPTION_AGAINST_SITE, "DIR", "the other installation's site"},
    {"--against-group", nullptr, OPTION_AGAINST_GROUP, "DIR", "the other installation's group"},
    {"--against-user", nullptr, OPTION_AGAINST_USER, "DIR", "the other installation's user"},
    {"--generation", nullptr, OPTION_GENERATION, "N", "the generation (1 the newest)"},
    {"--dry-run", nullptr, OPTION_DRY_RUN, nullptr, "print what would change, save nothing"},
    {"--keep-going", nullptr, OPTION_KEEP_GOING, nullptr,
     "save the entries that are accepted even when others are refused"},
    {"--timeout", nullptr, OPTION_TIMEOUT, "S", "stop after S seconds"},
    {"--clear", nullptr, OPTION_CLEAR, nullptr, "remove every start-up image"},
    {"--verbose", "-v", 0, nullptr, "the library's log lines on standard error"},
    {"--help", "-h", 0, nullptr, "the help of the command"},
    {"--version", nullptr, 0, nullptr, "the program's version"},
    {"--base", nullptr, 0, "DIR", "installation directory, holding kvrn/ [KVRN_BASE_DIR]"},
    {"--site", nullptr, 0, "DIR", "site level directory, holding startup/ [KVRN_SITE_DIR]"},
    {"--group", nullptr, 0, "DIR", "group level directory [KVRN_GROUP_DIR]"},
    {"--user", nullptr, 0, "DIR", "user level directory [KVRN_USER_DIR]"},
    {"--lang", nullptr, 0, "LANGUAGE", "language of definition files and style sheets [KVRN_LANG]"},
    {"--def-dir", nullptr, 0, "DIRS",
     "';'-separated directories searched first [KVRN_VERU_XML_DEF_DIR]"},
    {"--local-user-defaults", nullptr, 0, "FILE",
     "the user level's value file [KVRN_LOCAL_USER_DEFAULTS]"},
    {nullptr, nullptr, 0, nullptr, nullptr},
};

const command_s* find_command(const std::string& name) {
  for (const command_s* command = COMMANDS; command->name; ++command) {
    if (name == command->name) return command;
  }
  return nullptr;
}

const char* installation_variable(const std::string& option) {
  // One option for each of the library's installation variables, in its order.
  static const char* const VARIABLE_OPTIONS[] = {
      "--base", "--site", "--group", "--user", "--lang", "--def-dir", "--local-user-defaults"};
  int count = 0;
  const char* const* variables = VERU__ask_installation_variables(&count);
  for (int i = 0; i < count && i < static_cast<int>(std::size(VARIABLE_OPTIONS)); ++i) {
    if (option == VARIABLE_OPTIONS[i]) return variables[i];
  }
  return nullptr;
}

namespace {

// "  --output FILE, -o" padded to the column of the summaries.
std::string option_line(const option_s& option) {
  std::string left = std::string("  ") + option.name;
  if (option.value_name) left += std::string(" ") + option.value_name;
  if (option.alias) left += std::string(", ") + option.alias;
  if (left.size() < 26)
    left.resize(26, ' ');
  else
    left += "\n" + std::string(26, ' ');
  return left + option.summary + "\n";
}

std::string synopsis_of(const command_s& command) {
  return std::string(command.name) + (*command.synopsis ? " " : "") + command.synopsis;
}

}  // namespace

std::string usage_text() {
  std::string text =
      "usage: kvrn-prefs [OPTIONS] COMMAND [ARGUMENTS]\n"
      "       kvrn-prefs help COMMAND, kvrn-prefs COMMAND --help\n"
      "\nCommands:\n";
  for (const command_s* command = COMMANDS; command->name; ++command) {
    text += "  " + synopsis_of(*command) + "\n      " + command->summary + "\n";
  }
  text += "\nOptions of commands:\n";
  for (const option_s* option = OPTIONS; option->name; ++option) {
    if (option->bit) text += option_line(*option);
  }
  text += "\nOptions of every command:\n";
  for (const option_s* option = OPTIONS; option->name; ++option) {
    if (!option->bit && !installation_variable(option->name)) text += option_line(*option);
  }
  text += "\nInstallation options (each sets the environment variable in brackets):\n";
  for (const option_s* option = OPTIONS; option->name; ++option) {
    if (installation_variable(option->name)) text += option_line(*option);
  }
  text +=
      "\nThe library's log goes to standard error only with --verbose; warnings that matter\n"
      "(a level's file failed to load, a lock hides an entry) are always shown.\n"
      "Exit status: 0 done (no findings), 1 refused or findings, 2 wrong command line.\n";
  return text;
}

std::string command_help(const command_s& command) {
  std::string text =
      "usage: kvrn-prefs [OPTIONS] " + synopsis_of(command) + "\n\n" + command.details + "\n";
  if (command.options) {
    text += "\nOptions:\n";
    for (const option_s* option = OPTIONS; option->name; ++option) {
      if (option->bit & command.options) text += option_line(*option);
    }
  }
  text += "\nSee kvrn-prefs help for the options of every command.\n";
  return text;
}

std::string version_text() {
  return std::string("kvrn-prefs ") + KVRN_PREFS_VERSION + "\n";
}

namespace {

int run_help(const command_line_s& line) {
  if (line.arguments.size() > 1) return refuse(EXIT_USAGE, "help takes one command");
  if (line.arguments.empty()) {
    std::fputs(usage_text().c_str(), stdout);
    return EXIT_OK;
  }
  const command_s* command = find_command(line.arguments[0]);
  if (!command) {
    return refuse(EXIT_USAGE,
                  "no command is named " + line.arguments[0] + " (see kvrn-prefs help)");
  }
  std::fputs(command_help(*command).c_str(), stdout);
  return EXIT_OK;
}

void print_pref_name(OM_object* object, void*) {
  std::printf("%s\n", static_cast<VERU_pref*>(object)->ask_name());
}

// Words for the bash completion; it passes the words typed so far, so a wrong WHAT prints
// nothing rather than a message in the middle of a command line.
int run_complete(const command_line_s& line) {
  const std::string what = line.arguments.empty() ? "" : line.arguments[0];
  if (what == "commands") {
    for (const command_s* command = COMMANDS; command->name; ++command) {
      std::printf("%s\n", command->name);
    }
  } else if (what == "options") {
    const command_s* command =
        line.arguments.size() > 1 ? find_command(line.arguments[1]) : nullptr;
    for (const option_s* option = OPTIONS; option->name; ++option) {
      if (!option->bit || (command && (option->bit & command->options))) {
        std::printf("%s\n", option->name);
      }
    }
  } else if (what == "levels") {
    std::printf("site\ngroup\nuser\n");
  } else if (what == "names" || what == "applications") {
    if (!start_module(false)) return EXIT_REFUSED;
    if (what == "names") {
      OM_for_all_in_set(VERU__ask_module_root()->ask_pref_set(), print_pref_name, nullptr);
    } else {
      const VERU_group* root = VERU__ask_module_root()->ask_tree_root();
      for (int i = 0; i < root->ask_n_objects(); ++i) {
        const char* csh = static_cast<const VERU_group*>(root->ask_nth_object(i))->ask_csh_text();
        if (csh) std::printf("%s\n", csh);
      }
    }
  } else {
    return refuse(EXIT_USAGE,
                  "complete takes commands, options COMMAND, levels, names or "
                  "applications");
  }
  return EXIT_OK;
}

}  // namespace
