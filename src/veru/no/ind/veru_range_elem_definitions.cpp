// VERU_range_elem: one bound of a range.
#include <veru.h>

#include "veru_class.h"

VERU_range_elem* VERU_range_elem::create(bool inclusive, VERU_value* value) {
  return veru_create<VERU_range_elem>(VERU_range_elem_c, inclusive, value);
}

void VERU_range_elem::initialise(VERU_range_elem* object, bool inclusive, VERU_value* value) {
  object->slot(slot_inclusive).l = inclusive;
  object->slot(slot_value).o = value;
}

void VERU_range_elem::init_methods(OM_class_descriptor* table) {
  veru_set_class_operations<VERU_range_elem>(table);
  OM_init_cascading_method(table, &VERU_range_elem::delete_value);
  slot_inclusive = OM_ask_attribute_slot(VERU_range_elem_c, ATT_inclusive__VERU2600);
  slot_value = OM_ask_attribute_slot(VERU_range_elem_c, ATT_value__VERU1281);
  slot_name = OM_ask_attribute_slot(VERU_range_elem_c, ATT_name__VERU8887);
}

void VERU_range_elem::delete_value(OM_object* object) {
  OM_delete_slot_object(object->slot(slot_value));
}

VERU_value* VERU_range_elem::ask_value() const {
  return slot_object<VERU_value>(slot_value);
}

bool VERU_range_elem::ask_inclusive() const {
  return slot(slot_inclusive).l;
}

void VERU_range_elem::set_name(const TEXT_s* name) {
  OM_store_text(slot(slot_name), name);
}

TEXT_s* VERU_range_elem::ask_name() const {
  return slot(slot_name).t;
}
