// VERU_int_value: a 32-bit signed integer value.
#include <veru.h>

#include "veru_class.h"

#include <charconv>

#define VERU_SOURCE "src/veru/no/ind/veru_int_value_definitions"

VERU_int_value* VERU_int_value::create(int value) {
  return veru_create<VERU_int_value>(VERU_int_value_c, value);
}

void VERU_int_value::initialise(VERU_int_value* object, int value) {
  object->set_value(value);
}

void VERU_int_value::init_methods(OM_class_descriptor* table) {
  veru_set_class_operations<VERU_int_value>(table);
  slot_value = OM_ask_attribute_slot(VERU_int_value_c, ATT_value__VERU1281);
}

int VERU_int_value::compare(const VERU_value* other) const {
  check_operand(other, VERU_int_value_c, VERU_SOURCE, __LINE__);
  const int mine = ask_value();
  const int theirs = static_cast<const VERU_int_value*>(other)->ask_value();
  if (mine == theirs) return 0;
  return theirs > mine ? 1 : -1;
}

char* VERU_int_value::print() const {
  char text[16];
  const std::to_chars_result written = std::to_chars(text, text + sizeof text, ask_value());
  return SM_string_ncopy(text, static_cast<std::size_t>(written.ptr - text));
}

int VERU_int_value::ask_value() const {
  return value();
}

void VERU_int_value::set_value(int value) {
  slot(slot_value).i = value;
}
