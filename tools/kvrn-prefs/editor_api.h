// kvrn-prefs edit: the editor page's questions answered from the library's editor model, and
// its changes made through the checked edits. Called on the thread that owns the library.
#pragma once

#include <string>
#include <vector>

#include "json.h"

// The levels the page may edit: the user level, and the site and group levels whose files this
// person can write. Each defined one of 1 to 3.
bool editor_may_edit(int level);
// Everything the page shows as the level sees it: the levels, the tree of applications,
// categories, tabs and groups with their preferences, and a view of each preference.
json_document editor_state(int level);
// {"level", "prefs": {name: view}}: the views of the named preferences as the level sees them,
// to show again after they changed; unknown names are left out.
json_document editor_views(int level, const std::vector<std::string>& names);
// {"name", "level", "value"} → {"code", "reason"}: what an edit of the value would answer.
json_document editor_check(const json_document& request);
// {"level", "changes": [{"name", "value"?, "comment"?, "reset"?}]} → {"saved", "file", "done",
// "refused", "error"}: the changes made under the level's lock after reading it again, and the
// level saved when any was accepted. A failed save leaves the level as its file holds it.
json_document editor_apply(const json_document& request);
