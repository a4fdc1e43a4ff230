// The level table shared by the sources that find, load and save value files.
#pragma once

#include <veru.h>

#include <string>

#include "veru_carried_entries.h"
#include "veru_level_layout.h"

constexpr int VERU_LEVEL_COUNT = 4;

struct veru_level_s {
  // An undefined level of the table: its variable and base name, and whether it is up to date
  // (level 0, which has no file, always is).
  veru_level_s(const char* variable_name, const char* file_base_name, bool is_up_to_date);

  bool defined = false;
  char variable[32] = {};
  char file_path[257] = {};
  char base_name[128] = {};
  bool locked_by_default = false;
  bool up_to_date;
  // What the last load of the file found, so that a save never writes over a file that could
  // not be read, and gives back the entries that the load ignored.
  int load_state = VERU_LOAD_NOT_READ;
  std::string load_failure;  // why the last load failed: the file and the cause
  veru_carried_entries carried;
  // The order of the file's entries and what a person wrote there, for the next save.
  veru_level_layout layout;
  // The value file as this process last read or wrote it, so that a save does not write over
  // what another writer put there since.
  CFI_file_identity_s identity;
  // Why start-up left the level undefined, in the words of its log lines.
  std::string undefined_reason;
  // The advisory lock on the level's file while this process holds it, and how many holders.
  int lock_handle = -1;
  int lock_holders = 0;
  // The edit sessions open on the level (VERU_begin_level_edit), each holding the lock once.
  int edit_sessions = 0;
};

// The entry of a level; a level outside 0 to 3 raises the host's internal error.
veru_level_s& veru_level(int level);
// The identity of the level's value file as this process last read it (at a load) or wrote it
// (at a save); exists is false when there was no file. A change of the file that does not match
// it was made by another writer.
const CFI_file_identity_s& veru_level_file_identity(int level);
// Sets the level's default lock and turns over the own lock flag of every entry the level records
// or carries, so that each preference's lock at the level stays as it was; how many entries.
int veru_set_level_locked_by_default_keeping_locks(int level, bool locked);
