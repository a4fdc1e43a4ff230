// VERU_pref_list: a string preference shown flattened, the base of string lists.
#include <veru.h>

#include "veru_pref_typed.h"

#define VERU_SOURCE "src/veru/no/ind/veru_pref_list_definitions"

VERU_pref_list* VERU_pref_list::create(const char* name) {
  return veru_create<VERU_pref_list>(VERU_pref_list_c, name);
}

void VERU_pref_list::init_methods(OM_class_descriptor* table) {
  veru_set_class_operations<VERU_pref_list>(table);
}

char* VERU_pref_list::ask_display_value(int level) {
  ask_recorded_value(level);  // refuses a level outside 0 to 3
  char* copy = SM_string_copy(ask_string(level));
  char* flattened = VERU__remove_quotes_and_backslash(copy);
  SM_free(copy);
  return flattened ? flattened : SM_string_copy("");
}

// Lists are not checked against a constraint.
void VERU_pref_list::read_dom_node(XERCES_DOM_node* element, int level) {
  const char* text = veru_value_attribute(element, level, VERU_SOURCE);
  store_read_value(create_veru_value(text), element, level, false, VERU_SOURCE, __LINE__);
}

VERU_value* VERU_pref_list::create_veru_value(const char* text) {
  return VERU_string_value::create(text);
}

const char* VERU_pref_list::ask_string(int level) {
  return value_at<VERU_string_value>(level, VERU_string_value_c);
}

void VERU_pref_list::set_string(const char* value, int level) {
  set_value(VERU_string_value::create(value), level);
}

const char* VERU_pref_list::ask_loaded_string() {
  return loaded<VERU_string_value>(VERU_string_value_c);
}
