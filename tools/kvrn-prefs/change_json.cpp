// kvrn-prefs: change records as JSON.
#include "change_json.h"

namespace {

json_document json_level(int level) {
  return level < 0 ? json_document() : json_document(level);
}

json_document json_of(const char* text) {
  return json_optional(text != nullptr, text ? text : "");
}

}  // namespace

json_document change_json(const VERU_change_s& change) {
  static const char* const KINDS[] = {"value",   "lock",        "source",
                                      "comment", "level-state", "definitions"};
  json_document what = json_document::array();
  for (int bit = 0; bit < 6; ++bit) {
    if (change.what & (1u << bit)) what.push_back(KINDS[bit]);
  }
  const bool per_pref = change.name != nullptr;
  return {{"name", json_of(change.name)},
          {"what", what},
          {"cause", change.cause == VERU_CAUSE_EDIT ? "edit" : "file"},
          {"level", json_level(change.level)},
          {"old", json_of(change.old_value)},
          {"new", json_of(change.new_value)},
          {"old_source", per_pref ? json_level(change.old_source) : json_document()},
          {"new_source", per_pref ? json_level(change.new_source) : json_document()},
          {"old_lock", per_pref ? json_level(change.old_lock_level) : json_document()},
          {"new_lock", per_pref ? json_level(change.new_lock_level) : json_document()}};
}
