// The level table: one entry per level with its value file and flags, and the level queries.
#include "veru_levels.h"

#define VERU_SOURCE "src/veru/no/ind/veru_levels"

namespace {

veru_level_s levels[VERU_LEVEL_COUNT] = {
    {false, "", "", "", false, true},
    {false, "KVRN_SITE_DIR", "", "site.dpv", false, false},
    {false, "KVRN_GROUP_DIR", "", "group.dpv", false, false},
    {false, "KVRN_USER_DIR", "", "user.dpv", false, false},
};

void clear_recorded_lock(OM_object* pref, void* level) {
  static_cast<VERU_pref*>(pref)->clear_locked(*static_cast<int*>(level));
}

}  // namespace

veru_level_s& veru_level(int level) {
  if (level < 0 || level >= VERU_LEVEL_COUNT) {
    ERROR_internal(VERU_SOURCE, __LINE__, "level %d is outside 0 to 3", level);
  }
  return levels[level];
}

bool VERU__is_level_defined(int level) {
  return veru_level(level).defined;
}

char* VERU__ask_level_filename(int level) {
  return veru_level(level).file_path;
}

bool VERU_is_level_locked_by_default(int level) {
  return veru_level(level).locked_by_default;
}

void VERU_set_level_locked_by_default(int level, bool locked) {
  veru_level_s& entry = veru_level(level);
  if (VERU_module_root* root = VERU__ask_module_root()) {
    if (OM_set* prefs = root->ask_pref_set())
      OM_for_all_in_set(prefs, clear_recorded_lock, &level);
  }
  entry.locked_by_default = locked;
}

bool VERU_is_level_up_to_date(int level) {
  return veru_level(level).up_to_date;
}

void VERU_set_level_up_to_date(int level, bool up_to_date) {
  veru_level(level).up_to_date = up_to_date;
}
