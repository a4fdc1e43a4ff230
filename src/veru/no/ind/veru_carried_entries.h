// The entries of a value file that its load ignored, kept so that saving the level gives them
// back: a setting from a newer release, or one that a lock below hides for a while, is never
// lost by a save.
#pragma once

#include <veru.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "veru_xml.h"

class veru_carried_entries {
 public:
  // Forgets every kept entry.
  void clear();
  // Why the load ignored an entry: a library error code, the entry's place among the file's Pref
  // elements (from 1) and the reason in words.
  struct why_s {
    int code = 0;
    int position = 0;
    std::string reason;
  };
  // Keeps a copy of a Pref element with all its attributes and children, and why it was ignored.
  void keep(XERCES_DOM_node* element, why_s why);
  int count() const { return static_cast<int>(entries_.size()); }
  // The kept entries' names in file order ("" for an entry without one).
  const std::vector<std::string>& names() const { return names_; }
  // Why each kept entry was ignored, in file order.
  const std::vector<why_s>& whys() const { return whys_; }
  // Appends to parent, each followed by a line break, the kept entries whose preference holds
  // no value at the level: a value of the level's own replaces them.
  void append_to(XERCES_DOM_ctx* document, XERCES_DOM_node* parent, int level) const;
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

 private:
  bool is_replaced(std::size_t index, int level) const;
  // Keeps only the entries for which keep(index) is true.
  template <typename Keep>
  void keep_only(Keep keep);

  std::unique_ptr<veru_document> document_;
  std::vector<XERCES_DOM_node*> entries_;
  std::vector<std::string> names_;
  std::vector<why_s> whys_;
};
