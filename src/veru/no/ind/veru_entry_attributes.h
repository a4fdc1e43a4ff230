// What reading a value-file entry takes from its Pref element: its attributes, its modification
// time and its comment, read in one pass when the file is compiled, so that loading reads each
// entry only once and needs no element.
#pragma once

#include <veru.h>

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

// Reads the attributes and comment of the element (record is left empty).
veru_entry_attributes_s veru_read_entry_attributes(XERCES_DOM_node* element);

// The element's "value" attribute; null when it has none or there is no element.
const char* veru_entry_value(XERCES_DOM_node* element);
