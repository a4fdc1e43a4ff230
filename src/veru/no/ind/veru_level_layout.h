// A level's file beyond its values, as its last load read it: the order of its entries and what
// a person wrote into it by hand (XML comments before entries, attributes the format does not
// define), so that a save writes the file in the same order and gives them back.
#pragma once

#include <veru.h>

#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "veru_entry_attributes.h"

// What a person wrote by hand at one entry, or at the root.
struct veru_entry_notes_s {
  std::vector<std::string> comments;  // XML comments before the entry, in file order
  std::vector<std::pair<std::string, std::string>> attributes;  // name and value, in file order
};

class veru_level_layout {
 public:
  // Forgets everything, as for a file that has no entries.
  void clear();
  // Keeps the notes of a file being loaded (see veru_value_file_index), which has entry_count
  // entries.
  void keep_notes(const std::vector<veru_file_note_s>& notes, int entry_count);
  // The file's entry (its index among the Pref entries) was read into pref. The preference's
  // first entry in the file gives its place.
  void place(VERU_pref* pref, int entry);
  // After a save that wrote pref after the entries placed so far.
  void place_last(VERU_pref* pref) { place(pref, -1); }
  bool is_placed(const VERU_pref* pref) const { return places_.count(pref) != 0; }

  // The preferences in the order of their entries.
  const std::vector<std::pair<VERU_pref*, int>>& order() const { return order_; }
  // The notes of the file's entry; null when it has none (and for -1).
  const veru_entry_notes_s* notes(int entry) const;
  const veru_entry_notes_s& root() const { return root_; }
  // The comments after the last entry.
  const std::vector<std::string>& trailing_comments() const { return trailing_; }

 private:
  std::vector<std::pair<VERU_pref*, int>> order_;  // each preference with its file entry
  std::unordered_map<const VERU_pref*, std::size_t> places_;
  std::unordered_map<int, veru_entry_notes_s> notes_;
  veru_entry_notes_s root_;
  std::vector<std::string> trailing_;
};
