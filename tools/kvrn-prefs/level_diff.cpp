// kvrn-prefs: what differs between two sets of a level's entries.
#include "level_diff.h"

compared_level_s compared_file(const value_file_s& file) {
  compared_level_s level;
  level.locked_by_default = file.locked_by_default;
  for (const value_entry_s& entry : file.entries) {
    level.entries[entry.name] = {entry.value, entry_locks(file, entry), entry.has_comment,
                                 entry.comment};
  }
  return level;
}

compared_level_s compared_memory(int level) {
  compared_level_s compared;
  compared.locked_by_default = VERU_is_level_locked_by_default(level);
  for (VERU_pref* pref : prefs_in_file_order()) {
    const VERU_recorded_value* entry = pref->ask_recorded_value(level);
    if (!entry) continue;
    const TEXT_s* comment = entry->ask_comment();
    const bool has_comment = !TEXT_is_null_text(comment) && !text_of(comment).empty();
    compared.entries[pref->ask_name()] = {value_text(entry->ask_value()),
                                          entry->ask_locked() != compared.locked_by_default,
                                          has_comment, has_comment ? text_of(comment) : ""};
  }
  return compared;
}

level_differences_s level_differences(const compared_level_s& before,
                                      const compared_level_s& after) {
  level_differences_s differences;
  differences.locked_by_default_before = before.locked_by_default;
  differences.locked_by_default_after = after.locked_by_default;
  differences.default_lock_changed = before.locked_by_default != after.locked_by_default;
  auto old_entry = before.entries.begin();
  auto new_entry = after.entries.begin();
  while (old_entry != before.entries.end() || new_entry != after.entries.end()) {
    const bool only_old = new_entry == after.entries.end() || (old_entry != before.entries.end() &&
                                                               old_entry->first < new_entry->first);
    const bool only_new =
        !only_old && (old_entry == before.entries.end() || new_entry->first < old_entry->first);
    if (only_old) {
      differences.entries.push_back({old_entry->first, &old_entry->second, nullptr});
      ++differences.removed;
      ++old_entry;
    } else if (only_new) {
      differences.entries.push_back({new_entry->first, nullptr, &new_entry->second});
      ++differences.added;
      ++new_entry;
    } else {
      if (!(old_entry->second == new_entry->second)) {
        differences.entries.push_back({new_entry->first, &old_entry->second, &new_entry->second});
        ++differences.changed;
      }
      ++old_entry;
      ++new_entry;
    }
  }
  return differences;
}

namespace {

const char* lock_word(bool locks) {
  return locks ? "locked" : "unlocked";
}

std::string comment_word(const compared_entry_s& entry) {
  return entry.has_comment ? "\"" + one_line(entry.comment) + "\"" : "none";
}

std::string entry_text(const compared_entry_s& entry) {
  std::string text = " = " + one_line(entry.value);
  if (entry.locks) text += " (locks)";
  if (entry.has_comment) text += " # " + one_line(entry.comment);
  return text;
}

json_document entry_json(const compared_entry_s* entry) {
  if (!entry) return nullptr;
  return {{"value", entry->value},
          {"locks", entry->locks},
          {"comment", json_optional(entry->has_comment, entry->comment)}};
}

}  // namespace

std::string differences_text(const level_differences_s& differences) {
  std::string text;
  if (differences.default_lock_changed) {
    text += std::string("~ default lock: ") + lock_word(differences.locked_by_default_before) +
            " -> " + lock_word(differences.locked_by_default_after) + "\n";
  }
  for (const difference_s& difference : differences.entries) {
    if (!difference.before) {
      text += "+ " + difference.name + entry_text(*difference.after) + "\n";
      continue;
    }
    if (!difference.after) {
      text += "- " + difference.name + entry_text(*difference.before) + "\n";
      continue;
    }
    const compared_entry_s& before = *difference.before;
    const compared_entry_s& after = *difference.after;
    std::vector<std::string> parts;
    if (before.value != after.value) {
      parts.push_back("value " + one_line(before.value) + " -> " + one_line(after.value));
    }
    if (before.locks != after.locks) {
      parts.push_back(std::string("lock ") + lock_word(before.locks) + " -> " +
                      lock_word(after.locks));
    }
    if (before.has_comment != after.has_comment || before.comment != after.comment) {
      parts.push_back("comment " + comment_word(before) + " -> " + comment_word(after));
    }
    std::string line = "~ " + difference.name + ":";
    for (std::size_t i = 0; i < parts.size(); ++i) line += (i ? ", " : " ") + parts[i];
    text += line + "\n";
  }
  return text;
}

json_document differences_json(const level_differences_s& differences) {
  json_document changes = json_document::array();
  for (const difference_s& difference : differences.entries) {
    const char* change = !difference.before ? "added" : !difference.after ? "removed" : "changed";
    changes.push_back({{"name", difference.name},
                       {"change", change},
                       {"before", entry_json(difference.before)},
                       {"after", entry_json(difference.after)}});
  }
  json_document default_lock = nullptr;
  if (differences.default_lock_changed) {
    default_lock = {{"before", lock_word(differences.locked_by_default_before)},
                    {"after", lock_word(differences.locked_by_default_after)}};
  }
  return {{"default_lock", default_lock},
          {"changes", changes},
          {"added", differences.added},
          {"removed", differences.removed},
          {"changed", differences.changed}};
}
