// kvrn-prefs: starts the preferences library on the installation that the KVRN_* variables name
// and lets a person look at and change preferences level by level.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "commands.h"
#include "suggest.h"

namespace {

// The option of that name or alias, or null.
const option_s* find_option(const std::string& word) {
  for (const option_s* option = OPTIONS; option->name; ++option) {
    if (word == option->name || (option->alias && word == option->alias)) return option;
  }
  return nullptr;
}

// Stores the value of an option that takes one.
void store_value(const option_s& option, const std::string& value, command_line_s* line) {
  if (const char* variable = installation_variable(option.name)) {
    setenv(variable, value.c_str(), 1);
  } else if (option.bit == OPTION_LEVEL) {
    line->level = value;
  } else if (option.bit == OPTION_COMMENT) {
    line->comment = value;
    line->has_comment = true;
  } else if (option.bit == OPTION_OUTPUT) {
    line->output = value;
  } else if (option.bit == OPTION_PORT) {
    line->port = value;
  } else if (option.bit == OPTION_IDLE_TIMEOUT) {
    line->idle_timeout = value;
  } else if (option.bit == OPTION_COUNT) {
    line->count = value;
  } else if (option.bit == OPTION_TIMEOUT) {
    line->timeout = value;
  } else {
    line->values[option.bit] = value;
  }
}

// Sets the flag of an option that takes no value.
void store_flag(const option_s& option, command_line_s* line, bool* help, bool* version) {
  const std::string name = option.name;
  if (name == "--help") *help = true;
  if (name == "--version") *version = true;
  if (name == "--verbose") line->verbose = true;
  if (option.bit == OPTION_LOCK) line->lock = true;
  if (option.bit == OPTION_UNLOCK) line->unlock = true;
  if (option.bit == OPTION_REPLACE_BROKEN) line->replace_broken = true;
  if (option.bit == OPTION_JSON) line->json = true;
  if (option.bit == OPTION_CHANGED) line->changed = true;
  if (option.bit == OPTION_HTML) line->html = true;
  if (option.bit == OPTION_NO_BROWSER) line->no_browser = true;
}

// A negative number such as -5 or -0.25, which is a value rather than an option.
bool is_negative_number(const std::string& word) {
  return word.size() > 1 && word[0] == '-' &&
         (std::isdigit(static_cast<unsigned char>(word[1])) ||
          (word[1] == '.' && word.size() > 2 && std::isdigit(static_cast<unsigned char>(word[2]))));
}

// Reads the command line; false (after a message) when it is wrong. Every word that starts
// with "-" is an option, wherever it stands, until "--", after which every word is an argument
// (so that a value or list item may start with "-"); a negative number is a value anywhere.
bool parse(int argc, char** argv, command_line_s* line, bool* help, bool* version) {
  bool options_ended = false;
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (options_ended || word.size() < 2 || word[0] != '-' || is_negative_number(word)) {
      if (line->command.empty()) {
        line->command = word;
      } else {
        line->arguments.push_back(word);
      }
      continue;
    }
    if (word == "--") {
      options_ended = true;
      continue;
    }
    const option_s* option = find_option(word);
    if (!option) {
      std::vector<std::string> names;
      for (const option_s* known = OPTIONS; known->name; ++known) names.push_back(known->name);
      refuse(EXIT_USAGE, "unknown option " + word + did_you_mean(word, names) +
                             " (see kvrn-prefs help; put -- before a value that starts with -)");
      return false;
    }
    line->given |= option->bit;
    if (!option->value_name) {
      store_flag(*option, line, help, version);
      continue;
    }
    if (i + 1 >= argc) {
      refuse(EXIT_USAGE, word + " needs a value");
      return false;
    }
    store_value(*option, argv[++i], line);
  }
  return true;
}

// The options given that the command does not take, refused; true when there are none.
bool options_fit(const command_s& command, const command_line_s& line) {
  for (const option_s* option = OPTIONS; option->name; ++option) {
    if (!(option->bit & line.given) || (option->bit & command.options)) continue;
    refuse(EXIT_USAGE, std::string(option->name) + " does not apply to " + command.name +
                           " (see kvrn-prefs help " + command.name + ")");
    return false;
  }
  return true;
}

// The library's log lines are dropped unless the person asked for them, but for a save that
// could not keep the file it replaced: the person loses the means to undo it.
void drop_log_line(const char* line, void*) {
  static const char HISTORY_LOST[] = "Unable to keep the replaced file ";
  if (std::strncmp(line, HISTORY_LOST, sizeof HISTORY_LOST - 1) == 0) {
    std::fprintf(stderr, "kvrn-prefs: warning: %s", line);
  }
}

}  // namespace

bool start_module(bool say_why) {
  try {
    VERU_init_module();
    return true;
  } catch (const TQS::Error::Exception& error) {
    if (!say_why) return false;
    const char* meaning = ERROR_decode(error.askCode());
    refuse(EXIT_REFUSED, std::string("cannot start: ") + error.what() + " (error " +
                             std::to_string(error.askCode()) +
                             (meaning ? std::string(": ") + meaning : "") +
                             ")\n  check --base (KVRN_BASE_DIR): it must hold kvrn/ with the "
                             "definition files");
    return false;
  }
}

int main(int argc, char** argv) {
  command_line_s line;
  bool help = false;
  bool version = false;
  if (!parse(argc, argv, &line, &help, &version)) return EXIT_USAGE;
  if (version) {
    std::fputs(version_text().c_str(), stdout);
    return EXIT_OK;
  }
  if (line.command.empty()) {
    std::fputs(usage_text().c_str(), help ? stdout : stderr);
    return help ? EXIT_OK : EXIT_USAGE;
  }
  const command_s* command = find_command(line.command);
  if (!command) {
    std::vector<std::string> names;
    for (const command_s* known = COMMANDS; known->name; ++known) names.push_back(known->name);
    return refuse(EXIT_USAGE, "unknown command " + line.command +
                                  did_you_mean(line.command, names) + " (see kvrn-prefs help)");
  }
  if (help) {
    std::fputs(command_help(*command).c_str(), stdout);
    return EXIT_OK;
  }
  if (!options_fit(*command, line)) return EXIT_USAGE;
  if (!line.verbose) ERROR_set_log_sink(drop_log_line, nullptr);
  if (command->starts_module && !start_module(true)) return EXIT_REFUSED;
  try {
    if (command->warns) warn_about_failed_levels();
    return command->run(line);
  } catch (const TQS::Error::Exception& error) {
    return refuse(EXIT_REFUSED,
                  std::string(error.what()) + " (error " + std::to_string(error.askCode()) + ")");
  }
}
