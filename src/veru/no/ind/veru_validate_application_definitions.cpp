// VERU_validate_application: validates an "Application" element: its categories, and category
// names that repeat in it.
#include "veru_class.h"
#include "veru_validate.h"

VERU_validate_application* VERU_validate_application::create(XERCES_DOM_node* dom_node,
                                                             VERU_validate_root* root) {
  return veru_create<VERU_validate_application>(VERU_validate_application_c, dom_node, root);
}

void VERU_validate_application::initialise(VERU_validate_application* object,
                                           XERCES_DOM_node* dom_node, VERU_validate_root* root) {
  VERU_validate_object::initialise(
      object, dom_node, root, VERU_APPLICATION,
      "strcmp(XERCES_DOM_getNodeName((XERCES_DOM_node *)dom_node), VERU_APPLICATION) == 0");
}

void VERU_validate_application::init_methods(OM_class_descriptor* table) {
  veru_set_class_operations<VERU_validate_application>(table);
}

void VERU_validate_application::do_validate_dom_node(VERU_validate_result* result) {
  validate_children_with_unique_names(
      VERU_CATEGORY,
      [](XERCES_DOM_node* child, VERU_validate_root* root) -> VERU_validate_object* {
        return VERU_validate_category::create(child, root);
      },
      VERU_ERROR_DUPLICATE_CATEGORY_NAME, result);
}
