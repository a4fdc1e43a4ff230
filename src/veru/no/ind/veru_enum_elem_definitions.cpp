// VERU_enum_elem: one member of an enumeration.
#include <veru.h>

#include "veru_class.h"

VERU_enum_elem* VERU_enum_elem::create(VERU_value* value, const char* name) {
  return veru_create<VERU_enum_elem>(VERU_enum_elem_c, value, name);
}

void VERU_enum_elem::initialise(VERU_enum_elem* object, VERU_value* value, const char* name) {
  object->slot(slot_value).o = value;
  OM_take_text(object->slot(slot_name), TEXT_create_string(name));
}

void VERU_enum_elem::init_methods(OM_class_descriptor* table) {
  veru_set_class_operations<VERU_enum_elem>(table);
  OM_init_cascading_method(table, &VERU_enum_elem::delete_value);
  slot_value = OM_ask_attribute_slot(VERU_enum_elem_c, ATT_value__VERU1281);
  slot_name = OM_ask_attribute_slot(VERU_enum_elem_c, ATT_name__VERU8887);
  slot_bitmap = OM_ask_attribute_slot(VERU_enum_elem_c, ATT_bitmap__VERU9611);
}

void VERU_enum_elem::delete_value(OM_object* object) {
  OM_delete_slot_object(object->slot(slot_value));
}

VERU_value* VERU_enum_elem::ask_value() const {
  return slot_object<VERU_value>(slot_value);
}

TEXT_s* VERU_enum_elem::ask_name() const {
  return slot(slot_name).t;
}

const char* VERU_enum_elem::ask_bitmap() const {
  return slot(slot_bitmap).s;
}

void VERU_enum_elem::set_bitmap(const char* bitmap) {
  OM_store_string(slot(slot_bitmap), bitmap);
}
