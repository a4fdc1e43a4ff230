// VERU_data_enum: an enumeration; a value is allowed when it equals one of the members.
#include <veru.h>

#include "veru_class.h"
#include "veru_data_check.h"

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

const VERU_enum_elem* veru_enum_member(const VERU_data_enum* enumeration, const VERU_value* value) {
  const int count = enumeration->ask_n_elems();
  for (int i = 0; i < count; ++i) {
    const VERU_enum_elem* elem = enumeration->ask_nth_elem(i);
    if (elem && elem->ask_value() && elem->ask_value()->compare(value) == 0) return elem;
  }
  return nullptr;
}

int veru_enum_refusal_code(const VERU_data_enum* enumeration, const VERU_value* value) {
  return veru_enum_member(enumeration, value) ? 0 : VERU_ERROR_NOT_IN_ENUM;
}

bool VERU_data_enum::validate(const VERU_value* value) const {
  if (const int code = veru_enum_refusal_code(this, value)) {
    ERROR_exception(VERU_SOURCE, __LINE__, code, "Invalid value");
  }
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
