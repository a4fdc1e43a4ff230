// Reading levels again while the host runs, so that queries answer what a fresh start would
// answer for the files as they now are, with what changed noted for the listeners.
#pragma once

#include <vector>

#include "veru_changes.h"
#include "veru_value_file.h"

// A level's value file as it now is: parsed, or not parsed when there is no file.
struct veru_level_file_s {
  int level;
  veru_parsed_file file;
  // What queries answer may differ from what the level records for any preference (the level
  // was read again without them following), so every preference is compared.
  bool every_pref = false;
};

// The level's load state in words, as level-state records give it: "loaded", "no file", "not
// read", or the reason its file failed to load.
std::string veru_level_state_text(int level);

// Replaces what the levels record by what their files hold, in level order (unsaved edits of
// those levels are gone; other levels keep theirs), takes in the entries of higher levels that
// a lock no longer hides, makes queries follow, and notes in changes, before anything is
// replaced, every preference whose state this may change, and each level whose load state
// changes.
void veru_reload_levels(std::vector<veru_level_file_s> files, veru_change_batch* changes);
