// VERU_validate_category: validates a "Category" element: its tabs, and tab names that repeat
// in it.
#include "veru_class.h"
#include "veru_validate.h"

VERU_validate_category* VERU_validate_category::create(XERCES_DOM_node* dom_node,
                                                       VERU_validate_root* root) {
  return veru_create<VERU_validate_category>(VERU_validate_category_c, dom_node, root);
}

void VERU_validate_category::initialise(VERU_validate_category* object, XERCES_DOM_node* dom_node,
                                        VERU_validate_root* root) {
  VERU_validate_object::initialise(
      object, dom_node, root, VERU_CATEGORY,
      "strcmp(XERCES_DOM_getNodeName((XERCES_DOM_node *)dom_node), VERU_CATEGORY) == 0");
}

void VERU_validate_category::init_methods(OM_class_descriptor* table) {
  veru_set_class_operations<VERU_validate_category>(table);
}

void VERU_validate_category::do_validate_dom_node(VERU_validate_result* result) {
  validate_children_with_unique_names(
      VERU_TAB,
      [](XERCES_DOM_node* child, VERU_validate_root* root) -> VERU_validate_object* {
        return VERU_validate_tab::create(child, root);
      },
      VERU_ERROR_DUPLICATE_TAB_NAME, result);
}
