// VERU_validate_root: the driver of a validation run, which walks the applications of each file
// and keeps the application and preference names seen across all files.
#include <cstring>
#include <string>

#include "veru_validate.h"

#define VERU_SOURCE "src/veru/no/ind/veru_validate_root_definitions"

namespace {

constexpr int NAME_SET_CAPACITY = 16;

void check_map(const OM_object* map) {
  if (MACH__checking_level > 0) {
    OM_check_ptr_class(map, VERU_validate_name_file_map_c, VERU_SOURCE, __LINE__);
  }
}

}  // namespace

void VERU_validate_root::init_methods(OM_class_descriptor* table) {
  OM_set_constructor<VERU_validate_root>(table);
  OM_init_cascading_method(table, &VERU_validate_root::delete_name_sets);
  slot_current_filename =
      OM_ask_attribute_slot(VERU_validate_root_c, ATT_current___VERU_VALIDATE4665);
  slot_pref_name_set = OM_ask_attribute_slot(VERU_validate_root_c, ATT_pref_nam__VERU_VALIDATE7310);
  slot_dup_pref_name_set =
      OM_ask_attribute_slot(VERU_validate_root_c, ATT_dup_pref___VERU_VALIDATE262);
  slot_app_name_set = OM_ask_attribute_slot(VERU_validate_root_c, ATT_app_name__VERU_VALIDATE9436);
  slot_dup_app_name_set =
      OM_ask_attribute_slot(VERU_validate_root_c, ATT_dup_app___VERU_VALIDATE2548);
}

// Each set is deleted before its members: the name-file maps of the name sets and the strings
// of the duplicate sets.
void VERU_validate_root::delete_name_sets(OM_object* object) {
  for (int index :
       {slot_pref_name_set, slot_dup_pref_name_set, slot_app_name_set, slot_dup_app_name_set}) {
    const OM_set* set = object->slot_object<OM_set>(index);
    if (!set) continue;
    const std::vector<OM_object*> members = veru_set_members(set);
    OM_delete_slot_object(object->slot(index));
    for (OM_object* member : members) OM_delete_object(member);
  }
}

void VERU_validate_root::do_validate_dom_node(VERU_validate_result* result) {
  for (XERCES_DOM_node* child = pvtbl_kvxml->XERCES_DOM_getFirstChild(ask_dom_node()); child;
       child = pvtbl_kvxml->XERCES_DOM_getNextSibling(child)) {
    if (!veru_is_named(child, VERU_APPLICATION)) continue;
    veru_om_owned<VERU_validate_application> validator(
        VERU_validate_application::create(child, this));
    add_application_name(veru_attribute(child, "name"));
    validator->do_validate_dom_node(result);
  }
}

void VERU_validate_root::set_dom_node_and_filename(XERCES_DOM_node* node, const char* filename) {
  set_dom_node(node);
  OM_store_string(slot(slot_current_filename), filename);
}

void VERU_validate_root::add_application_name(const char* name) {
  add_name(slot_app_name_set, slot_dup_app_name_set, name, true);
}

void VERU_validate_root::add_pref_name(const char* name) {
  add_name(slot_pref_name_set, slot_dup_pref_name_set, name, false);
}

void VERU_validate_root::add_name(int set_slot, int duplicates_slot, const char* name,
                                  bool is_application) {
  if (!veru_has_text(name)) return;
  const char* filename = ask_current_filename() ? ask_current_filename() : "";
  auto* set = slot_object<VERU_validate_name_set>(set_slot);
  bool seen_before = false;
  if (!set) {
    set = VERU_validate_name_set::create(this, NAME_SET_CAPACITY);
    slot(set_slot).o = set;
  } else if (auto* map = static_cast<VERU_validate_name_file_map*>(set->lookup(name))) {
    check_map(map);
    map->add_filename(filename);
    seen_before = true;
  }
  if (!seen_before) {
    veru_om_owned<VERU_validate_name_file_map> map(
        VERU_validate_name_file_map::create(name, filename));
    set->insert(map.get());
    map.release();
    return;
  }
  // The extras file (or a language variant of it, as start-up reads it) adds categories to
  // applications that the other files declare.
  if (is_application && std::strstr(filename, "kv_extras")) return;
  auto* duplicates = slot_object<OM_set>(duplicates_slot);
  if (!duplicates) {
    duplicates = OM_create_string_set(this, 0);
    slot(duplicates_slot).o = duplicates;
  }
  OM_string* string = OM_create_string(name);
  if (OM_insert_into_set(duplicates, string)) OM_delete_object(string);
}

void VERU_validate_root::report_duplicate_names(VERU_validate_result* result) {
  report_duplicates(slot_app_name_set, slot_dup_app_name_set, VERU_ERROR_DUPLICATE_APPLICATION_NAME,
                    result);
  report_duplicates(slot_pref_name_set, slot_dup_pref_name_set, VERU_ERROR_DUPLICATE_PREF_NAME,
                    result);
}

void VERU_validate_root::report_duplicates(int set_slot, int duplicates_slot, int error_code,
                                           VERU_validate_result* result) {
  const auto* duplicates = slot_object<const OM_set>(duplicates_slot);
  const auto* set = slot_object<const OM_set>(set_slot);
  if (!duplicates || !set) return;
  for (OM_object* member : veru_set_members(duplicates)) {
    const char* name = static_cast<OM_string*>(member)->ask_string();
    const auto* map = static_cast<const VERU_validate_name_file_map*>(set->lookup(name));
    if (!map) continue;
    check_map(map);
    const char** filenames = nullptr;
    const int count = map->ask_filenames(&filenames);
    std::string text = std::string(name) + " appears in";
    for (int i = 0; i < count; ++i) text.append(" ").append(filenames[i]);
    const std::string first = count > 0 ? filenames[0] : "";
    SM_free(filenames);
    result->add_result(first.c_str(), error_code, text.c_str());
  }
}

const char* VERU_validate_root::ask_current_filename() const {
  return slot(slot_current_filename).s;
}
