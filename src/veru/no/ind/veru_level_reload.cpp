// Reading levels again while the host runs: the preferences a new file may change are found from
// what the level records and what the file holds, without visiting every preference unless the
// level's default lock turns.
#include "veru_level_reload.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
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
  const char* status = file.index().default_lock_status;
  return status && std::strcmp(status, "locked") == 0;
}

// What reading a level again involves: the recorded values the level held, taken off their
// preferences while the file is read (so that the two can be compared), and the preferences its
// new file names.
struct level_reload_s {
  veru_level_file_s* file;
  std::unordered_map<VERU_pref*, OM_object*> old_values;
  std::vector<VERU_pref*> named;

  OM_object* old_value(VERU_pref* pref) const {
    const auto found = old_values.find(pref);
    return found == old_values.end() ? nullptr : found->second;
  }
};

OM_object* recorded_at(VERU_pref* pref, int level) {
  return pref->VERU_pref::ask_recorded_value(level);
}

void put_recorded(VERU_pref* pref, int level, OM_object* recorded) {
  OM_set_pointer_elem(pref, ATT_values__VERU4702, level, recorded);
}

level_reload_s plan(veru_level_file_s* file) {
  level_reload_s reload{file, {}, {}};
  const int level = file->level;
  for_every_pref([&](VERU_pref* pref) {
    if (OM_object* recorded = recorded_at(pref, level)) reload.old_values.emplace(pref, recorded);
  });
  if (file->file.is_parsed()) {
    for (const veru_entry_attributes_s& entry : file->file.index().entries) {
      if (VERU_pref* pref = entry.name ? VERU_lookup_pref(entry.name) : nullptr) {
        reload.named.push_back(pref);
      }
    }
  }
  return reload;
}

bool same_text(const TEXT_s* a, const TEXT_s* b) {
  if (TEXT_is_null_text(a) || TEXT_is_null_text(b)) {
    return TEXT_is_null_text(a) == TEXT_is_null_text(b);
  }
  return std::strcmp(TEXT_ask_utf8(a), TEXT_ask_utf8(b)) == 0;
}

// Whether two recorded values of a level make the preference the same to a host: value, own lock
// flag and comment (the date alone changes nothing a host is told).
bool same_entry(const OM_object* a, const OM_object* b) {
  if (!a || !b) return a == b;
  const auto* old_entry = static_cast<const VERU_recorded_value*>(a);
  const auto* new_entry = static_cast<const VERU_recorded_value*>(b);
  const VERU_value* old_value = old_entry->ask_value();
  const VERU_value* new_value = new_entry->ask_value();
  const bool same_value = old_value && new_value ? old_value->class_id() == new_value->class_id() &&
                                                       old_value->compare(new_value) == 0
                                                 : old_value == new_value;
  return same_value && old_entry->ask_locked() == new_entry->ask_locked() &&
         same_text(old_entry->ask_comment(), new_entry->ask_comment());
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
  // A level's default lock that turns may change every preference.
  bool every_pref = false;
  for (const veru_level_file_s& file : files) {
    every_pref |= file.every_pref ||
                  locks_by_default(file.file) != VERU_is_level_locked_by_default(file.level);
  }
  if (every_pref) changes->before_all(files.front().level);
  std::vector<level_reload_s> reloads;
  for (veru_level_file_s& file : files) reloads.push_back(plan(&file));
  for (level_reload_s& reload : reloads) {
    const int level = reload.file->level;
    for (const auto& [pref, old_value] : reload.old_values) put_recorded(pref, level, nullptr);
    const std::string old_state = veru_level_state_text(level);
    veru_level(level).up_to_date = false;
    veru_load_level_values(level, false, std::move(reload.file->file));
    changes->level_state(level, old_state, veru_level_state_text(level));
  }
  // Otherwise only the preferences whose entry changed at a level read again can change, there
  // or above. Each is noted as it was, with its old entries put back for the moment.
  std::unordered_set<VERU_pref*> changed_set;
  std::vector<VERU_pref*> changed;
  auto note_before = [&](VERU_pref* pref, int level) {
    OM_object* now[VERU_LEVEL_COUNT] = {};
    for (const level_reload_s& reload : reloads) {
      now[reload.file->level] = recorded_at(pref, reload.file->level);
      put_recorded(pref, reload.file->level, reload.old_value(pref));
    }
    changes->before(pref, level);
    for (const level_reload_s& reload : reloads) {
      put_recorded(pref, reload.file->level, now[reload.file->level]);
    }
  };
  auto compare = [&](VERU_pref* pref, const level_reload_s& reload) {
    const int level = reload.file->level;
    if (changed_set.count(pref) || same_entry(reload.old_value(pref), recorded_at(pref, level))) {
      return;
    }
    changed_set.insert(pref);
    changed.push_back(pref);
    if (!every_pref && changes->is_active()) note_before(pref, level);
  };
  for (const level_reload_s& reload : reloads) {
    for (const auto& old : reload.old_values) compare(old.first, reload);
    for (VERU_pref* pref : reload.named) compare(pref, reload);
  }
  take_in_unlocked_entries(files.front().level);
  if (every_pref) {
    for_every_pref([](VERU_pref* pref) { veru_refresh_query_value(pref); });
  } else {
    for (VERU_pref* pref : changed) veru_refresh_query_value(pref);
  }
  for (const level_reload_s& reload : reloads) {
    for (const auto& [pref, old_value] : reload.old_values) OM_delete_object(old_value);
  }
}
