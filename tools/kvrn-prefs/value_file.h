// kvrn-prefs: a level's value file as it is written, entry by entry, with what start-up made of
// each entry, for dump and lint.
#pragma once

#include <string>
#include <vector>

#include "tool.h"

struct value_entry_s {
  int position = 0;  // its place among the file's Pref elements, from 1
  std::string name;  // "" when it has none
  bool has_value = false;
  std::string value;         // the value attribute as written (a string list encoded)
  bool locked_flag = false;  // locked="yes"
  bool has_locked = false;
  std::string locked;  // the locked attribute as written
  bool has_modified = false;
  std::string modified;
  bool has_comment = false;
  std::string comment;
  // The attributes that a Pref entry does not have, in file order.
  std::vector<std::string> unknown_attributes;
  // Why start-up ignored the entry (a library error code and its reason); 0 when it counts.
  int ignored_code = 0;
  std::string ignored_reason;
};

struct value_file_s {
  int level = 0;
  std::string path;
  bool exists = true;
  bool locked_by_default = false;
  bool has_default_lock_status = false;
  std::string default_lock_status;  // as written
  std::vector<value_entry_s> entries;
};

// Reads the value file at path (any file of the format: a level's, a generation, another
// installation's), without what start-up made of it; false with *error when it cannot be read.
bool read_value_file_at(const std::string& path, value_file_s* file, std::string* error);
// Reads the value file of a loaded level; false with *error when it cannot be read now.
bool read_value_file(int level, value_file_s* file, std::string* error);
// Whether the entry locks its preference at the level: its flag against the level's default.
bool entry_locks(const value_file_s& file, const value_entry_s& entry);
