// VERU_module_root: owner of the preference set and of the definition tree.
#include <veru.h>

#include "veru_module.h"
#include "veru_pref_names.h"
#include "veru_query_table.h"
#include "veru_xml.h"

#include <cstring>

namespace {

constexpr int PREF_SET_CAPACITY = 4096;

// The duplicate names of the definition file being read, while a veru_duplicate_name_lines
// counts them; -1 when none does.
int duplicate_names = -1;

int compare_names(const char* a, const char* b) {
  const int order = std::strcmp(a ? a : "", b ? b : "");  // bytes compared as unsigned char
  return (order > 0) - (order < 0);
}

const char* name_of(const OM_object* pref) {
  return static_cast<const VERU_pref*>(pref)->name();
}

int key_compare(const void* name, const OM_object* pref) {
  return compare_names(static_cast<const char*>(name), name_of(pref));
}

int element_compare(const OM_object* a, const OM_object* b) {
  return compare_names(name_of(a), name_of(b));
}

unsigned key_hash(const void* name) {
  return OM_hash_string(static_cast<const char*>(name));
}

unsigned element_hash(const OM_object* pref) {
  return OM_hash_string(name_of(pref));
}

}  // namespace

void VERU_module_root::init_methods(OM_class_descriptor* table) {
  OM_set_constructor<VERU_module_root>(table);
  slot_pref_set = OM_ask_attribute_slot(VERU_module_root_c, ATT_pref_set__VERU2866);
  slot_tree_root = OM_ask_attribute_slot(VERU_module_root_c, ATT_tree_root__VERU2883);
}

// The set hashes and compares the names in the preferences' name slot itself, as the four
// functions do, so that a query calls none of them.
OM_set* VERU_module_root::create_pref_set(OM_object* owner) {
  OM_set* set = OM_create_2hash_set(owner, key_compare, element_compare, key_hash, element_hash,
                                    PREF_SET_CAPACITY);
  static_cast<OM_hash_set*>(set)->key_by_string_slot(
      OM_ask_attribute_slot(VERU_pref_c, ATT_name__VERU8887));
  return set;
}

void VERU_module_root::set_tree_root(VERU_group* group) {
  slot(slot_tree_root).o = group;
}

VERU_group* VERU_module_root::ask_tree_root() const {
  return slot_object<VERU_group>(slot_tree_root);
}

// A preference added after start-up joins the query table too.
void VERU_module_root::add_pref(VERU_pref* pref) {
  veru_on_host_thread();
  if (!OM_insert_into_set(ask_pref_set(), pref)) {
    veru_note_defined_pref(pref);
    veru_add_to_query_table(pref);
  } else if (duplicate_names < 0 || ++duplicate_names <= VERU_MAX_ENTRY_LINES) {
    ERROR_lprintf("VERU: duplicate preference %s\n", veru_quoted(pref->ask_name()).c_str());
  }
}

veru_duplicate_name_lines::veru_duplicate_name_lines(const char* path) : path_(path) {
  duplicate_names = 0;
}

veru_duplicate_name_lines::~veru_duplicate_name_lines() {
  if (duplicate_names > VERU_MAX_ENTRY_LINES) {
    ERROR_lprintf("VERU: %d more duplicate preferences in %s\n",
                  duplicate_names - VERU_MAX_ENTRY_LINES, path_);
  }
  duplicate_names = -1;
}

OM_set* VERU_module_root::ask_pref_set() const {
  return slot_object<OM_set>(slot_pref_set);
}

void VERU_module_root::set_pref_set(OM_set* set) {
  slot(slot_pref_set).o = set;
}

VERU_pref* VERU_module_root::find_pref(const char* name) const {
  const OM_set* set = slot_object<OM_set>(slot_pref_set);
  if (!set || !name) return nullptr;
  static const int hash_set_class = OM_hash_set_class();
  if (set->class_id() == hash_set_class) {
    return static_cast<VERU_pref*>(static_cast<const OM_hash_set*>(set)->OM_hash_set::lookup(name));
  }
  return static_cast<VERU_pref*>(set->lookup(name));
}
