// VERU_validate_pref: validates a "Pref" element: its name is recorded with the root, its title
// is checked, and its widget is checked against its type and constraint.
#include <cstring>

#include "veru_class.h"
#include "veru_validate.h"
#include "veru_widgets.h"

namespace {

bool is_widget(XERCES_DOM_node* node) {
  return pvtbl_kvxml->XERCES_DOM_getNodeType(node) == XERCES_DOM_ELEMENT_NODE &&
         veru_widget_of(pvtbl_kvxml->XERCES_DOM_getNodeName(node)) != VERU_WIDGET_NONE;
}

}  // namespace

VERU_validate_pref* VERU_validate_pref::create(XERCES_DOM_node* dom_node,
                                               VERU_validate_root* root) {
  return veru_create<VERU_validate_pref>(VERU_validate_pref_c, dom_node, root);
}

void VERU_validate_pref::initialise(VERU_validate_pref* object, XERCES_DOM_node* dom_node,
                                    VERU_validate_root* root) {
  VERU_validate_object::initialise(
      object, dom_node, root, VERU_PREF,
      "strcmp(XERCES_DOM_getNodeName((XERCES_DOM_node *)dom_node), VERU_PREF) == 0");
}

void VERU_validate_pref::init_methods(OM_class_descriptor* table) {
  veru_set_class_operations<VERU_validate_pref>(table);
}

void VERU_validate_pref::do_validate_dom_node(VERU_validate_result* result) {
  XERCES_DOM_node* element = ask_dom_node();
  const char* name = veru_attribute(element, "name");
  const char* filename = current_filename();
  const char* title = veru_attribute(element, "title");
  if (VERU_validate_root* root = ask_veru_root()) root->add_pref_name(name);
  const char* text = name ? name : "";

  if (!veru_has_text(title)) {
    result->add_result(filename, VERU_ERROR_MISSING_TITLE, text);
  } else if (name && std::strcmp(title, name) == 0) {
    result->add_result(filename, VERU_ERROR_TITLE_IS_NAME, text);
  }

  // The last widget element and the last Data element are the ones that count.
  XERCES_DOM_node* widget = nullptr;
  XERCES_DOM_node* data = nullptr;
  for (XERCES_DOM_node* child = pvtbl_kvxml->XERCES_DOM_getFirstChild(element); child;
       child = pvtbl_kvxml->XERCES_DOM_getNextSibling(child)) {
    if (is_widget(child)) {
      widget = child;
    } else if (veru_is_named(child, "Data")) {
      data = child;
    }
  }
  if (!widget) return;
  const int code = validate_widget(widget, data, veru_attribute(element, "type"));
  if (code != 0) result->add_result(filename, code, text);
}

int VERU_validate_pref::validate_widget(XERCES_DOM_node* widget, XERCES_DOM_node* data,
                                        const char* pref_type) {
  return veru_check_widget(widget, data, pref_type);
}
