// What a change did to the preferences, as listeners are told it: each preference's state before
// and after (effective value, source level, lowest locking level, comment), and the batch of
// their differences.
#pragma once

#include <veru.h>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

// What a preference looks like to a host: what queries answer and where it comes from.
struct veru_pref_state_s {
  bool has_value = false;
  std::string value;  // as VERU_ask_string prints it
  int source = 0;
  int lock_level = -1;
  bool has_comment = false;
  std::string comment;  // the comment recorded with the effective value

  bool operator==(const veru_pref_state_s& other) const;
};
veru_pref_state_s veru_pref_state(VERU_pref* pref);

// One record of a batch, with the texts it owns.
struct veru_change_record_s;

// The changes of one edit or one processing of files. Notes the state of each preference a
// change may touch before it is made; deliver() then compares them with their states now and
// hands the differences to the listeners. Does nothing while no listener is registered.
class veru_change_batch {
 public:
  explicit veru_change_batch(int cause);
  ~veru_change_batch();
  veru_change_batch(const veru_change_batch&) = delete;
  veru_change_batch& operator=(const veru_change_batch&) = delete;

  bool is_active() const { return active_; }
  // Notes the preference's state now, the first time it is noted; level is the level whose
  // change it is.
  void before(VERU_pref* pref, int level);
  void before(const char* name, int level);
  void before_all(int level);
  // Notes the preference's state again, as it is now, when it was noted: what changed in between
  // has been told already, by an edit's own batch.
  void renote(VERU_pref* pref);
  // A level-wide record: the level's load state changed from one text to another.
  void level_state(int level, const std::string& old_state, const std::string& new_state);
  // A level-wide record: a definition file changed.
  void definitions(const std::string& path);
  // Every preference noted, whose states the change is to compare.
  template <typename Visit>
  void for_each_noted(Visit visit) const {
    for (const noted_s& noted : noted_) visit(noted.pref);
  }
  // Hands the differences to the listeners as one batch (nothing when there are none).
  void deliver();

 private:
  struct noted_s {
    VERU_pref* pref;
    int level;
    veru_pref_state_s state;
  };
  int cause_;
  bool active_;
  std::vector<noted_s> noted_;
  std::unordered_map<VERU_pref*, std::size_t> index_;
  std::vector<veru_change_record_s> level_records_;
};

// Whether any listener is registered.
bool veru_has_change_listeners();
