// Module start, the query interface by name, and the host's hooks.
#include <veru.h>

#include "veru_module.h"
#include "veru_xml.h"

#define VERU_SOURCE "src/veru/no/ind/veru"

namespace {

VERU_module_root* module_root = nullptr;
REG_VERU_data_s hooks{};
bool hooks_registered = false;

const char* shown(const char* name) {
  return name ? name : "(null)";
}

VERU_pref* find_or_raise(const char* name) {
  VERU_pref* pref = module_root ? module_root->find_pref(name) : nullptr;
  if (!pref) {
    ERROR_raise(VERU_SOURCE, __LINE__, VERU_ERROR_UNKNOWN_PREF,
                "VERU: preference %s is not found in database", shown(name));
  }
  return pref;
}

// The named preference as class Pref, which must be its exact class.
template <class Pref>
Pref* typed_or_raise(const char* name, const int& pref_class, const char* type) {
  VERU_pref* pref = find_or_raise(name);
  if (pref->class_id() != pref_class) {
    ERROR_raise(VERU_SOURCE, __LINE__, VERU_ERROR_TYPE_MISMATCH,
                "VERU: preference %s is not of type %s", name, type);
  }
  return static_cast<Pref*>(pref);
}

}  // namespace

void VERU_init_module() {
  VERU_init_schema();
  if (!module_root) {
    module_root = static_cast<VERU_module_root*>(OM_create_object(VERU_module_root_c));
    OM_create_root_object(module_root, TAG_create_file(0, "VERU_module_root"));
    module_root->set_pref_set(VERU_module_root::create_pref_set(module_root));
    VERU_init_errors();
    RDEBUG_register_token("veru");
    veru_load_definitions();
    veru_init_levels();
    veru_load_values(true);
    OM_register_ask_logical_customer_default_fn(VERU_ask_logical);
  }
  if (hooks_registered && hooks.init_done_hook) hooks.init_done_hook();
}

void REG_VERU_register(const REG_VERU_data_s* data) {
  if (hooks_registered || !data) return;
  hooks = *data;
  hooks_registered = true;
}

VERU_module_root_s* VERU__ask_module_root() {
  return module_root;
}

bool VERU_is_enabled() {
  return true;
}

VERU_pref_s* VERU_lookup_pref(const char* name) {
  return module_root ? module_root->find_pref(name) : nullptr;
}

bool VERU_is_known_default(const char* name) {
  return VERU_lookup_pref(name) != nullptr;
}

int VERU_ask_int(const char* name) {
  return typed_or_raise<VERU_pref_int>(name, VERU_pref_int_c, "int")
      ->VERU_pref_int::ask_loaded_int();
}

bool VERU_ask_logical(const char* name) {
  return typed_or_raise<VERU_pref_logical>(name, VERU_pref_logical_c, "logical")
      ->VERU_pref_logical::ask_loaded_logical();
}

double VERU_ask_real(const char* name) {
  return typed_or_raise<VERU_pref_real>(name, VERU_pref_real_c, "real")
      ->VERU_pref_real::ask_loaded_real();
}

char* VERU_ask_string(const char* name) {
  VERU_pref* pref = find_or_raise(name);
  if (pref->class_id() == VERU_pref_string_c) {  // the common case, without walking the classes
    return SM_string_copy(
        static_cast<VERU_pref_string*>(pref)->VERU_pref_string::ask_loaded_string());
  }
  if (OM_is_subclass(pref->class_id(), VERU_pref_list_c)) {
    char* copy = SM_string_copy(static_cast<VERU_pref_list*>(pref)->ask_loaded_string());
    char* flattened = VERU__remove_quotes_and_backslash(copy);
    SM_free(copy);
    return flattened;
  }
  if (OM_is_subclass(pref->class_id(), VERU_pref_string_c)) {
    return SM_string_copy(static_cast<VERU_pref_string*>(pref)->ask_loaded_string());
  }
  ERROR_raise(VERU_SOURCE, __LINE__, VERU_ERROR_TYPE_MISMATCH,
              "VERU: preference %s is not of type string or string_list", name);
}

int VERU_ask_string_list(const char* name, char*** list) {
  return typed_or_raise<VERU_pref_string_list>(name, VERU_pref_string_list_c, "string_list")
      ->ask_loaded_string_list(list);
}

void VERU_add_visibility_cb(const char* name, bool (*callback)(void)) {
  if (VERU_pref* pref = VERU_lookup_pref(name)) pref->set_visibility_fn(callback);
}

OM_object* veru_call_create_object_hook(OM_object* owner, XERCES_DOM_node* element) {
  if (!hooks_registered || !hooks.create_object_hook) return nullptr;
  return hooks.create_object_hook(owner, element);
}

bool veru_has_create_object_hook() {
  return hooks_registered && hooks.create_object_hook;
}

void veru_call_level_report_hook(int level, int flag) {
  if (hooks_registered && hooks.level_report_hook) hooks.level_report_hook(level, flag);
}
