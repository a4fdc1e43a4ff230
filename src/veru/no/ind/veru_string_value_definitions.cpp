// VERU_string_value: a byte string, compared byte by byte with bytes taken as unsigned.
#include <veru.h>

#include "veru_class.h"

#include <cstring>

#define VERU_SOURCE "src/veru/no/ind/veru_string_value_definitions"

VERU_string_value* VERU_string_value::create(const char* value) {
  return veru_create<VERU_string_value>(VERU_string_value_c, value);
}

void VERU_string_value::initialise(VERU_string_value* object, const char* value) {
  object->set_value(value);
}

void VERU_string_value::init_methods(OM_class_descriptor* table) {
  veru_set_class_operations<VERU_string_value>(table);
  slot_value = OM_ask_attribute_slot(VERU_string_value_c, ATT_value__VERU1281);
}

int VERU_string_value::compare(const VERU_value* other) const {
  check_operand(other, VERU_string_value_c, VERU_SOURCE, __LINE__);
  // strcmp compares bytes as unsigned char.
  const int order =
      std::strcmp(ask_value(), static_cast<const VERU_string_value*>(other)->ask_value());
  return (order > 0) - (order < 0);
}

char* VERU_string_value::print() const {
  return SM_string_copy(ask_value());
}

const char* VERU_string_value::ask_value() const {
  return value();
}

void VERU_string_value::set_value(const char* value) {
  OM_store_string(slot(slot_value), value ? value : "");
}
