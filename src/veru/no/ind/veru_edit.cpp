// The checked edits of a level: a value, a lock, a comment, a reset and the level's default
// lock. Each refuses what a lock below or the constraint forbids, with a reason a person can
// act on, and keeps what queries answer in step; none saves.
#include <cstring>

#include "veru_changes.h"
#include "veru_edit.h"
#include "veru_levels.h"
#include "veru_watch.h"
#include "veru_xml.h"

namespace {

veru_refusal_s refusal_of(int code, std::string reason) {
  return veru_refusal_s{code, std::move(reason)};
}

int answer(const veru_refusal_s& refusal, char** reason) {
  if (reason) *reason = refusal ? SM_string_copy(refusal.reason.c_str()) : nullptr;
  return refusal.code;
}

// Runs an edit; whatever it raises becomes a refusal too, under a library code.
template <typename Edit>
int guarded(char** reason, Edit edit) {
  try {
    return answer(edit(), reason);
  } catch (const TQS::Error::Exception& error) {
    const int code =
        VERU_is_veru_error(error.askCode()) ? error.askCode() : VERU_ERROR_LEVEL_NOT_CHANGEABLE;
    return answer(refusal_of(code, error.what()), reason);
  }
}

veru_refusal_s level_refusal(int level) {
  if (level == 0) {
    return refusal_of(VERU_ERROR_LEVEL_NOT_CHANGEABLE,
                      "level 0 holds the definitions' defaults, which are not edited");
  }
  if (level < 0 || level > 3)
    return refusal_of(VERU_ERROR_LEVEL_NOT_CHANGEABLE,
                      "there is no level " + std::to_string(level));
  if (!VERU__is_level_defined(level)) {
    return refusal_of(VERU_ERROR_LEVEL_NOT_CHANGEABLE,
                      veru_level_text(level) +
                          " is not defined: its directory variable is not set or has no "
                          "startup folder");
  }
  return {};
}

// The preference and level that an edit names, or why they cannot be edited.
veru_refusal_s edit_target(const char* name, int level, VERU_pref** pref) {
  *pref = name ? VERU_lookup_pref(name) : nullptr;
  if (!*pref) {
    return refusal_of(VERU_ERROR_UNKNOWN_PREF, name ? "no preference is named " + veru_quoted(name)
                                                    : "no preference name given");
  }
  return level_refusal(level);
}

// Why a lock below the level forbids changing the preference there.
veru_refusal_s lock_refusal(VERU_pref* pref, int level) {
  for (int below = 0; below < level; ++below) {
    if (pref->is_locked(below))
      return refusal_of(VERU_ERROR_LOCKED_AT_HIGHER_LEVEL, "locked at " + veru_level_text(below));
  }
  return {};
}

void refresh_query_value_of(OM_object* pref, void*) {
  veru_refresh_query_value(static_cast<VERU_pref*>(pref));
}

// Whether the level itself locks the preference: its entry's flag against the level's default,
// or the default alone without an entry.
bool level_locks(VERU_pref* pref, int level) {
  return pref->ask_recorded_value(level) ? pref->is_locked_at(level)
                                         : VERU_is_level_locked_by_default(level);
}

// The new value that text gives the preference, read as an edit reads it, or why an edit would
// refuse it whatever the level.
veru_refusal_s strict_value(VERU_pref* pref, const char* text, VERU_value** value) {
  veru_refusal_s refusal;
  *value = veru_read_value_text(pref, text, &refusal);
  if (*value) refusal = veru_constraint_refusal(pref, *value);
  if (refusal) {
    // What a person reads in a list of members is the member's name.
    OM_delete_object(*value);
    *value = veru_member_named(pref, text);
    if (!*value) return refusal;
  }
  return {};
}

// The new value that text gives the preference at the level, or why an edit would refuse it.
veru_refusal_s value_for_edit(const char* name, int level, const char* text, VERU_pref** pref,
                              VERU_value** value) {
  *value = nullptr;
  if (veru_refusal_s refusal = edit_target(name, level, pref)) return refusal;
  if (veru_refusal_s refusal = lock_refusal(*pref, level)) return refusal;
  return strict_value(*pref, text, value);
}

veru_refusal_s edit_value(const char* name, int level, const char* text) {
  VERU_pref* pref = nullptr;
  VERU_value* value = nullptr;
  if (veru_refusal_s refusal = value_for_edit(name, level, text, &pref, &value)) return refusal;
  pref->set_value(value, level);
  veru_refresh_query_value(pref);
  return {};
}

veru_refusal_s check_value(const char* name, int level, const char* text) {
  VERU_pref* pref = nullptr;
  VERU_value* value = nullptr;
  veru_refusal_s refusal = value_for_edit(name, level, text, &pref, &value);
  OM_delete_object(value);
  return refusal;
}

veru_refusal_s edit_lock(const char* name, int level, bool locked) {
  VERU_pref* pref = nullptr;
  if (veru_refusal_s refusal = edit_target(name, level, &pref)) return refusal;
  if (locked && level == 3) {
    return refusal_of(VERU_ERROR_LEVEL_NOT_CHANGEABLE,
                      "the user level cannot lock preferences: no level is above it");
  }
  if (veru_refusal_s refusal = lock_refusal(pref, level)) return refusal;
  if (level_locks(pref, level) == locked) return {};
  pref->set_locked(locked, level);
  veru_refresh_query_value(pref);
  return {};
}

veru_refusal_s edit_comment(const char* name, int level, const char* comment) {
  VERU_pref* pref = nullptr;
  if (veru_refusal_s refusal = edit_target(name, level, &pref)) return refusal;
  if (veru_refusal_s refusal = lock_refusal(pref, level)) return refusal;
  if (veru_refusal_s refusal =
          veru_check_edit_text(comment, "the comment", VERU_ERROR_LEVEL_NOT_CHANGEABLE)) {
    return refusal;
  }
  if (!pref->has_value(level)) {
    return refusal_of(VERU_ERROR_NOT_SET_AT_LEVEL, std::string(name) + " has no value at " +
                                                       veru_level_text(level) + " to comment on");
  }
  TEXT_s* text = comment && *comment ? TEXT_create_string(comment) : nullptr;
  pref->set_comment(text, level);
  TEXT_free(text);
  return {};
}

veru_refusal_s edit_reset(const char* name, int level) {
  if (!name) return refusal_of(VERU_ERROR_UNKNOWN_PREF, "no preference name given");
  if (veru_refusal_s refusal = level_refusal(level)) return refusal;
  // An entry that the level's load ignored goes too, also for a name no preference has.
  const bool dropped = veru_level(level).carried.drop(name) > 0;
  VERU_pref* pref = VERU_lookup_pref(name);
  if (!pref) {
    return dropped
               ? veru_refusal_s{}
               : refusal_of(VERU_ERROR_UNKNOWN_PREF, std::string("no preference is named ") + name);
  }
  if (!pref->ask_recorded_value(level)) {
    return dropped ? veru_refusal_s{}
                   : refusal_of(VERU_ERROR_NOT_SET_AT_LEVEL,
                                std::string("nothing is recorded for ") + name + " at " +
                                    veru_level_text(level));
  }
  pref->remove_value(level);
  veru_refresh_query_value(pref);
  return {};
}

veru_refusal_s edit_level_lock(int level, bool locked_by_default, int* flipped) {
  if (level == 3) {
    return refusal_of(VERU_ERROR_LEVEL_NOT_CHANGEABLE,
                      "the user level cannot lock by default: no level is above it");
  }
  if (veru_refusal_s refusal = level_refusal(level)) return refusal;
  if (VERU_is_level_locked_by_default(level) == locked_by_default) return {};
  if (flipped) {
    *flipped = veru_set_level_locked_by_default_keeping_locks(level, locked_by_default);
  } else {
    VERU_set_level_locked_by_default(level, locked_by_default);
  }
  if (VERU_module_root* root = VERU__ask_module_root()) {
    OM_for_all_in_set(root->ask_pref_set(), refresh_query_value_of, nullptr);
  }
  return {};
}

}  // namespace

veru_refusal_s veru_change_refusal(VERU_pref* pref, int level) {
  if (veru_refusal_s refusal = level_refusal(level)) return refusal;
  return lock_refusal(pref, level);
}

int VERU_check_value(const char* name, int level, const char* text, char** reason) {
  return guarded(reason, [&] { return check_value(name, level, text); });
}

int VERU_check_value_text(const char* name, const char* text, char** reason) {
  return guarded(reason, [&]() -> veru_refusal_s {
    VERU_pref* pref = name ? VERU_lookup_pref(name) : nullptr;
    if (!pref) return refusal_of(VERU_ERROR_UNKNOWN_PREF, "no preference has this name");
    VERU_value* value = nullptr;
    veru_refusal_s refusal = strict_value(pref, text, &value);
    OM_delete_object(value);
    return refusal;
  });
}

void veru_refresh_query_value(VERU_pref* pref) {
  for (int level = 3; level > 0; --level) {
    if (pref->has_value(level) && !pref->is_locked(level - 1)) {
      pref->update_loaded_value(level);
      return;
    }
  }
  pref->update_loaded_value(0);
}

namespace {

// What an edit may change: one preference, or every preference at the level.
struct edited_s {
  const char* name;
  int level;
  bool whole_level = false;
};

// Runs a checked edit and, when it succeeds, tells the listeners what it changed before
// returning.
template <typename Edit>
int edit_and_tell(const edited_s& edited, char** reason, Edit edit) {
  veru_change_batch changes(VERU_CAUSE_EDIT);
  if (edited.whole_level) {
    changes.before_all(edited.level);
  } else {
    changes.before(edited.name, edited.level);
  }
  const int code = guarded(reason, edit);
  if (code == 0) {
    changes.for_each_noted(veru_watch_edited);
    changes.deliver();
  }
  return code;
}

}  // namespace

int VERU_edit_value(const char* name, int level, const char* text, char** reason) {
  return edit_and_tell({name, level}, reason, [&] { return edit_value(name, level, text); });
}

int VERU_edit_lock(const char* name, int level, bool locked, char** reason) {
  return edit_and_tell({name, level}, reason, [&] { return edit_lock(name, level, locked); });
}

int VERU_edit_comment(const char* name, int level, const char* comment, char** reason) {
  return edit_and_tell({name, level}, reason, [&] { return edit_comment(name, level, comment); });
}

int VERU_edit_reset(const char* name, int level, char** reason) {
  return edit_and_tell({name, level}, reason, [&] { return edit_reset(name, level); });
}

int VERU_edit_level_lock(int level, bool locked_by_default, char** reason) {
  return edit_and_tell({nullptr, level, true}, reason,
                       [&] { return edit_level_lock(level, locked_by_default, nullptr); });
}

int VERU_edit_level_lock_keeping_locks(int level, bool locked_by_default, int* flipped,
                                       char** reason) {
  int count = 0;
  const int code = edit_and_tell({nullptr, level, true}, reason,
                                 [&] { return edit_level_lock(level, locked_by_default, &count); });
  if (flipped) *flipped = count;
  return code;
}
