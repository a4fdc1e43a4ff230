// The order of a level's entries and what a person wrote into its file, kept from load to save.
#include "veru_level_layout.h"

void veru_level_layout::clear() {
  order_.clear();
  places_.clear();
  notes_.clear();
  root_ = veru_entry_notes_s();
  trailing_.clear();
}

void veru_level_layout::keep_notes(const std::vector<veru_file_note_s>& notes, int entry_count) {
  for (const veru_file_note_s& note : notes) {
    const std::string text = note.text ? note.text : "";
    if (note.entry < 0) {
      root_.attributes.emplace_back(note.name, text);
    } else if (note.entry >= entry_count) {
      trailing_.push_back(text);
    } else if (note.name) {
      notes_[note.entry].attributes.emplace_back(note.name, text);
    } else {
      notes_[note.entry].comments.push_back(text);
    }
  }
}

void veru_level_layout::place(VERU_pref* pref, int entry) {
  if (places_.emplace(pref, order_.size()).second) order_.emplace_back(pref, entry);
}

const veru_entry_notes_s* veru_level_layout::notes(int entry) const {
  if (entry < 0 || notes_.empty()) return nullptr;
  const auto found = notes_.find(entry);
  return found == notes_.end() ? nullptr : &found->second;
}
