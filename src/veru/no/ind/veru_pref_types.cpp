// The table of the library's preference types.
#include "veru_pref_types.h"

#include <cstring>

namespace {

template <typename Pref>
VERU_pref* create(const char* name) {
  return Pref::create(name);
}

const veru_pref_type_s TYPES[] = {
    {"int", &VERU_pref_int_c, create<VERU_pref_int>, VERU_ERROR_NOT_INT, true},
    {"real", &VERU_pref_real_c, create<VERU_pref_real>, VERU_ERROR_NOT_REAL, true},
    {"logical", &VERU_pref_logical_c, create<VERU_pref_logical>, VERU_ERROR_NOT_LOGICAL, false},
    {"string", &VERU_pref_string_c, create<VERU_pref_string>, VERU_ERROR_NOT_STRING, true},
    {"string_list", &VERU_pref_string_list_c, create<VERU_pref_string_list>, VERU_ERROR_NOT_STRING,
     false},
    {nullptr, &VERU_pref_list_c, create<VERU_pref_list>, VERU_ERROR_NOT_STRING, false},
};

}  // namespace

const veru_pref_type_s* veru_pref_type_of(int class_id) {
  for (const veru_pref_type_s& type : TYPES) {
    if (*type.class_id == class_id) return &type;
  }
  return nullptr;
}

const veru_pref_type_s* veru_pref_type_named(const char* name) {
  for (const veru_pref_type_s& type : TYPES) {
    if (name && type.name && std::strcmp(type.name, name) == 0) return &type;
  }
  return nullptr;
}
