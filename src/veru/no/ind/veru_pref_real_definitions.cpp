// VERU_pref_real: a preference whose values are reals.
#include <veru.h>

#include "veru_number_text.h"
#include "veru_pref_typed.h"

#define VERU_SOURCE "src/veru/no/ind/veru_pref_real_definitions"

VERU_pref_real* VERU_pref_real::create(const char* name) {
  return veru_create<VERU_pref_real>(VERU_pref_real_c, name);
}

void VERU_pref_real::init_methods(OM_class_descriptor* table) {
  veru_set_class_operations<VERU_pref_real>(table);
}

void VERU_pref_real::read_dom_node(XERCES_DOM_node* element, int level) {
  const char* text = veru_value_attribute(element, level, VERU_SOURCE);
  store_read_value(create_veru_value(text), element, level, true, VERU_SOURCE, __LINE__);
}

VERU_value* VERU_pref_real::create_veru_value(const char* text) {
  return VERU_real_value::create(veru_parse_real_prefix(text));
}

double VERU_pref_real::ask_real(int level) {
  return value_at<VERU_real_value>(level, VERU_real_value_c);
}

void VERU_pref_real::set_real(double value, int level) {
  set_value(VERU_real_value::create(value), level);
}

bool VERU_pref_real::ask_real_range(double* lower, double* upper, bool* lower_inclusive,
                                    bool* upper_inclusive, bool* has_upper, bool* has_lower) {
  return veru_ask_range<VERU_real_value>(ask_data(), VERU_real_value_c, lower, upper,
                                         lower_inclusive, upper_inclusive, has_upper, has_lower);
}

double VERU_pref_real::ask_loaded_real() {
  return loaded<VERU_real_value>(VERU_real_value_c);
}
