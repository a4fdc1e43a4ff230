// The change listeners of the host, and the batches of what changed that they receive: each
// preference's state before and after a change, compared.
#include "veru_changes.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <utility>

#include "veru_sm_string.h"

struct veru_change_record_s {
  const char* name = nullptr;  // the preference's own name, which lives as long as the process
  unsigned what = 0;
  int cause = 0;
  int level = 0;
  bool has_old = false;
  bool has_new = false;
  std::string old_value;
  std::string new_value;
  int old_source = 0;
  int new_source = 0;
  int old_lock_level = -1;
  int new_lock_level = -1;
};

namespace {

using records_t = std::vector<veru_change_record_s>;

struct listener_s {
  int id;
  bool every_name;
  std::string prefix;
  unsigned what;
  VERU_changes_fn fn;
  void* data;
};

std::vector<listener_s> listeners;
int last_listener_id = 0;
// Set while a batch is being handed out: batches made meanwhile wait in the queue.
bool delivering = false;
std::deque<records_t> waiting;

bool concerns(const listener_s& listener, const veru_change_record_s& record) {
  if (listener.what != 0 && (record.what & listener.what) == 0) return false;
  if (!record.name || listener.every_name) return true;
  return std::strncmp(record.name, listener.prefix.c_str(), listener.prefix.size()) == 0;
}

VERU_change_s as_change(const veru_change_record_s& record) {
  return {record.name,
          record.what,
          record.cause,
          record.level,
          record.has_old ? record.old_value.c_str() : nullptr,
          record.has_new ? record.new_value.c_str() : nullptr,
          record.old_source,
          record.new_source,
          record.old_lock_level,
          record.new_lock_level};
}

const listener_s* find_listener(int id) {
  for (const listener_s& listener : listeners) {
    if (listener.id == id) return &listener;
  }
  return nullptr;
}

// Hands one batch to every listener registered when it starts that it concerns. A listener
// removed meanwhile is passed over; one added meanwhile waits for the next batch.
void hand_out(const records_t& records) {
  std::vector<int> ids;
  for (const listener_s& listener : listeners) ids.push_back(listener.id);
  std::vector<VERU_change_s> changes;
  for (const int id : ids) {
    const listener_s* found = find_listener(id);
    if (!found) continue;
    const listener_s listener = *found;  // a callback may add or remove listeners
    changes.clear();
    for (const auto& record : records) {
      if (concerns(listener, record)) changes.push_back(as_change(record));
    }
    if (!changes.empty()) {
      listener.fn(changes.data(), static_cast<int>(changes.size()), listener.data);
    }
  }
}

// Ends a delivery on every way out, also when a callback raises: the batches still waiting go
// out with the next one.
class delivery {
 public:
  delivery() { delivering = true; }
  ~delivery() { delivering = false; }
  delivery(const delivery&) = delete;
  delivery& operator=(const delivery&) = delete;
};

void deliver_records(records_t records) {
  waiting.push_back(std::move(records));
  if (delivering) return;
  const delivery in_progress;
  while (!waiting.empty()) {
    const records_t next = std::move(waiting.front());
    waiting.pop_front();
    hand_out(next);
  }
}

// The effective value as VERU_ask_string prints it: a string list's items joined by spaces.
bool query_text(VERU_pref* pref, std::string* text) {
  const VERU_value* value = pref->loaded_value();
  if (!value) return false;
  veru_sm_string printed = veru_owned(value->print());
  if (OM_is_subclass(pref->class_id(), VERU_pref_list_c)) {
    printed = veru_owned(VERU__remove_quotes_and_backslash(printed.get()));
  }
  text->assign(printed ? printed.get() : "");
  return true;
}

// The level that supplies the effective value: the highest one that records a value no lock
// below hides.
int value_source(VERU_pref* pref) {
  for (int level = 3; level > 0; --level) {
    if (pref->has_value(level) && !pref->is_locked(level - 1)) return level;
  }
  return 0;
}

int lowest_lock_level(VERU_pref* pref) {
  for (int level = 0; level < 3; ++level) {
    if (pref->is_locked(level)) return level;
  }
  return -1;
}

}  // namespace

bool veru_pref_state_s::operator==(const veru_pref_state_s& other) const {
  return has_value == other.has_value && value == other.value && source == other.source &&
         lock_level == other.lock_level && has_comment == other.has_comment &&
         comment == other.comment;
}

veru_pref_state_s veru_pref_state(VERU_pref* pref) {
  veru_pref_state_s state;
  state.has_value = query_text(pref, &state.value);
  state.source = value_source(pref);
  state.lock_level = lowest_lock_level(pref);
  const TEXT_s* comment = pref->ask_comment(state.source);
  state.has_comment = !TEXT_is_null_text(comment);
  if (state.has_comment) state.comment = TEXT_ask_utf8(comment);
  return state;
}

bool veru_has_change_listeners() {
  return !listeners.empty();
}

veru_change_batch::veru_change_batch(int cause)
    : cause_(cause), active_(veru_has_change_listeners()) {}

veru_change_batch::~veru_change_batch() = default;

void veru_change_batch::before(VERU_pref* pref, int level) {
  if (!active_ || !pref || index_.count(pref)) return;
  index_.emplace(pref, noted_.size());
  noted_.push_back({pref, level, veru_pref_state(pref)});
}

void veru_change_batch::renote(VERU_pref* pref) {
  const auto found = index_.find(pref);
  if (found != index_.end()) noted_[found->second].state = veru_pref_state(pref);
}

void veru_change_batch::before(const char* name, int level) {
  if (active_ && name) before(VERU_lookup_pref(name), level);
}

namespace {

struct noting_s {
  veru_change_batch* batch;
  int level;
};

void note_pref(OM_object* pref, void* data) {
  const auto* noting = static_cast<noting_s*>(data);
  noting->batch->before(static_cast<VERU_pref*>(pref), noting->level);
}

}  // namespace

void veru_change_batch::before_all(int level) {
  VERU_module_root* root = VERU__ask_module_root();
  if (!active_ || !root) return;
  noting_s noting{this, level};
  OM_for_all_in_set(root->ask_pref_set(), note_pref, &noting);
}

void veru_change_batch::level_state(int level, const std::string& old_state,
                                    const std::string& new_state) {
  if (!active_ || old_state == new_state) return;
  veru_change_record_s record;
  record.what = VERU_CHANGE_LEVEL_STATE;
  record.cause = cause_;
  record.level = level;
  record.has_old = record.has_new = true;
  record.old_value = old_state;
  record.new_value = new_state;
  level_records_.push_back(std::move(record));
}

void veru_change_batch::definitions(const std::string& path) {
  if (!active_) return;
  veru_change_record_s record;
  record.what = VERU_CHANGE_DEFINITIONS;
  record.cause = cause_;
  record.has_new = true;
  record.new_value = path;
  level_records_.push_back(std::move(record));
}

void veru_change_batch::deliver() {
  if (!active_) return;
  records_t records;
  for (noted_s& noted : noted_) {
    veru_pref_state_s after = veru_pref_state(noted.pref);
    const veru_pref_state_s& old = noted.state;
    unsigned what = 0;
    if (old.has_value != after.has_value || old.value != after.value) what |= VERU_CHANGE_VALUE;
    if (old.lock_level != after.lock_level) what |= VERU_CHANGE_LOCK;
    if (old.source != after.source) what |= VERU_CHANGE_SOURCE;
    if (old.has_comment != after.has_comment || old.comment != after.comment) {
      what |= VERU_CHANGE_COMMENT;
    }
    if (what == 0) continue;
    veru_change_record_s record;
    record.name = noted.pref->name();
    record.what = what;
    record.cause = cause_;
    record.level = noted.level;
    record.has_old = old.has_value;
    record.has_new = after.has_value;
    record.old_value = std::move(noted.state.value);
    record.new_value = std::move(after.value);
    record.old_source = old.source;
    record.new_source = after.source;
    record.old_lock_level = old.lock_level;
    record.new_lock_level = after.lock_level;
    records.push_back(std::move(record));
  }
  // In name order, whatever order the preferences were noted in; level-wide records last.
  std::sort(records.begin(), records.end(),
            [](const veru_change_record_s& a, const veru_change_record_s& b) {
              return std::strcmp(a.name, b.name) < 0;
            });
  for (veru_change_record_s& record : level_records_) records.push_back(std::move(record));
  noted_.clear();
  index_.clear();
  level_records_.clear();
  if (!records.empty()) deliver_records(std::move(records));
}

int VERU_add_change_listener(const char* name_or_prefix, unsigned what, VERU_changes_fn fn,
                             void* data) {
  if (!fn) return 0;
  const bool every_name = !name_or_prefix || !*name_or_prefix;
  listeners.push_back(
      {++last_listener_id, every_name, every_name ? "" : name_or_prefix, what, fn, data});
  return last_listener_id;
}

void VERU_remove_change_listener(int id) {
  for (auto listener = listeners.begin(); listener != listeners.end(); ++listener) {
    if (listener->id == id) {
      listeners.erase(listener);
      return;
    }
  }
}
