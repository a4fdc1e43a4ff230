// kvrn-prefs history: the generations that saves kept of a level's value file, newest first,
// each with what changed from the one before it.
#include <pwd.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

#include "history.h"
#include "level_diff.h"

std::vector<std::string> level_generations(int level) {
  char** paths = nullptr;
  const int count = VERU_ask_level_generations(level, &paths);
  return taken(paths, count);
}

generation_choice_s chosen_generation(const command_line_s& line, unsigned option,
                                      const char* option_text, int level) {
  const std::vector<std::string> generations = level_generations(level);
  const std::string text = line.value(option);
  char* end = nullptr;
  const long number = std::strtol(text.c_str(), &end, 10);
  const bool is_number = !text.empty() && !*end && number >= 1;
  generation_choice_s choice;
  if (is_number && static_cast<std::size_t>(number) <= generations.size()) {
    choice.number = static_cast<int>(number);
    choice.path = generations[static_cast<std::size_t>(number - 1)];
    return choice;
  }
  choice.status = is_number ? EXIT_REFUSED : EXIT_USAGE;
  refuse(choice.status, "the " + std::string(level_name(level)) + " level has " +
                            std::to_string(generations.size()) +
                            " generations (see kvrn-prefs history); " + option_text +
                            " takes one of them");
  return choice;
}

namespace {

struct generation_s {
  int number;
  std::string path;
  std::string time;
  std::string owner;
  long long size = 0;
  int entries = 0;
  level_differences_s changes;
  bool readable = true;
};

std::string owner_of(uid_t uid) {
  const passwd* user = getpwuid(uid);
  return user ? user->pw_name : std::to_string(uid);
}

int print_history(const std::vector<generation_s>& generations, bool json) {
  if (json) {
    json_document objects = json_document::array();
    for (const generation_s& generation : generations) {
      objects.push_back({{"generation", generation.number},
                         {"time", generation.time},
                         {"owner", generation.owner},
                         {"size", generation.size},
                         {"entries", generation.entries},
                         {"changed", generation.changes.changed},
                         {"added", generation.changes.added},
                         {"removed", generation.changes.removed}});
    }
    print_json_document(objects, true);
    return EXIT_OK;
  }
  for (const generation_s& generation : generations) {
    std::printf("%d  %s  %s  %lld bytes  %d entries  %s  %s\n", generation.number,
                generation.time.c_str(), generation.owner.c_str(), generation.size,
                generation.entries,
                !generation.readable ? "(cannot be read)"
                                     : (std::to_string(generation.changes.changed) + " changed, " +
                                        std::to_string(generation.changes.added) + " added, " +
                                        std::to_string(generation.changes.removed) + " removed")
                                           .c_str(),
                one_line(generation.path).c_str());
  }
  return EXIT_OK;
}

}  // namespace

int run_history(const command_line_s& line) {
  if (!line.arguments.empty()) return refuse(EXIT_USAGE, "history takes no arguments");
  const int level = level_of(line.level);
  if (level < 0) return refuse(EXIT_USAGE, "history needs --level site, group or user");
  const std::vector<std::string> paths = level_generations(level);
  std::vector<generation_s> generations;
  std::vector<compared_level_s> contents(paths.size());
  for (std::size_t i = 0; i < paths.size(); ++i) {
    generation_s generation;
    generation.number = static_cast<int>(i) + 1;
    generation.path = paths[i];
    struct stat status {};
    if (stat(paths[i].c_str(), &status) == 0) {
      generation.time = date_text(static_cast<int>(status.st_mtime));
      generation.owner = owner_of(status.st_uid);
      generation.size = status.st_size;
    }
    value_file_s file;
    std::string error;
    generation.readable = read_value_file_at(paths[i], &file, &error);
    generation.entries = static_cast<int>(file.entries.size());
    contents[i] = compared_file(file);
    generations.push_back(std::move(generation));
  }
  // Each generation against the one before it (the next older); the oldest against nothing.
  const compared_level_s nothing;
  for (std::size_t i = 0; i < generations.size(); ++i) {
    generations[i].changes =
        level_differences(i + 1 < contents.size() ? contents[i + 1] : nothing, contents[i]);
  }
  if (generations.empty() && !line.json) {
    std::printf("the %s level's file has no generations yet\n", level_name(level));
    return EXIT_OK;
  }
  return print_history(generations, line.json);
}
