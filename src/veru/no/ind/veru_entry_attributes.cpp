// Reading the attributes and comment of a value-file entry, once.
#include "veru_entry_attributes.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

// The last piece of text inside the element's UserComment children, as reading them one after
// the other leaves it; null when there is none.
const char* comment_of(XERCES_DOM_node* element) {
  const char* comment = nullptr;
  for (XERCES_DOM_node* child = pvtbl_kvxml->XERCES_DOM_getFirstChild(element); child;
       child = pvtbl_kvxml->XERCES_DOM_getNextSibling(child)) {
    if (pvtbl_kvxml->XERCES_DOM_getNodeType(child) != XERCES_DOM_ELEMENT_NODE ||
        std::strcmp(pvtbl_kvxml->XERCES_DOM_getNodeName(child), "UserComment") != 0) {
      continue;
    }
    for (XERCES_DOM_node* text = pvtbl_kvxml->XERCES_DOM_getFirstChild(child); text;
         text = pvtbl_kvxml->XERCES_DOM_getNextSibling(text)) {
      const int type = pvtbl_kvxml->XERCES_DOM_getNodeType(text);
      if (type == XERCES_DOM_TEXT_NODE || type == XERCES_DOM_CDATA_SECTION_NODE) {
        comment = pvtbl_kvxml->XERCES_DOM_getNodeValue(text);
      }
    }
  }
  return comment;
}

}  // namespace

namespace {

const char* const ENTRY_ATTRIBUTES[] = {"Application",  "Category", "Tab",   "title",
                                        "displayValue", "name",     "value", "locked",
                                        "modified",     nullptr};
// The attributes the loader reads, by their places in ENTRY_ATTRIBUTES.
enum { NAME = 5, VALUE, LOCKED, MODIFIED };

// The place of the attribute in ENTRY_ATTRIBUTES, or -1 when a Pref entry does not define it.
// No two of them begin with the same letter, so one comparison tells.
int entry_attribute(const char* name) {
  struct by_first_letter_s {
    signed char place[256];
    by_first_letter_s() {
      std::fill(std::begin(place), std::end(place), -1);
      for (int i = 0; ENTRY_ATTRIBUTES[i]; ++i) {
        place[static_cast<unsigned char>(ENTRY_ATTRIBUTES[i][0])] = static_cast<signed char>(i);
      }
    }
  };
  static const by_first_letter_s table;
  const int place = table.place[static_cast<unsigned char>(name[0])];
  return place >= 0 && std::strcmp(name, ENTRY_ATTRIBUTES[place]) == 0 ? place : -1;
}

}  // namespace

const char* const* VERU__ask_value_entry_attribute_names(int* count) {
  if (count) *count = static_cast<int>(std::size(ENTRY_ATTRIBUTES)) - 1;
  return ENTRY_ATTRIBUTES;
}

veru_entry_attributes_s veru_read_entry_attributes(XERCES_DOM_node* element,
                                                   std::vector<veru_file_note_s>* notes,
                                                   int entry) {
  return veru_read_entry_attributes(element, veru_attribute_list(element), notes, entry);
}

veru_entry_attributes_s veru_read_entry_attributes(XERCES_DOM_node* element,
                                                   const veru_attribute_list& list,
                                                   std::vector<veru_file_note_s>* notes,
                                                   int entry) {
  const int count = list.count();
  veru_entry_attributes_s attributes;
  for (int i = 0; i < count; ++i) {
    const char* name = list.name(i);
    const char* value = list.value(i);
    const char** read = nullptr;
    switch (entry_attribute(name)) {
      case NAME:
        read = &attributes.name;
        break;
      case VALUE:
        read = &attributes.value;
        break;
      case LOCKED:
        read = &attributes.locked;
        break;
      case MODIFIED:
        read = &attributes.modified;
        break;
      case -1:
        if (notes) notes->push_back({entry, name, value});
        break;
      default:
        break;
    }
    if (read && !*read) *read = value;
  }
  CLOCK_date_s date = CLOCK_null_date;
  attributes.has_modified_time = attributes.modified &&
                                 CLOCK_xml_dateTime_to_date(attributes.modified, &date) == 0 &&
                                 CLOCK_date_to_time(&date, &attributes.modified_time) == 0;
  attributes.comment = comment_of(element);
  return attributes;
}

const char* veru_entry_value(XERCES_DOM_node* element) {
  return element ? pvtbl_kvxml->XERCES_DOM_getAttribute(element, "value") : nullptr;
}
