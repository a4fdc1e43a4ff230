// VERU_pref_int: a preference whose values are integers.
#include <veru.h>

#include "veru_number_text.h"
#include "veru_pref_typed.h"

#define VERU_SOURCE "src/veru/no/ind/veru_pref_int_definitions"

VERU_pref_int* VERU_pref_int::create(const char* name) {
  return veru_create<VERU_pref_int>(VERU_pref_int_c, name);
}

void VERU_pref_int::init_methods(OM_class_descriptor* table) {
  veru_set_class_operations<VERU_pref_int>(table);
}

void VERU_pref_int::read_dom_node(XERCES_DOM_node* element, int level) {
  const char* text = veru_value_attribute(element, level, VERU_SOURCE);
  store_read_value(create_veru_value(text), element, level, true, VERU_SOURCE, __LINE__);
}

VERU_value* VERU_pref_int::create_veru_value(const char* text) {
  return VERU_int_value::create(veru_parse_int_prefix(text));
}

int VERU_pref_int::ask_int(int level) {
  return value_at<VERU_int_value>(level, VERU_int_value_c);
}

void VERU_pref_int::set_int(int value, int level) {
  set_value(VERU_int_value::create(value), level);
}

bool VERU_pref_int::ask_int_range(int* lower, int* upper, bool* lower_inclusive,
                                  bool* upper_inclusive, bool* has_upper, bool* has_lower) {
  return veru_ask_range<VERU_int_value>(ask_data(), VERU_int_value_c, lower, upper, lower_inclusive,
                                        upper_inclusive, has_upper, has_lower);
}

int VERU_pref_int::ask_loaded_int() {
  return loaded<VERU_int_value>(VERU_int_value_c);
}
