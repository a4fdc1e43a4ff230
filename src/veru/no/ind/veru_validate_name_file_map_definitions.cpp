// VERU_validate_name_file_map: a name with the files in which it was seen.
#include <cstring>

#include <veru.h>

#include "veru_class.h"

namespace {

// A file without a name is recorded as the empty name.
const char* file_text(const char* filename) {
  return filename ? filename : "";
}

}  // namespace

VERU_validate_name_file_map* VERU_validate_name_file_map::create(const char* name,
                                                                 const char* filename) {
  return veru_create<VERU_validate_name_file_map>(VERU_validate_name_file_map_c, name, filename);
}

void VERU_validate_name_file_map::initialise(VERU_validate_name_file_map* object, const char* name,
                                             const char* filename) {
  OM_store_string(object->slot(slot_node_name), name);
  OM_set_array_length(object, ATT_filename__VERU_VALIDATE4852, 1);
  OM_set_string_elem(object, ATT_filename__VERU_VALIDATE4852, 0, file_text(filename));
}

void VERU_validate_name_file_map::init_methods(OM_class_descriptor* table) {
  veru_set_class_operations<VERU_validate_name_file_map>(table);
  slot_node_name =
      OM_ask_attribute_slot(VERU_validate_name_file_map_c, ATT_node_nam__VERU_VALIDATE7884);
}

void VERU_validate_name_file_map::add_filename(const char* filename) {
  const char* file = file_text(filename);
  const int count = OM_ask_array_length(this, ATT_filename__VERU_VALIDATE4852);
  for (int i = 0; i < count; ++i) {
    const char* listed = OM_ask_string_elem(this, ATT_filename__VERU_VALIDATE4852, i);
    if (listed && std::strcmp(listed, file) == 0) return;
  }
  OM_set_array_length(this, ATT_filename__VERU_VALIDATE4852, count + 1);
  OM_set_string_elem(this, ATT_filename__VERU_VALIDATE4852, count, file);
}

int VERU_validate_name_file_map::ask_filenames(const char*** filenames) const {
  const int count = OM_ask_array_length(this, ATT_filename__VERU_VALIDATE4852);
  auto** list = static_cast<const char**>(SM_alloc((count > 0 ? count : 1) * sizeof(char*)));
  for (int i = 0; i < count; ++i) {
    list[i] = OM_ask_string_elem(this, ATT_filename__VERU_VALIDATE4852, i);
  }
  *filenames = list;
  return count;
}

const char* VERU_validate_name_file_map::ask_node_name() const {
  return slot(slot_node_name).s;
}
