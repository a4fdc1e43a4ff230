// kvrn-prefs diff: what differs, per preference, between a level's file and another file, level
// or generation, or between the effective values of two installations.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "history.h"
#include "level_diff.h"

namespace {

constexpr int EXIT_DIFFERENT = 1;

// The entries of the value file at path; a level's file that is not there yet (may_be_missing)
// has none. False after saying why when it cannot be read.
bool read_side(const std::string& path, bool may_be_missing, compared_level_s* side) {
  if (may_be_missing && CFI_ask_file_exist(path.c_str()) != 0) return true;
  value_file_s file;
  std::string error;
  if (!read_value_file_at(path, &file, &error)) {
    refuse(EXIT_REFUSED, "cannot read " + path + ": " + error);
    return false;
  }
  *side = compared_file(file);
  return true;
}

// The file the --against-* option of a level diff names; "" after saying why when it names none.
std::string against_path(const command_line_s& line, int level, int* status) {
  *status = EXIT_USAGE;
  const unsigned given =
      line.given & (OPTION_AGAINST_FILE | OPTION_AGAINST_LEVEL | OPTION_AGAINST_GENERATION);
  if (given == 0 || (given & (given - 1)) != 0) {
    refuse(EXIT_USAGE,
           "diff --level takes one of --against-file, --against-level and --against-generation");
    return "";
  }
  if (line.has(OPTION_AGAINST_FILE)) return line.value(OPTION_AGAINST_FILE);
  if (line.has(OPTION_AGAINST_LEVEL)) {
    const int other = level_of(line.value(OPTION_AGAINST_LEVEL));
    if (other < 0) {
      refuse(EXIT_USAGE, "--against-level takes site, group or user");
      return "";
    }
    *status = EXIT_REFUSED;
    if (!VERU__is_level_defined(other)) {
      refuse(EXIT_REFUSED, std::string("the ") + level_name(other) + " level is not defined");
      return "";
    }
    return VERU__ask_level_filename(other);
  }
  const generation_choice_s generation =
      chosen_generation(line, OPTION_AGAINST_GENERATION, "--against-generation", level);
  *status = generation.status;
  return generation.path;
}

// The effective values and locks of the installation this process started, by name.
compared_level_s effective_here() {
  compared_level_s side;
  for (VERU_pref* pref : prefs_in_file_order()) {
    side.entries[pref->ask_name()] = {json_value(pref, pref->ask_value(3)).dump(),
                                      locked_from(pref) >= 0, false, ""};
  }
  return side;
}

// The same of the installation that the --against-* folders name, from a run of this program's
// list command there. False after saying why when it cannot be had.
bool effective_there(const command_line_s& line, compared_level_s* side) {
  int output[2];
  if (pipe(output) != 0) return refuse(EXIT_REFUSED, "cannot run the other installation") == 0;
  const pid_t child = fork();
  if (child == 0) {
    const std::pair<unsigned, const char*> folders[] = {{OPTION_AGAINST_BASE, "KVRN_BASE_DIR"},
                                                        {OPTION_AGAINST_SITE, "KVRN_SITE_DIR"},
                                                        {OPTION_AGAINST_GROUP, "KVRN_GROUP_DIR"},
                                                        {OPTION_AGAINST_USER, "KVRN_USER_DIR"}};
    for (const auto& [option, variable] : folders) {
      if (line.has(option)) {
        setenv(variable, line.value(option).c_str(), 1);
      } else {
        unsetenv(variable);
      }
    }
    unsetenv("KVRN_LOCAL_USER_DEFAULTS");
    unsetenv("KVRN_VERU_XML_DEF_DIR");
    dup2(output[1], STDOUT_FILENO);
    close(output[0]);
    close(output[1]);
    char program[] = "kvrn-prefs";
    char command[] = "list";
    char json[] = "--json";
    char* arguments[] = {program, command, json, nullptr};
    execv("/proc/self/exe", arguments);
    _exit(127);
  }
  close(output[1]);
  std::string text;
  char chunk[65536];
  for (ssize_t got; (got = read(output[0], chunk, sizeof chunk)) != 0;) {
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) break;
    text.append(chunk, static_cast<std::size_t>(got));
  }
  close(output[0]);
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    refuse(EXIT_REFUSED,
           "the installation of --against-base could not be started (see the "
           "message above)");
    return false;
  }
  const json_document prefs = json_document::parse(text, nullptr, false);
  if (!prefs.is_array()) return refuse(EXIT_REFUSED, "the other installation gave no list") == 0;
  for (const json_document& pref : prefs) {
    side->entries[pref.value("name", "")] = {pref["value"].dump(), !pref["locked_at"].is_null(),
                                             false, ""};
  }
  return true;
}

int print(const level_differences_s& differences, bool json) {
  if (json) {
    print_json_document(differences_json(differences));
  } else {
    std::fputs(differences_text(differences).c_str(), stdout);
  }
  return differences.any() ? EXIT_DIFFERENT : EXIT_OK;
}

int run_effective_diff(const command_line_s& line) {
  if (line.has(OPTION_LEVEL | OPTION_AGAINST_FILE | OPTION_AGAINST_LEVEL |
               OPTION_AGAINST_GENERATION)) {
    return refuse(EXIT_USAGE, "diff --effective compares installations, not levels");
  }
  if (!line.has(OPTION_AGAINST_BASE)) {
    return refuse(EXIT_USAGE, "diff --effective needs --against-base DIR");
  }
  compared_level_s there;
  if (!effective_there(line, &there)) return EXIT_REFUSED;
  const compared_level_s here = effective_here();
  return print(level_differences(there, here), line.json);
}

}  // namespace

int run_diff(const command_line_s& line) {
  if (!line.arguments.empty()) return refuse(EXIT_USAGE, "diff takes no arguments");
  if (line.has(OPTION_EFFECTIVE)) return run_effective_diff(line);
  if (line.has(OPTION_AGAINST_BASE | OPTION_AGAINST_SITE | OPTION_AGAINST_GROUP |
               OPTION_AGAINST_USER)) {
    return refuse(EXIT_USAGE, "--against-base and its kin go with --effective");
  }
  const int level = level_of(line.level);
  if (level < 0) return refuse(EXIT_USAGE, "diff needs --level site, group or user");
  if (!VERU__is_level_defined(level)) {
    return refuse(EXIT_REFUSED, std::string("the ") + level_name(level) + " level is not defined");
  }
  int status = EXIT_OK;
  const std::string against = against_path(line, level, &status);
  if (against.empty()) return status;
  compared_level_s before;
  compared_level_s after;
  if (!read_side(against, !line.has(OPTION_AGAINST_FILE), &before) ||
      !read_side(VERU__ask_level_filename(level), true, &after)) {
    return EXIT_REFUSED;
  }
  return print(level_differences(before, after), line.json);
}
