// Pieces shared by the typed preference classes.
#include "veru_pref_typed.h"

#include "veru_entry_attributes.h"

int veru_missing_value_code(int level) {
  return level == 0 ? VERU_ERROR_DEFINITION_FILE_LOAD : VERU_ERROR_VALUE_FILE_LOAD;
}

const char* veru_value_attribute(XERCES_DOM_node* element, int level, const char* source) {
  const char* text = veru_entry_value(element);
  if (!text) ERROR_raise(source, __LINE__, veru_missing_value_code(level), "Missing value");
  return text;
}
