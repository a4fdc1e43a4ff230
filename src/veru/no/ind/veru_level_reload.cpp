// Reading levels again while the host runs: the preferences a new file may change are found from
// what the level records and what the file holds, without visiting every preference unless the
// level's default lock turns.
#include "veru_level_reload.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>
#include <utility>

#include "veru_edit.h"
#include "veru_levels.h"

namespace {

template <typename Visit>
void for_every_pref(Visit visit) {
  VERU_module_root* root = VERU__ask_module_root();
  if (!root) return;
  OM_for_all_in_set(
      root->ask_pref_set(),
      [](OM_object* pref, void* data) {
        (*static_cast<Visit*>(data))(static_cast<VERU_pref*>(pref));
      },
      &visit);
}

bool locks_by_default(const veru_parsed_file& file) {
  if (!file.is_parsed()) return false;
  const char* status = static_cast<const veru_value_file_index&>(file.index()).default_lock_status;
  return status && std::strcmp(status, "locked") == 0;
}

// What reading a level again involves: the preferences that record a value there now, and those
// that its new file names.
struct level_reload_s {
  veru_level_file_s* file;
  std::vector<VERU_pref*> recorded;
  std::vector<VERU_pref*> named;
};

level_reload_s plan(veru_level_file_s* file) {
  level_reload_s reload{file, {}, {}};
  const int level = file->level;
  for_every_pref([&](VERU_pref* pref) {
    if (pref->ask_recorded_value(level)) reload.recorded.push_back(pref);
  });
  if (file->file.is_parsed()) {
    for (const veru_entry_attributes_s& entry :
         static_cast<const veru_value_file_index&>(file->file.index()).entries) {
      if (VERU_pref* pref = entry.name ? VERU_lookup_pref(entry.name) : nullptr) {
        reload.named.push_back(pref);
      }
    }
  }
  return reload;
}

// Reads into the levels above lowest the entries their loads ignored because a lower level
// locked them, where no lock hides them any more: a fresh start would read them.
void take_in_unlocked_entries(int lowest) {
  for (int level = lowest + 1; level < VERU_LEVEL_COUNT; ++level) {
    veru_level(level).carried.take_if(
        [level](XERCES_DOM_node* element, const veru_carried_entries::why_s& why) {
          if (why.code != VERU_ERROR_LOCKED_AT_HIGHER_LEVEL) return false;
          const char* name = pvtbl_kvxml->XERCES_DOM_getAttribute(element, "name");
          VERU_pref* pref = name ? VERU_lookup_pref(name) : nullptr;
          if (!pref || pref->is_locked(level - 1) || pref->has_value(level)) return false;
          try {
            pref->read_dom_node(element, level);
            return true;
          } catch (const TQS::Error::Exception&) {
            return false;  // its value is not valid: it stays carried
          }
        });
  }
}

}  // namespace

std::string veru_level_state_text(int level) {
  const veru_level_s& entry = veru_level(level);
  switch (entry.load_state) {
    case VERU_LOAD_LOADED:
      return "loaded";
    case VERU_LOAD_NO_FILE:
      return "no file";
    case VERU_LOAD_FAILED:
      return entry.load_failure;
    default:
      return "not read";
  }
}

void veru_reload_levels(std::vector<veru_level_file_s> files, veru_change_batch* changes) {
  if (files.empty()) return;
  std::sort(files.begin(), files.end(), [](const veru_level_file_s& a, const veru_level_file_s& b) {
    return a.level < b.level;
  });
  // A level's default lock that turns may change every preference; otherwise only those the
  // level records or its file names can change, here or above.
  bool every_pref = false;
  std::vector<level_reload_s> reloads;
  for (veru_level_file_s& file : files) {
    every_pref |= file.every_pref ||
                  locks_by_default(file.file) != VERU_is_level_locked_by_default(file.level);
    reloads.push_back(plan(&file));
  }
  std::vector<VERU_pref*> affected;
  if (every_pref) {
    changes->before_all(files.front().level);
  } else {
    std::unordered_set<VERU_pref*> seen;
    for (const level_reload_s& reload : reloads) {
      for (const auto* prefs : {&reload.recorded, &reload.named}) {
        for (VERU_pref* pref : *prefs) {
          if (!seen.insert(pref).second) continue;
          affected.push_back(pref);
          changes->before(pref, reload.file->level);
        }
      }
    }
  }
  for (level_reload_s& reload : reloads) {
    const int level = reload.file->level;
    const std::string old_state = veru_level_state_text(level);
    for (VERU_pref* pref : reload.recorded) pref->remove_value(level);
    veru_level(level).up_to_date = false;
    veru_load_level_values(level, false, std::move(reload.file->file));
    changes->level_state(level, old_state, veru_level_state_text(level));
  }
  take_in_unlocked_entries(files.front().level);
  if (every_pref) {
    for_every_pref([](VERU_pref* pref) { veru_refresh_query_value(pref); });
  } else {
    for (VERU_pref* pref : affected) veru_refresh_query_value(pref);
  }
}
