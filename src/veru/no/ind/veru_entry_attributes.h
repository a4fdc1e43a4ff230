// What reading a value-file entry takes from its Pref element: its attributes and its
// modification time, read in one pass over the element's attributes when the file is indexed, so
// that building the model reads each entry only once.
#pragma once

#include <veru.h>

#include <vector>

struct veru_entry_attributes_s {
  XERCES_DOM_node* element = nullptr;
  const char* name = nullptr;
  const char* value = nullptr;
  const char* locked = nullptr;
  const char* modified = nullptr;
  // Whether modified holds a date with a time that fits an int, and that time.
  bool has_modified_time = false;
  int modified_time = 0;
};

// Something a person wrote into a value file that the loader does not read but a save keeps: an
// XML comment just before an entry, or an attribute that the root or a Pref entry does not
// define. Texts point into the parsed document.
struct veru_file_note_s {
  // The entry (index among the file's Pref entries) that the note belongs to: a comment stands
  // before it; the number of entries for comments after the last one; -1 for the root element.
  int entry = 0;
  const char* name = nullptr;  // the attribute's name; null for a comment
  const char* text = nullptr;  // the attribute's value or the comment's text
};

// Whether a Pref entry of a value file defines an attribute of that name (those saves write).
bool veru_is_entry_attribute(const char* name);

// Reads the attributes of the element; when notes is not null, the attributes that a Pref entry
// does not define are appended to it as notes of entry. Uses the XML service's read operations
// and nothing else, so any thread may call it.
veru_entry_attributes_s veru_read_entry_attributes(XERCES_DOM_node* element,
                                                   std::vector<veru_file_note_s>* notes = nullptr,
                                                   int entry = 0);

// While one lives, the attributes of its entry's element are the ones given, read earlier from
// the same element, which stays unchanged meanwhile. One at a time on a thread.
class veru_reading_entry {
 public:
  explicit veru_reading_entry(const veru_entry_attributes_s& attributes);
  ~veru_reading_entry();
  veru_reading_entry(const veru_reading_entry&) = delete;
  veru_reading_entry& operator=(const veru_reading_entry&) = delete;
};

// The attributes of element: those read earlier when it is the element of the entry being read,
// else read now into *read_now.
const veru_entry_attributes_s& veru_entry_attributes(XERCES_DOM_node* element,
                                                     veru_entry_attributes_s* read_now);
// The element's "value" attribute, in the same way; null when it has none or there is no element.
const char* veru_entry_value(XERCES_DOM_node* element);
