// Pieces shared by the typed preference classes.
#include "veru_pref_typed.h"

const char* veru_value_attribute(XERCES_DOM_node* element, int code, const char* source) {
  const char* text = element ? pvtbl_kvxml->XERCES_DOM_getAttribute(element, "value") : nullptr;
  if (!text) ERROR_raise(source, __LINE__, code, "Missing value");
  return text;
}
