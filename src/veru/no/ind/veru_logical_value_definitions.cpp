// VERU_logical_value: a true or false value.
#include <veru.h>

#include "veru_class.h"

#define VERU_SOURCE "src/veru/no/ind/veru_logical_value_definitions"

VERU_logical_value* VERU_logical_value::create(bool value) {
  return veru_create<VERU_logical_value>(VERU_logical_value_c, value);
}

void VERU_logical_value::initialise(VERU_logical_value* object, bool value) {
  object->set_value(value);
}

void VERU_logical_value::init_methods(OM_class_descriptor* table) {
  veru_set_class_operations<VERU_logical_value>(table);
  slot_value = OM_ask_attribute_slot(VERU_logical_value_c, ATT_value__VERU1281);
}

// Logical values are equal or not; they have no order, so unequal is always -1.
int VERU_logical_value::compare(const VERU_value* other) const {
  check_operand(other, VERU_logical_value_c, VERU_SOURCE, __LINE__);
  return ask_value() == static_cast<const VERU_logical_value*>(other)->ask_value() ? 0 : -1;
}

char* VERU_logical_value::print() const {
  return SM_string_copy(ask_value() ? "true" : "false");
}

bool VERU_logical_value::ask_value() const {
  return value();
}

void VERU_logical_value::set_value(bool value) {
  slot(slot_value).l = value;
}
