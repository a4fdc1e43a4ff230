// kvrn-prefs: a change record of the library as a JSON object, as `watch --json` prints it and
// the editor's pages receive it.
#pragma once

#include "json.h"
#include "tool.h"

// {"name", "what": ["value", "lock", ...], "cause": "edit"|"file", "level", "old", "new",
// "old_source", "new_source", "old_lock", "new_lock"}; null where the record has none.
json_document change_json(const VERU_change_s& change);
