// What reading a value-file entry takes from its Pref element: its attributes, its modification
// time and its comment, read in one pass when the file is compiled, so that loading reads each
// entry only once and needs no element.
#pragma once

#include <veru.h>

#include <vector>
#include "veru_compiled.h"

struct veru_entry_attributes_s {
  const char* name = nullptr;
  const char* value = nullptr;
  const char* locked = nullptr;
  const char* modified = nullptr;
  // Whether modified holds a date with a time that fits an int, and that time.
  bool has_modified_time = false;
  int modified_time = 0;
  // The text of the entry's UserComment (its last piece of text); null when it has none.
  const char* comment = nullptr;
  // The whole element, to be made again where an entry is carried or read by a host's class.
  veru_element_record_s record;
};

// Something a person wrote into a value file that the loader does not read but a save keeps: an
// XML comment just before an entry, or an attribute that the root or a Pref entry does not
// define.
struct veru_file_note_s {
  // The entry (index among the file's Pref entries) that the note belongs to: a comment stands
  // before it; the number of entries for comments after the last one; -1 for the root element.
  int entry = 0;
  const char* name = nullptr;  // the attribute's name; null for a comment
  const char* text = nullptr;  // the attribute's value or the comment's text
};

// Reads the attributes and comment of the element (record is left empty); when notes is not
// null, the attributes that a Pref entry does not define are appended to it as notes of entry.
veru_entry_attributes_s veru_read_entry_attributes(XERCES_DOM_node* element,
                                                   std::vector<veru_file_note_s>* notes = nullptr,
                                                   int entry = 0);
// The same, from the element's attributes listed already.
veru_entry_attributes_s veru_read_entry_attributes(XERCES_DOM_node* element,
                                                   const veru_attribute_list& list,
                                                   std::vector<veru_file_note_s>* notes, int entry);

// The element's "value" attribute; null when it has none or there is no element.
const char* veru_entry_value(XERCES_DOM_node* element);
