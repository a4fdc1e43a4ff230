// VERU_pref_string: a preference whose values are strings.
#include <veru.h>

#include "veru_pref_typed.h"

#define VERU_SOURCE "src/veru/no/ind/veru_pref_string_definitions"

VERU_pref_string* VERU_pref_string::create(const char* name) {
  return veru_create<VERU_pref_string>(VERU_pref_string_c, name);
}

void VERU_pref_string::init_methods(OM_class_descriptor* table) {
  veru_set_class_operations<VERU_pref_string>(table);
}

void VERU_pref_string::read_dom_node(XERCES_DOM_node* element, int level) {
  const char* text = veru_value_attribute(element, level, VERU_SOURCE);
  store_read_value(create_veru_value(text), element, level, true, VERU_SOURCE, __LINE__);
}

VERU_value* VERU_pref_string::create_veru_value(const char* text) {
  return VERU_string_value::create(text);
}

const char* VERU_pref_string::ask_string(int level) {
  return value_at<VERU_string_value>(level, VERU_string_value_c);
}

void VERU_pref_string::set_string(const char* value, int level) {
  set_value(VERU_string_value::create(value), level);
}

const char* VERU_pref_string::ask_loaded_string() {
  return loaded<VERU_string_value>(VERU_string_value_c);
}
