// kvrn-prefs dump: a level's entries as its file holds them, each as the set command that records
// it again; the entries start-up ignored are marked and commented out.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "json.h"
#include "tool.h"
#include "value_file.h"

namespace {

// The word as a shell reads it back: bare when it is plain, else quoted ($'...' for control
// characters, which bash reads).
std::string shell_word(const std::string& word) {
  bool plain = !word.empty();
  bool control = false;
  for (const char c : word) {
    const auto byte = static_cast<unsigned char>(c);
    control = control || byte < 0x20 || byte == 0x7F;
    plain = plain && (std::isalnum(byte) || std::strchr("_./:=+,-@%", c));
  }
  if (plain) return word;
  if (!control) {
    std::string quoted = "'";
    for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
  }
  std::string quoted = "$'";
  for (const char c : word) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\'' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (byte < 0x20 || byte == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
      quoted += escaped;
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

// The values set takes for the entry: a string list's items, or the value as it is.
std::vector<std::string> set_values(const value_entry_s& entry) {
  const VERU_pref* pref = VERU_lookup_pref(entry.name.c_str());
  if (!pref || pref->class_id() != VERU_pref_string_list_c) return {entry.value};
  std::vector<std::string> values = list_items(entry.value);
  if (values.empty()) values.emplace_back();
  return values;
}

// The set command that records the entry again, and a note for the end of its line.
std::string set_command(const value_file_s& file, const value_entry_s& entry, std::string* note) {
  const std::vector<std::string> values = set_values(entry);
  std::string options = std::string(" --level ") + level_name(file.level);
  const bool locks = entry_locks(file, entry);
  if (file.level == 3 && entry.locked_flag) {
    *note = "locked=\"yes\": the user level cannot lock";
  } else if (locks != file.locked_by_default) {
    options += locks ? " --lock" : " --unlock";
  }
  if (entry.has_comment) options += " --comment " + shell_word(entry.comment);
  bool dashed = !entry.name.empty() && entry.name[0] == '-';
  for (const std::string& value : values) dashed = dashed || (!value.empty() && value[0] == '-');
  std::string words = shell_word(entry.name);
  for (const std::string& value : values) words += " " + shell_word(value);
  if (entry.has_modified) {
    *note = "modified " + entry.modified + (note->empty() ? "" : "; " + *note);
  }
  return "kvrn-prefs set " + (dashed ? options.substr(1) + " -- " + words : words + options);
}

int print_text(const value_file_s& file) {
  std::printf("# the %s level's file %s%s\n", level_name(file.level), file.path.c_str(),
              !file.exists             ? " (none yet)"
              : file.locked_by_default ? ", locked by default"
                                       : "");
  if (file.locked_by_default) {
    std::printf("%skvrn-prefs level-lock locked --level %s\n",
                file.level == 3 ? "# the user level cannot lock by default: " : "",
                level_name(file.level));
  }
  for (const value_entry_s& entry : file.entries) {
    std::string note;
    const std::string command = set_command(file, entry, &note);
    if (entry.ignored_code) {
      std::printf("# ignored (%s): ", one_line(entry.ignored_reason).c_str());
    }
    std::printf("%s%s%s\n", command.c_str(), note.empty() ? "" : "  # ", one_line(note).c_str());
  }
  return EXIT_OK;
}

int print_json(const value_file_s& file) {
  json_document entries = json_document::array();
  for (const value_entry_s& entry : file.entries) {
    std::string note;
    const std::string command = set_command(file, entry, &note);
    entries.push_back({
        {"position", entry.position},
        {"name", entry.name},
        {"value", json_optional(entry.has_value, entry.value)},
        {"locked", entry.locked_flag},
        {"locks", entry_locks(file, entry)},
        {"modified", json_optional(entry.has_modified, entry.modified)},
        {"comment", json_optional(entry.has_comment, entry.comment)},
        {"ignored", entry.ignored_code != 0},
        {"reason", json_optional(entry.ignored_code != 0, entry.ignored_reason)},
        {"command", command},
    });
  }
  // Each entry on a line of its own, as the other commands print their lists.
  json_document level = {{"level", file.level},
                         {"name", level_name(file.level)},
                         {"file", file.path},
                         {"exists", file.exists},
                         {"locked_by_default", file.locked_by_default}};
  std::string text = json_text(level);
  text.pop_back();
  std::printf("%s, \"entries\": %s}\n", text.c_str(), json_text(entries, true).c_str());
  return EXIT_OK;
}

}  // namespace

int run_dump(const command_line_s& line) {
  if (!line.arguments.empty()) return refuse(EXIT_USAGE, "dump takes no arguments");
  const int level = level_of(line.level);
  if (level < 0) return refuse(EXIT_USAGE, "dump needs --level site, group or user");
  if (!VERU__is_level_defined(level)) {
    return refuse(EXIT_REFUSED, std::string("the ") + level_name(level) +
                                    " level is not defined (see kvrn-prefs levels)");
  }
  char* reason = nullptr;
  const int state = VERU_ask_level_load_state(level, &reason);
  const std::string failure = taken(reason);
  if (state == VERU_LOAD_FAILED) {
    return refuse(EXIT_REFUSED, std::string("the ") + level_name(level) +
                                    " level's file failed to load: " + failure);
  }
  value_file_s file;
  file.level = level;
  file.path = VERU__ask_level_filename(level);
  std::string error;
  file.exists = state == VERU_LOAD_LOADED;
  if (file.exists && !read_value_file(level, &file, &error)) {
    return refuse(EXIT_REFUSED, "cannot read " + file.path + ": " + error);
  }
  return line.json ? print_json(file) : print_text(file);
}
