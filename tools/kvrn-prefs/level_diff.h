// kvrn-prefs: what differs between two sets of a level's entries (two value files, a level and
// a file, a level before and after a change), per preference: added, removed, or its value, lock
// or comment changed.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "tool.h"
#include "value_file.h"

// One preference's entry as compared: its value text, whether it locks the preference at its
// level, and its comment.
struct compared_entry_s {
  std::string value;
  bool locks = false;
  bool has_comment = false;
  std::string comment;
  bool operator==(const compared_entry_s& other) const {
    return value == other.value && locks == other.locks && has_comment == other.has_comment &&
           comment == other.comment;
  }
};

// A level's entries by preference name, and whether the level locks by default.
struct compared_level_s {
  bool locked_by_default = false;
  std::map<std::string, compared_entry_s> entries;
};

// The entries of a value file as start-up reads them: of several entries of one name, the last.
compared_level_s compared_file(const value_file_s& file);
// The entries the level records in memory now.
compared_level_s compared_memory(int level);

struct difference_s {
  std::string name;
  const compared_entry_s* before = nullptr;  // null when added
  const compared_entry_s* after = nullptr;   // null when removed
};

struct level_differences_s {
  bool default_lock_changed = false;
  bool locked_by_default_before = false;
  bool locked_by_default_after = false;
  std::vector<difference_s> entries;  // by name
  int added = 0;
  int removed = 0;
  int changed = 0;
  bool any() const { return default_lock_changed || !entries.empty(); }
};

// What changes from before to after; valid while both live.
level_differences_s level_differences(const compared_level_s& before,
                                      const compared_level_s& after);
// One line per difference: "+ NAME = VALUE", "- NAME = VALUE", "~ NAME: value 5 -> 7, ...".
std::string differences_text(const level_differences_s& differences);
// {"default_lock": null or {"before", "after"}, "changes": [{"name", "change", "before",
// "after"}], "added", "removed", "changed"}.
json_document differences_json(const level_differences_s& differences);
