// kvrn-prefs: starts the preferences library on the installation that the KVRN_* variables name
// and lets a person look at and change preferences level by level.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tool.h"

namespace {

const char* const USAGE =
    "usage: kvrn-prefs [installation options] COMMAND [ARGUMENTS]\n"
    "\n"
    "Commands:\n"
    "  levels                  the value levels: defined, file, writeable, locked by default\n"
    "  files                   the definition files in load order\n"
    "  list [APPLICATION]      the definition tree with the effective value of each preference\n"
    "                          (APPLICATION: its name or context-help tag)\n"
    "  get NAME                the value that queries answer for the preference\n"
    "  explain NAME            each level's value, lock, comment and date, the effective value\n"
    "                          and where the preference is locked\n"
    "  set NAME VALUE... --level LEVEL [--lock|--unlock] [--comment TEXT]\n"
    "                          records the value at the level; a string_list takes one VALUE\n"
    "                          per item (put -- before items that start with -)\n"
    "  reset NAME --level LEVEL\n"
    "                          removes the level's value, lock and comment for NAME\n"
    "  lock NAME --level LEVEL, unlock NAME --level LEVEL\n"
    "                          locks NAME at the level with its effective value, or unlocks it\n"
    "  comment NAME TEXT --level LEVEL\n"
    "                          sets the comment of the level's value (\"\" removes it)\n"
    "  level-lock locked|unlocked --level site|group\n"
    "                          whether the level locks every preference by default\n"
    "                          Each edit locks the level's file, reads it again, saves it, and\n"
    "                          prints what changed. LEVEL is site, group or user (or 1 to 3).\n"
    "                          --replace-broken first moves a level file that failed to load\n"
    "                          aside (to a new name it prints) instead of refusing.\n"
    "  report [APPLICATION] [--changed] [--html] [-o FILE]\n"
    "                          every preference with its effective value, where it is locked\n"
    "                          and each level's value, lock, date and comment; --html writes\n"
    "                          one page for a browser\n"
    "  validate [FILE...] [--json]\n"
    "                          checks definition files (without FILE, the installation's 27)\n"
    "                          and prints each finding; status 1 when there are findings\n"
    "  help                    this text\n"
    "\n"
    "Installation options (each sets the environment variable in brackets):\n"
    "  --base DIR              installation directory, holding kvrn/ [KVRN_BASE_DIR]\n"
    "  --site DIR              site level directory, holding startup/ [KVRN_SITE_DIR]\n"
    "  --group DIR             group level directory [KVRN_GROUP_DIR]\n"
    "  --user DIR              user level directory [KVRN_USER_DIR]\n"
    "  --lang LANGUAGE         language of definition files and style sheets [KVRN_LANG]\n"
    "  --def-dir DIRS          ';'-separated directories searched first [KVRN_VERU_XML_DEF_DIR]\n"
    "  --local-user-defaults FILE\n"
    "                          the user level's value file [KVRN_LOCAL_USER_DEFAULTS]\n"
    "\n"
    "The library's log goes to standard error. Exit status: 0 done, 1 refused, 2 usage.\n";

struct installation_option_s {
  const char* option;
  const char* variable;
};

const installation_option_s INSTALLATION_OPTIONS[] = {
    {"--base", "KVRN_BASE_DIR"},
    {"--site", "KVRN_SITE_DIR"},
    {"--group", "KVRN_GROUP_DIR"},
    {"--user", "KVRN_USER_DIR"},
    {"--lang", "KVRN_LANG"},
    {"--def-dir", "KVRN_VERU_XML_DEF_DIR"},
    {"--local-user-defaults", "KVRN_LOCAL_USER_DEFAULTS"},
};

const char* variable_of(const char* option) {
  for (const installation_option_s& known : INSTALLATION_OPTIONS) {
    if (std::strcmp(option, known.option) == 0) return known.variable;
  }
  return nullptr;
}

// Reads the command line; false (after a message) when it is wrong. Every word that starts
// with "-" is an option, wherever it stands, until "--", after which every word is an argument
// (so that a value or list item may start with "-").
bool parse(int argc, char** argv, command_line_s* line) {
  bool options_ended = false;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    auto value = [&](std::string* target) {
      if (i + 1 >= argc) {
        refuse(EXIT_USAGE, argument + " needs a value");
        return false;
      }
      *target = argv[++i];
      return true;
    };
    if (options_ended || argument.size() < 2 || argument[0] != '-') {
      if (line->command.empty()) {
        line->command = argument;
      } else {
        line->arguments.push_back(argument);
      }
    } else if (argument == "--") {
      options_ended = true;
    } else if (const char* variable = variable_of(argv[i])) {
      std::string directory;
      if (!value(&directory)) return false;
      setenv(variable, directory.c_str(), 1);
    } else if (argument == "--level") {
      if (!value(&line->level)) return false;
    } else if (argument == "--comment") {
      if (!value(&line->comment)) return false;
      line->has_comment = true;
    } else if (argument == "--lock") {
      line->lock = true;
    } else if (argument == "--unlock") {
      line->unlock = true;
    } else if (argument == "--json") {
      line->json = true;
    } else if (argument == "--changed") {
      line->changed = true;
    } else if (argument == "--html") {
      line->html = true;
    } else if (argument == "-o" || argument == "--output") {
      if (!value(&line->output)) return false;
    } else if (argument == "-v" || argument == "--verbose") {
      line->verbose = true;
    } else if (argument == "--replace-broken") {
      line->replace_broken = true;
    } else if (argument == "--help" || argument == "-h") {
      line->command = "help";
    } else {
      refuse(EXIT_USAGE, "unknown option " + argument +
                             " (see kvrn-prefs help; put -- before a value that starts with -)");
      return false;
    }
  }
  return true;
}

int dispatch(const command_line_s& line) {
  if (line.command == "get" || line.command == "list" || line.command == "explain") {
    warn_about_failed_levels();
  }
  if (line.command == "levels") return run_levels();
  if (line.command == "files") return run_files();
  if (line.command == "list") return run_list(line);
  if (line.command == "get") return run_get(line);
  if (line.command == "explain") return run_explain(line);
  if (line.command == "set") return run_set(line);
  if (line.command == "reset") return run_reset(line);
  if (line.command == "lock") return run_lock(line, true);
  if (line.command == "unlock") return run_lock(line, false);
  if (line.command == "comment") return run_comment(line);
  if (line.command == "level-lock") return run_level_lock(line);
  if (line.command == "report") return run_report(line);
  return refuse(EXIT_USAGE, "unknown command " + line.command + " (see kvrn-prefs help)");
}

}  // namespace

int main(int argc, char** argv) {
  command_line_s line;
  if (!parse(argc, argv, &line)) return EXIT_USAGE;
  if (line.command.empty() || line.command == "help") {
    std::fputs(USAGE, line.command.empty() ? stderr : stdout);
    return line.command.empty() ? EXIT_USAGE : EXIT_OK;
  }
  // validate reads definition files itself and must work where the module cannot start.
  if (line.command == "validate") return run_validate(line);
  try {
    VERU_init_module();
  } catch (const TQS::Error::Exception& error) {
    const char* meaning = ERROR_decode(error.askCode());
    return refuse(EXIT_REFUSED, std::string("cannot start: ") + error.what() + " (error " +
                                    std::to_string(error.askCode()) +
                                    (meaning ? std::string(": ") + meaning : "") +
                                    ")\n  check --base (KVRN_BASE_DIR): it must hold kvrn/ with "
                                    "the definition files");
  }
  try {
    return dispatch(line);
  } catch (const TQS::Error::Exception& error) {
    return refuse(EXIT_REFUSED,
                  std::string(error.what()) + " (error " + std::to_string(error.askCode()) + ")");
  }
}
