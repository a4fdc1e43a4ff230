// VERU_pref_logical: a preference whose values are true or false.
#include <veru.h>

#include "veru_entry_attributes.h"
#include "veru_pref_typed.h"

#define VERU_SOURCE "src/veru/no/ind/veru_pref_logical_definitions"

VERU_pref_logical* VERU_pref_logical::create(const char* name) {
  return veru_create<VERU_pref_logical>(VERU_pref_logical_c, name);
}

void VERU_pref_logical::init_methods(OM_class_descriptor* table) {
  veru_set_class_operations<VERU_pref_logical>(table);
}

// A value file must say true or false, in any letter case; the constraint is not consulted.
void VERU_pref_logical::read_dom_node(XERCES_DOM_node* element, int level) {
  const char* text = veru_entry_value(element);
  const bool is_true = STR_compare_i(text, "true") == 0;
  if (!text || (!is_true && STR_compare_i(text, "false") != 0)) {
    ERROR_raise(VERU_SOURCE, __LINE__, VERU_ERROR_NOT_LOGICAL, "Invalid logical value");
  }
  store_read_value(VERU_logical_value::create(is_true), element, level, false, VERU_SOURCE,
                   __LINE__);
}

VERU_value* VERU_pref_logical::create_veru_value(const char* text) {
  return VERU_logical_value::create(text && STR_compare_i(text, "true") == 0);
}

bool VERU_pref_logical::ask_logical(int level) {
  return value_at<VERU_logical_value>(level, VERU_logical_value_c);
}

void VERU_pref_logical::set_logical(bool value, int level) {
  set_value(VERU_logical_value::create(value), level);
}

bool VERU_pref_logical::ask_loaded_logical() {
  return loaded<VERU_logical_value>(VERU_logical_value_c);
}
