// An edit session of one level: its lock held from reading the level's file again to saving it,
// so that editors of the level in several processes all land.
#include <string>

#include "veru_levels.h"
#include "veru_save_result.h"

int VERU_begin_level_edit(int level, bool replace_broken, char** reason) {
  if (const int refused = VERU_lock_level(level, reason)) return refused;
  // Another editor may have saved the level since this process read it.
  VERU_set_level_up_to_date(level, false);
  VERU_reload_values_xml();
  veru_level_s& entry = veru_level(level);
  char* failure = nullptr;
  if (VERU_ask_level_load_state(level, &failure) != VERU_LOAD_FAILED || replace_broken) {
    SM_free(failure);
    ++entry.edit_sessions;
    return 0;
  }
  const std::string why = failure ? failure : "";
  SM_free(failure);
  VERU_unlock_level(level);
  return veru_refuse_save(reason, VERU_ERROR_LEVEL_FILE_BROKEN, "%s", why.c_str());
}

int VERU_end_level_edit(int level, bool save, char** kept_as, char** reason) {
  if (kept_as) *kept_as = nullptr;
  if (reason) *reason = nullptr;
  if (level < 1 || level >= VERU_LEVEL_COUNT || veru_level(level).edit_sessions == 0) {
    return veru_refuse_save(reason, VERU_ERROR_LEVEL_NOT_CHANGEABLE,
                            "no edit of the level %d is open", level);
  }
  int code = 0;
  if (save) {
    // A broken file is saved over only by a session that was begun to replace it; its content
    // is kept aside.
    code = VERU_save_level_over_broken(level, kept_as, reason);
  }
  if (!save || code != 0) {
    // What was not saved is dropped: the level holds what its file holds.
    VERU_set_level_up_to_date(level, false);
    VERU_reload_values_xml();
  }
  --veru_level(level).edit_sessions;
  VERU_unlock_level(level);
  return code;
}
