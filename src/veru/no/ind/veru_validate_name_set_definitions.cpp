// VERU_validate_name_set: a hash set of name-file maps keyed by their names.
#include <cstring>

#include <veru.h>

namespace {

const char* name_of(const OM_object* map) {
  const char* name = static_cast<const VERU_validate_name_file_map*>(map)->ask_node_name();
  return name ? name : "";
}

const char* key_text(const void* name) {
  return name ? static_cast<const char*>(name) : "";
}

}  // namespace

VERU_validate_name_set* VERU_validate_name_set::create(OM_object* /*owner*/, int capacity) {
  auto* set = static_cast<VERU_validate_name_set*>(OM_create_object(VERU_validate_name_set_c));
  set->set_functions(OM_set_functions{key_compare, element_compare, key_hash, element_hash},
                     capacity > 0 ? static_cast<std::size_t>(capacity) : 0);
  return set;
}

void VERU_validate_name_set::init_methods(OM_class_descriptor* table) {
  OM_set_constructor<VERU_validate_name_set>(table);
  table->create = reinterpret_cast<OM_generic_fn>(&VERU_validate_name_set::create);
}

int VERU_validate_name_set::key_compare(const void* name, const OM_object* map) {
  return std::strcmp(key_text(name), name_of(map)) == 0 ? 0 : 1;
}

int VERU_validate_name_set::element_compare(const OM_object* a, const OM_object* b) {
  return std::strcmp(name_of(a), name_of(b)) == 0 ? 0 : 1;
}

unsigned VERU_validate_name_set::key_hash(const void* name) {
  return OM_hash_string(key_text(name));
}

unsigned VERU_validate_name_set::element_hash(const OM_object* map) {
  return OM_hash_string(name_of(map));
}
