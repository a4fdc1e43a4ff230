// VERU_pref_string_list: a list of strings kept as one encoded string value.
#include <veru.h>

#include "veru_pref_typed.h"

VERU_pref_string_list* VERU_pref_string_list::create(const char* name) {
  return veru_create<VERU_pref_string_list>(VERU_pref_string_list_c, name);
}

void VERU_pref_string_list::init_methods(OM_class_descriptor* table) {
  veru_set_class_operations<VERU_pref_string_list>(table);
}

int VERU_pref_string_list::ask_string_list(char*** list, int level) {
  return VERU_string_breakup_lines_separated_by_slash(ask_string(level), list);
}

// An empty list is stored as the empty string, which reads back as a list of no items.
void VERU_pref_string_list::set_string_list(int count, const char* const* items, int level) {
  char* encoded = VERU_encode_string_list(count, items);
  set_value(VERU_string_value::create(encoded ? encoded : ""), level);
  SM_free(encoded);
}

int VERU_pref_string_list::ask_loaded_string_list(char*** list) {
  return VERU_string_breakup_lines_separated_by_slash(ask_loaded_string(), list);
}
