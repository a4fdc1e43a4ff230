// VERU_data_enum: an enumeration; a value is allowed when it equals one of the members.
#include <veru.h>

#include "veru_class.h"

#define VERU_SOURCE "src/veru/no/ind/veru_data_enum_definitions"

VERU_data_enum* VERU_data_enum::create(int unused) {
  return veru_create<VERU_data_enum>(VERU_data_enum_c, unused);
}

// An enumeration starts without members.
void VERU_data_enum::initialise(VERU_data_enum*, int) {}

void VERU_data_enum::init_methods(OM_class_descriptor* table) {
  veru_set_class_operations<VERU_data_enum>(table);
  OM_init_cascading_method(table, &VERU_data_enum::delete_elems);
  slot_values = OM_ask_attribute_slot(VERU_data_enum_c, ATT_values__VERU4702);
}

void VERU_data_enum::delete_elems(OM_object* object) {
  OM_delete_referenced_objects(object, ATT_values__VERU4702, 0,
                               OM_slot_array_length(object->slot(slot_values)));
}

const VERU_enum_elem* VERU_data_enum::find_elem(const VERU_value* value) const {
  const int count = ask_n_elems();
  for (int i = 0; i < count; ++i) {
    const VERU_enum_elem* elem = ask_nth_elem(i);
    if (elem && elem->ask_value() && elem->ask_value()->compare(value) == 0) return elem;
  }
  return nullptr;
}

bool VERU_data_enum::validate(const VERU_value* value) const {
  if (!find_elem(value))
    ERROR_exception(VERU_SOURCE, __LINE__, VERU_ERROR_NOT_IN_ENUM, "Invalid value");
  return true;
}

char* VERU_data_enum::print() const {
  return nullptr;
}

void VERU_data_enum::add_elem(VERU_enum_elem* elem) {
  OM_slot_array_append(slot(slot_values), elem);
}

int VERU_data_enum::ask_n_elems() const {
  return OM_slot_array_length(slot(slot_values));
}

VERU_enum_elem* VERU_data_enum::ask_nth_elem(int index) const {
  return static_cast<VERU_enum_elem*>(OM_slot_array_elem(slot(slot_values), index));
}
