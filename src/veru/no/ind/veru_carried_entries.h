// The entries of a value file that its load ignored, kept so that saving the level gives them
// back: a setting from a newer release, or one that a lock below hides for a while, is never
// lost by a save.
#pragma once

#include <veru.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "veru_compiled.h"
#include "veru_level_layout.h"
#include "veru_xml.h"

class veru_carried_entries {
 public:
  // Forgets every kept entry.
  void clear();
  // Why the load ignored an entry: a library error code, the entry's place among the file's Pref
  // elements (from 1) and the reason in words, or for a value that its preference refused
  // (value_refused), no words: they are worked out when asked, as a file may hold many.
  struct why_s {
    int code = 0;
    int position = 0;
    std::string reason;
    bool value_refused = false;
  };
  // A kept entry: its copy in the kept document, its name ("" for an entry without one) and why
  // it was ignored.
  struct entry_s {
    XERCES_DOM_node* element = nullptr;
    std::string name;
    why_s why;
  };
  // Keeps the Pref element its record holds, with all its attributes and children, and why it
  // was ignored.
  void keep(const veru_element_record_s& record, why_s why);
  int count() const { return static_cast<int>(entries_.size()); }
  // The kept entries in file order.
  const std::vector<entry_s>& entries() const { return entries_; }
  // The reason in words why the index-th kept entry was ignored.
  std::string reason(std::size_t index) const;
  // Appends to parent, each followed by a line break and after the comments that stood before it
  // in its file (layout), the kept entries whose preference holds no value at the level: a value
  // of the level's own replaces them.
  void append_to(XERCES_DOM_ctx* document, XERCES_DOM_node* parent, int level,
                 const veru_level_layout& layout) const;
  // Forgets the entries that the level's own values replaced, once a save has written them.
  void drop_replaced(int level);
  // Forgets the entries of that name; how many there were.
  int drop(const char* name);
  // Offers each kept entry, in file order, with why it was ignored, to take; the entries it
  // takes (returns true for) are kept no longer.
  void take_if(const std::function<bool(XERCES_DOM_node* element, const why_s& why)>& take);
  // Clears the entries' own lock flags, as a change of the level's default lock does for the
  // level's recorded values.
  void clear_locks();
  // Turns each entry's own lock flag over; how many entries there are.
  int flip_locks();

 private:
  static bool is_replaced(const entry_s& entry, int level);
  // Keeps only the entries for which keep(entry) is true, in their order.
  template <typename Keep>
  void keep_only(Keep keep);

  std::unique_ptr<veru_document> document_;
  std::unique_ptr<veru_element_maker> maker_;
  std::vector<entry_s> entries_;
};
