// VERU_pref_interface: the per-level operations of a preference, which do nothing here.
#include <veru.h>

void VERU_pref_interface::initialise(VERU_pref_interface* object) {
  OM_tagged_object::initialise(object, VERU__ask_module_root());
}

void VERU_pref_interface::init_methods(OM_class_descriptor* table) {
  table->initialise = reinterpret_cast<OM_generic_fn>(&VERU_pref_interface::initialise);
}

char* VERU_pref_interface::ask_display_value(int) {
  return nullptr;
}
void VERU_pref_interface::set_locked(bool, int) {}
bool VERU_pref_interface::is_locked(int) {
  return false;
}
bool VERU_pref_interface::is_lockable(int) {
  return false;
}
bool VERU_pref_interface::is_locked_at(int) {
  return false;
}
TEXT_s* VERU_pref_interface::ask_comment(int) {
  return nullptr;
}
void VERU_pref_interface::set_comment(const TEXT_s*, int) {}
VERU_value* VERU_pref_interface::ask_value(int) {
  return nullptr;
}
void VERU_pref_interface::set_value(VERU_value*, int) {}
bool VERU_pref_interface::has_value(int) {
  return false;
}
int VERU_pref_interface::ask_modification_date(int) {
  return 0;
}
void VERU_pref_interface::remove_value(int) {}
void VERU_pref_interface::clear_locked(int) {}
XERCES_DOM_node* VERU_pref_interface::create_dom_node(XERCES_DOM_ctx*, int) {
  return nullptr;
}
