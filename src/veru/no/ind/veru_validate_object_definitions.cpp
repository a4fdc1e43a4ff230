// VERU_validate_object: the abstract base of the validators, and the check of repeated child
// names that the application and category validators share.
#include "veru_sm_string.h"
#include "veru_validate.h"

#define VERU_SOURCE "src/veru/no/ind/veru_validate_object_definitions"

std::vector<OM_object*> veru_set_members(const OM_set* set) {
  std::vector<OM_object*> members;
  OM_for_all_in_set(
      set,
      [](OM_object* member, void* data) {
        static_cast<std::vector<OM_object*>*>(data)->push_back(member);
      },
      &members);
  return members;
}

veru_string_set::~veru_string_set() {
  const std::vector<OM_object*> members = veru_set_members(set_);
  OM_delete_object(set_);
  for (OM_object* member : members) OM_delete_object(member);
}

void VERU_validate_object::init_methods(OM_class_descriptor* /*table*/) {
  slot_dom_node = OM_ask_attribute_slot(VERU_validate_object_c, ATT_dom_node__VERU_VALIDATE5299);
  slot_veru_root = OM_ask_attribute_slot(VERU_validate_object_c, ATT_veru_roo__VERU_VALIDATE2847);
}

void VERU_validate_object::do_validate_dom_node(VERU_validate_result* /*result*/) {
  OM_abstract_operation(this, "do_validate_dom_node",
                        "include/schema/veru_validate_object_definitions", __LINE__);
}

VERU_validate_root* VERU_validate_object::ask_veru_root() const {
  auto* root = slot_object<VERU_validate_root>(slot_veru_root);
  if (MACH__checking_level > 0 && root) {
    OM_check_ptr_class(root, VERU_validate_root_c, VERU_SOURCE, __LINE__);
  }
  return root;
}

const char* VERU_validate_object::current_filename() const {
  const VERU_validate_root* root = ask_veru_root();
  return root ? root->ask_current_filename() : nullptr;
}

void VERU_validate_object::initialise(VERU_validate_object* object, XERCES_DOM_node* dom_node,
                                      VERU_validate_root* root, const char* element_name,
                                      const char* assertion) {
  if (MACH__checking_level != 0 && !(dom_node && veru_is_named(dom_node, element_name))) {
    ERROR_assertion_failed(VERU_SOURCE, __LINE__, "%s", assertion);
  }
  object->set_dom_node(dom_node);
  object->slot(slot_veru_root).o = root;
}

void VERU_validate_object::validate_children_with_unique_names(
    const char* child_element,
    VERU_validate_object* (*create_child)(XERCES_DOM_node* dom_node, VERU_validate_root* root),
    int error_code, VERU_validate_result* result) {
  VERU_validate_root* root = ask_veru_root();
  XERCES_DOM_node* element = ask_dom_node();
  // Each string object is owned by the one set that took it; a third occurrence is deleted.
  veru_string_set seen(this);
  veru_string_set repeated(this);
  for (XERCES_DOM_node* child = pvtbl_kvxml->XERCES_DOM_getFirstChild(element); child;
       child = pvtbl_kvxml->XERCES_DOM_getNextSibling(child)) {
    if (!veru_is_named(child, child_element)) continue;
    veru_om_owned<VERU_validate_object> validator(create_child(child, root));
    const char* name = veru_attribute(child, "name");
    if (veru_has_text(name)) {
      OM_string* string = OM_create_string(name);
      if (OM_insert_into_set(seen.get(), string) && OM_insert_into_set(repeated.get(), string)) {
        OM_delete_object(string);
      }
    }
    validator->do_validate_dom_node(result);
  }
  if (OM_ask_set_count(repeated.get()) == 0) return;
  const char* own_name = veru_attribute(element, "name");
  const char* filename = current_filename();
  for (OM_object* member : veru_set_members(repeated.get())) {
    const veru_sm_string text = veru_owned(SM_sprintf("%s appears multiple times under %s",
                                                      static_cast<OM_string*>(member)->ask_string(),
                                                      own_name ? own_name : ""));
    result->add_result(filename, error_code, text.get());
  }
}
