// Reading the attributes and comment of a value-file entry, once.
#include "veru_entry_attributes.h"

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

}  // namespace

const char* const* VERU__ask_value_entry_attribute_names(int* count) {
  if (count) *count = static_cast<int>(std::size(ENTRY_ATTRIBUTES)) - 1;
  return ENTRY_ATTRIBUTES;
}

bool veru_is_entry_attribute(const char* name) {
  for (const char* const* defined = ENTRY_ATTRIBUTES; *defined; ++defined) {
    if (std::strcmp(name, *defined) == 0) return true;
  }
  return false;
}

veru_entry_attributes_s veru_read_entry_attributes(XERCES_DOM_node* element,
                                                   std::vector<veru_file_note_s>* notes,
                                                   int entry) {
  // A saved entry has nine attributes; room for more than a hand-written one is likely to have.
  constexpr int ROOM = 16;
  const char* names[ROOM];
  const char* values[ROOM];
  const int count = pvtbl_kvxml->XERCES_DOM_getAttributeList(element, names, values, ROOM);
  std::vector<const char*> more_names;
  std::vector<const char*> more_values;
  const char** all_names = names;
  const char** all_values = values;
  if (count > ROOM) {
    more_names.resize(static_cast<std::size_t>(count));
    more_values.resize(static_cast<std::size_t>(count));
    pvtbl_kvxml->XERCES_DOM_getAttributeList(element, more_names.data(), more_values.data(), count);
    all_names = more_names.data();
    all_values = more_values.data();
  }
  veru_entry_attributes_s attributes;
  for (int i = 0; i < count; ++i) {
    const char* name = all_names[i];
    const char* value = all_values[i];
    if (std::strcmp(name, "name") == 0) {
      if (!attributes.name) attributes.name = value;
    } else if (std::strcmp(name, "value") == 0) {
      if (!attributes.value) attributes.value = value;
    } else if (std::strcmp(name, "locked") == 0) {
      if (!attributes.locked) attributes.locked = value;
    } else if (std::strcmp(name, "modified") == 0) {
      if (!attributes.modified) attributes.modified = value;
    } else if (notes && !veru_is_entry_attribute(name)) {
      notes->push_back({entry, name, value});
    }
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
