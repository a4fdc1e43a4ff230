// kvrn-prefs restore and import: a level made what a generation was, or given the entries of a
// dump or a value file, through the library's checked edits and one save under the level's lock.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

#include "history.h"
#include "level_diff.h"
#include "level_edit.h"

namespace {

// One entry to record: its name, value text (a string list's items), lock and comment.
struct applied_entry_s {
  std::string name;
  std::vector<std::string> values;
  bool locks = false;
  bool has_comment = false;
  std::string comment;
  std::string source;  // where it was read: "line 4", "entry 2"
};

struct applied_level_s {
  bool has_default_lock = false;  // a dump without a level-lock line leaves the level's as it is
  bool locked_by_default = false;
  std::vector<applied_entry_s> entries;
};

applied_level_s applied_from_file(const value_file_s& file) {
  applied_level_s applied;
  applied.has_default_lock = true;
  applied.locked_by_default = file.locked_by_default;
  for (const value_entry_s& entry : file.entries) {
    applied.entries.push_back({entry.name,
                               {entry.value},
                               entry_locks(file, entry),
                               entry.has_comment,
                               entry.comment,
                               "entry " + std::to_string(entry.position)});
  }
  return applied;
}

// The commands of a dump as a POSIX shell splits them into words: blanks separate words, a
// single-quoted part stands for itself (line breaks too), a backslash outside quotes keeps the
// next character, "#" at the start of a word comments out the rest of the line, and a line break
// ends a command. Each command with the line it starts on; false when a quote is not closed.
bool shell_commands(const std::string& text,
                    std::vector<std::pair<int, std::vector<std::string>>>* commands) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false;
  int line = 1;
  int start = 1;
  auto end_word = [&] {
    if (in_word) words.push_back(word);
    word.clear();
    in_word = false;
  };
  auto end_command = [&] {
    end_word();
    if (!words.empty()) commands->emplace_back(start, words);
    words.clear();
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (words.empty() && !in_word) start = line;
    if (c == '\n') {
      end_command();
      ++line;
    } else if (c == ' ' || c == '\t') {
      end_word();
    } else if (c == '#' && !in_word) {
      while (i + 1 < text.size() && text[i + 1] != '\n') ++i;
    } else if (c == '\'') {
      const std::size_t close = text.find('\'', i + 1);
      if (close == std::string::npos) return false;
      for (std::size_t j = i + 1; j < close; ++j) line += text[j] == '\n';
      word.append(text, i + 1, close - i - 1);
      in_word = true;
      i = close;
    } else if (c == '\\' && i + 1 < text.size()) {
      word += text[++i];
      in_word = true;
    } else {
      word += c;
      in_word = true;
    }
  }
  end_command();
  return true;
}

// The entries of a dump: its set commands and its level-lock line. False with *error for a
// line that is neither.
bool applied_from_dump(const std::string& text, applied_level_s* applied, std::string* error) {
  std::vector<std::pair<int, std::vector<std::string>>> commands;
  if (!shell_commands(text, &commands)) {
    *error = "a quoted word is not closed";
    return false;
  }
  for (const auto& [line, words] : commands) {
    const std::string where = "line " + std::to_string(line);
    if (words.size() >= 3 && words[0] == "kvrn-prefs" && words[1] == "level-lock") {
      applied->has_default_lock = true;
      applied->locked_by_default = words[2] == "locked";
      continue;
    }
    if (words.size() < 2 || words[0] != "kvrn-prefs" || words[1] != "set") {
      *error = where + ": not a kvrn-prefs set or level-lock command";
      return false;
    }
    applied_entry_s entry;
    entry.source = where;
    entry.locks = applied->locked_by_default;
    std::vector<std::string> rest;
    bool options_ended = false;
    for (std::size_t i = 2; i < words.size(); ++i) {
      const std::string& word = words[i];
      if (options_ended || word.empty() || word[0] != '-') {
        rest.push_back(word);
      } else if (word == "--") {
        options_ended = true;
      } else if (word == "--lock" || word == "--unlock") {
        entry.locks = word == "--lock";
      } else if ((word == "--comment" || word == "--level") && i + 1 < words.size()) {
        if (word == "--comment") {
          entry.has_comment = true;
          entry.comment = words[i + 1];
        }
        ++i;
      } else {
        rest.push_back(word);
      }
    }
    if (rest.size() < 2) {
      *error = where + ": set takes a name and a value";
      return false;
    }
    entry.name = rest[0];
    entry.values.assign(rest.begin() + 1, rest.end());
    applied->entries.push_back(std::move(entry));
  }
  return true;
}

// The value text the library reads for the entry: a string list's items encoded.
std::string value_text_for(const VERU_pref* pref, const applied_entry_s& entry) {
  if (!pref || pref->class_id() != VERU_pref_string_list_c || entry.values.size() == 1) {
    return entry.values.empty() ? "" : entry.values[0];
  }
  std::vector<const char*> items;
  for (const std::string& item : entry.values) items.push_back(item.c_str());
  return taken(VERU_encode_string_list(static_cast<int>(items.size()), items.data()));
}

std::string comment_of(VERU_pref* pref, int level) {
  const TEXT_s* comment = pref->ask_comment(level);
  return TEXT_is_null_text(comment) ? "" : text_of(comment);
}

// Records one entry through the checked edits; "" when done, else why not.
std::string apply_entry(const applied_entry_s& entry, int level) {
  VERU_pref* pref = VERU_lookup_pref(entry.name.c_str());
  char* reason = nullptr;
  const std::string text = value_text_for(pref, entry);
  // An entry already as it is keeps its date.
  const VERU_recorded_value* own = pref ? pref->ask_recorded_value(level) : nullptr;
  if ((!own || value_text(own->ask_value()) != text) &&
      VERU_edit_value(entry.name.c_str(), level, text.c_str(), &reason) != 0) {
    return taken(reason);
  }
  // The user level locks nothing: its lock flags are left as they are.
  const bool locks =
      pref->ask_recorded_value(level)->ask_locked() != VERU_is_level_locked_by_default(level);
  if (level < 3 && locks != entry.locks &&
      VERU_edit_lock(entry.name.c_str(), level, entry.locks, &reason) != 0) {
    return taken(reason);
  }
  const std::string comment = entry.has_comment ? entry.comment : "";
  if (comment != comment_of(pref, level) &&
      VERU_edit_comment(entry.name.c_str(), level, comment.c_str(), &reason) != 0) {
    return taken(reason);
  }
  return "";
}

std::set<std::string> carried_names(int level) {
  char** names = nullptr;
  const int count = VERU_ask_level_carried_entries(level, &names);
  const std::vector<std::string> list = taken(names, count);
  return {list.begin(), list.end()};
}

struct apply_options_s {
  bool replace = false;  // entries of the level that applied lacks are removed (restore)
  bool dry_run = false;
  bool keep_going = false;
  std::string what;  // "restored generation 2", "imported FILE"
};

// Makes the changes under the level's lock and saves the level once unless it is a dry run or
// an entry was refused without keep_going.
int apply_level(const command_line_s& line, int level, const applied_level_s& applied,
                const apply_options_s& options) {
  if (!VERU__is_level_defined(level)) {
    return refuse(EXIT_REFUSED, std::string("the ") + level_name(level) + " level is not defined");
  }
  std::vector<std::string> refusals;
  std::string summary;
  bool changed = false;
  const std::string failure = locked_edit(level, line.replace_broken, [&](bool) -> level_change_s {
    const compared_level_s before = compared_memory(level);
    char* reason = nullptr;
    if (level < 3 && applied.has_default_lock &&
        applied.locked_by_default != VERU_is_level_locked_by_default(level) &&
        VERU_edit_level_lock(level, applied.locked_by_default, &reason) != 0) {
      refusals.push_back("the default lock: " + taken(reason));
    }
    // An entry that the level carries already as ignored stays as it is.
    const std::set<std::string> carried = carried_names(level);
    std::set<std::string> names;
    for (const applied_entry_s& entry : applied.entries) {
      names.insert(entry.name);
      const std::string refused = apply_entry(entry, level);
      if (!refused.empty() && !carried.count(entry.name)) {
        refusals.push_back(entry.source + ": " + entry.name + ": " + refused);
      }
    }
    if (options.replace) {
      std::set<std::string> removed = carried;
      for (const auto& [name, entry] : before.entries) removed.insert(name);
      for (const std::string& name : removed) {
        if (!names.count(name)) VERU_edit_reset(name.c_str(), level, nullptr);
      }
    }
    // The differences point into both sides: both live as long as they do.
    const compared_level_s after = compared_memory(level);
    const level_differences_s differences = level_differences(before, after);
    changed = differences.any();
    summary = std::to_string(differences.changed) + " changed, " +
              std::to_string(differences.added) + " added, " + std::to_string(differences.removed) +
              " removed";
    if (options.dry_run) std::fputs(differences_text(differences).c_str(), stdout);
    for (const std::string& refusal : refusals) {
      std::fprintf(stderr, "kvrn-prefs: refused: %s\n", one_line(refusal).c_str());
    }
    if (options.dry_run || !changed) return {false, ""};
    if (!refusals.empty() && !options.keep_going) {
      return {false, std::to_string(refusals.size()) +
                         " entries were refused; nothing was saved (--keep-going saves the "
                         "others)"};
    }
    return {true, ""};
  });
  if (!failure.empty()) return refuse(EXIT_REFUSED, failure);
  if (options.dry_run) {
    std::printf("%s would change the %s level (%s); nothing saved\n", options.what.c_str(),
                level_name(level), summary.c_str());
  } else if (!changed) {
    std::printf("%s: nothing to change at the %s level\n", options.what.c_str(), level_name(level));
  } else {
    std::printf("%s at the %s level (%s), saved in %s\n", options.what.c_str(), level_name(level),
                summary.c_str(), VERU__ask_level_filename(level));
  }
  return refusals.empty() ? EXIT_OK : EXIT_REFUSED;
}

}  // namespace

int run_restore(const command_line_s& line) {
  if (!line.arguments.empty()) return refuse(EXIT_USAGE, "restore takes no arguments");
  const int level = edited_level(line, "restore");
  if (level < 0) return EXIT_USAGE;
  const generation_choice_s generation =
      chosen_generation(line, OPTION_GENERATION, "--generation", level);
  if (generation.number == 0) return generation.status;
  const std::string& path = generation.path;
  value_file_s file;
  std::string error;
  if (!read_value_file_at(path, &file, &error)) {
    return refuse(EXIT_REFUSED, "cannot read " + path + ": " + error);
  }
  return apply_level(
      line, level, applied_from_file(file),
      {true, line.has(OPTION_DRY_RUN), false,
       (line.has(OPTION_DRY_RUN) ? "restoring generation " : "restored generation ") +
           std::to_string(generation.number)});
}

int run_import(const command_line_s& line) {
  if (line.arguments.size() != 1) return refuse(EXIT_USAGE, "import takes one file");
  const int level = edited_level(line, "import");
  if (level < 0) return EXIT_USAGE;
  const std::string& path = line.arguments[0];
  std::ifstream input(path, std::ios::binary);
  if (!input) return refuse(EXIT_REFUSED, "cannot read " + path);
  std::ostringstream text;
  text << input.rdbuf();
  const std::string content = text.str();
  const std::size_t first = content.find_first_not_of(" \t\r\n");
  applied_level_s applied;
  std::string error;
  if (first != std::string::npos && content[first] == '<') {
    value_file_s file;
    if (!read_value_file_at(path, &file, &error)) {
      return refuse(EXIT_REFUSED, "cannot read " + path + ": " + error);
    }
    applied = applied_from_file(file);
  } else if (!applied_from_dump(content, &applied, &error)) {
    return refuse(EXIT_REFUSED, path + ": " + error);
  }
  return apply_level(line, level, applied,
                     {false, line.has(OPTION_DRY_RUN), line.has(OPTION_KEEP_GOING),
                      (line.has(OPTION_DRY_RUN) ? "importing " : "imported ") + path});
}
