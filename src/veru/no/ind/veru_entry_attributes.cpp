// Reading the attributes and comment of a value-file entry, once.
#include "veru_entry_attributes.h"

#include <cstring>

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

veru_entry_attributes_s veru_read_entry_attributes(XERCES_DOM_node* element) {
  static const char* const NAMES[] = {"name", "value", "locked", "modified"};
  const char* values[4];
  pvtbl_kvxml->XERCES_DOM_getAttributes(element, NAMES, values, 4);
  veru_entry_attributes_s attributes;
  attributes.name = values[0];
  attributes.value = values[1];
  attributes.locked = values[2];
  attributes.modified = values[3];
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
