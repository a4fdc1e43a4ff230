// Pieces shared by the typed preference classes.
#include "veru_pref_typed.h"

#include "veru_entry_attributes.h"

const char* veru_value_attribute(XERCES_DOM_node* element, int code, const char* source) {
  const char* text = veru_entry_value(element);
  if (!text) ERROR_raise(source, __LINE__, code, "Missing value");
  return text;
}
