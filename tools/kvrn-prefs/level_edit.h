// kvrn-prefs: an edit of one level as the library wants it made by a tool that may run beside
// others: the level locked, read again, changed through the library's checked edits, saved.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tool.h"

// What an edit did, for the line printed after the save; empty when it refused (after saying
// why on standard error with refuse()).
struct edit_outcome_s {
  int status = EXIT_OK;
  std::string done;  // "Gateway_Autosave_Interval = 7", "Drafting_Standard_Default unlocked"
  // The preferences whose entries at the levels above may now be hidden by a lock: each such
  // entry is warned about after the save.
  std::vector<VERU_pref*> watched;
  // Whether a value was set, so that an entry above that still decides is warned about too.
  bool value_set = false;
  // The preferences whose entries at the levels above a lock hid before the edit (see
  // hidden_above): each such entry that now takes effect is warned about after the save.
  std::vector<std::pair<VERU_pref*, unsigned>> revealed{};
};

// The levels above level (as bits 1 << level) whose entries for the preference a lock hides now.
unsigned hidden_above(VERU_pref* pref, int level);

// What a change made under the level's lock asks for: a save, or nothing saved with why not.
struct level_change_s {
  bool save = false;
  std::string refusal;  // "" unless the change cannot be saved
};

// Holds the level's lock while it reads the level again (another editor may have saved it
// since start-up) and runs change; saves the level when change asks for it. A file that fails
// to load is refused, or with replace_broken saved over once its content is kept under a new
// name (over_broken tells change so). "" when done or nothing was to be saved; otherwise why
// nothing was saved.
std::string locked_edit(int level, bool replace_broken,
                        const std::function<level_change_s(bool over_broken)>& change);
// Locks the level, reads it again (saving over a broken file, kept aside, with
// --replace-broken), runs change, saves the level and prints "<done> at the <level> level, saved
// in <file>". The exit status.
int edit_level(const command_line_s& line, int level,
               const std::function<edit_outcome_s()>& change);
// The level that --level names, or -1 after saying why (usage error).
int edited_level(const command_line_s& line, const char* command);
// A refusal of the library (its code and reason) as an edit outcome, after saying it; for an
// unknown name with the nearest names.
edit_outcome_s refused_edit(const std::string& what, int code, char* reason,
                            const std::string& name);
