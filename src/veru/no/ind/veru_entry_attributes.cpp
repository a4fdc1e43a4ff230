// Reading the attributes of a value-file entry, once.
#include "veru_entry_attributes.h"

namespace {

thread_local const veru_entry_attributes_s* entry_being_read = nullptr;

}  // namespace

veru_entry_attributes_s veru_read_entry_attributes(XERCES_DOM_node* element) {
  static const char* const NAMES[] = {"name", "value", "locked", "modified"};
  const char* values[4];
  pvtbl_kvxml->XERCES_DOM_getAttributes(element, NAMES, values, 4);
  veru_entry_attributes_s attributes;
  attributes.element = element;
  attributes.name = values[0];
  attributes.value = values[1];
  attributes.locked = values[2];
  attributes.modified = values[3];
  CLOCK_date_s date = CLOCK_null_date;
  attributes.has_modified_time = attributes.modified &&
                                 CLOCK_xml_dateTime_to_date(attributes.modified, &date) == 0 &&
                                 CLOCK_date_to_time(&date, &attributes.modified_time) == 0;
  return attributes;
}

veru_reading_entry::veru_reading_entry(const veru_entry_attributes_s& attributes) {
  entry_being_read = &attributes;
}

veru_reading_entry::~veru_reading_entry() {
  entry_being_read = nullptr;
}

const veru_entry_attributes_s& veru_entry_attributes(XERCES_DOM_node* element,
                                                     veru_entry_attributes_s* read_now) {
  if (entry_being_read && entry_being_read->element == element) return *entry_being_read;
  *read_now = veru_read_entry_attributes(element);
  return *read_now;
}

const char* veru_entry_value(XERCES_DOM_node* element) {
  if (!element) return nullptr;
  if (entry_being_read && entry_being_read->element == element) return entry_being_read->value;
  return pvtbl_kvxml->XERCES_DOM_getAttribute(element, "value");
}
