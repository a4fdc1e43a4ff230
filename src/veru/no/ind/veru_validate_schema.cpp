// The "VERU_VALIDATE" schema: the classes and attributes with which host tools validate
// definition files, their fixed object ids, and the operation tables of the classes.
#include <veru.h>

#include <cstring>

int VERU_validate_result_c;
int VERU_validate_object_c;
int VERU_validate_root_c;
int VERU_validate_application_c;
int VERU_validate_category_c;
int VERU_validate_tab_c;
int VERU_validate_pref_c;
int VERU_validate_name_set_c;
int VERU_validate_name_file_map_c;

int ATT_node_nam__VERU_VALIDATE7884;
int ATT_filename__VERU_VALIDATE4852;
int ATT_current___VERU_VALIDATE4665;
int ATT_pref_nam__VERU_VALIDATE7310;
int ATT_dup_pref___VERU_VALIDATE262;
int ATT_app_name__VERU_VALIDATE9436;
int ATT_dup_app___VERU_VALIDATE2548;
int ATT_dom_node__VERU_VALIDATE5299;
int ATT_veru_roo__VERU_VALIDATE2847;
int ATT_error_co__VERU_VALIDATE3900;
int ATT_filename__VERU_VALIDATE2067;
int ATT_error_te__VERU_VALIDATE1776;

int ATT_isa__VERU_VALIDATE9747;
int ATT_om_flags__VERU_VALIDATE8474;
int ATT_om_metho__VERU_VALIDATE6512;
int ATT_root_obj__VERU_VALIDATE9040;
int ATT_save_lab__VERU_VALIDATE4042;
int ATT_tag__VERU_VALIDATE7286;
int ATT_size__VERU_VALIDATE3485;
int ATT_table_ob__VERU_VALIDATE9044;
int ATT_count__VERU_VALIDATE5851;
int ATT_space__VERU_VALIDATE3698;

namespace {

const char* const SCHEMA_NAME = "VERU_VALIDATE";
constexpr unsigned FIXED_ID_BASE = 0x80000000u;

// The class table, in the order of the fixed ids.
struct ClassRow {
  int* id;
  const char* name;
  const char* base;
  bool is_abstract;
  unsigned fixed_id;
  void (*init_methods)(OM_class_descriptor* table);
};

const ClassRow CLASS_TABLE[] = {
    {&VERU_validate_result_c, "VERU_validate_result", "OM_methodic_object", false, 0,
     VERU_validate_result::init_methods},
    {&VERU_validate_object_c, "VERU_validate_object", "OM_methodic_object", true, 1,
     VERU_validate_object::init_methods},
    {&VERU_validate_root_c, "VERU_validate_root", "VERU_validate_object", false, 2,
     VERU_validate_root::init_methods},
    {&VERU_validate_application_c, "VERU_validate_application", "VERU_validate_object", false, 3,
     VERU_validate_application::init_methods},
    {&VERU_validate_category_c, "VERU_validate_category", "VERU_validate_object", false, 4,
     VERU_validate_category::init_methods},
    {&VERU_validate_tab_c, "VERU_validate_tab", "VERU_validate_object", false, 5,
     VERU_validate_tab::init_methods},
    {&VERU_validate_pref_c, "VERU_validate_pref", "VERU_validate_object", false, 6,
     VERU_validate_pref::init_methods},
    {&VERU_validate_name_set_c, "VERU_validate_name_set", "OM_hash_set", false, 7,
     VERU_validate_name_set::init_methods},
    {&VERU_validate_name_file_map_c, "VERU_validate_name_file_map", "OM_methodic_object", false, 8,
     VERU_validate_name_file_map::init_methods},
};

// Order in which the classes are created: every base before its subclasses.
const char* const CREATION_ORDER[] = {
    "VERU_validate_name_file_map", "VERU_validate_name_set", "VERU_validate_object",
    "VERU_validate_pref",          "VERU_validate_tab",      "VERU_validate_category",
    "VERU_validate_application",   "VERU_validate_root",     "VERU_validate_result",
};

// Order in which the operation tables are built.
const char* const METHODS_ORDER[] = {
    "VERU_validate_result",      "VERU_validate_object",   "VERU_validate_root",
    "VERU_validate_application", "VERU_validate_category", "VERU_validate_tab",
    "VERU_validate_pref",        "VERU_validate_name_set", "VERU_validate_name_file_map",
};

enum class Kind { integer, string, pointer, reference };

// The attribute table, in its order; every attribute is declared with flags 1 and every array
// is of variable length.
struct AttributeRow {
  int* class_id;
  const char* name;
  Kind kind;
  bool is_array;
  const char* ref_class;
  unsigned fixed_id;
  int* id;
};

const AttributeRow ATTRIBUTE_TABLE[] = {
    {&VERU_validate_result_c, "error_code", Kind::integer, true, nullptr, 9,
     &ATT_error_co__VERU_VALIDATE3900},
    {&VERU_validate_result_c, "filename", Kind::string, true, nullptr, 10,
     &ATT_filename__VERU_VALIDATE2067},
    {&VERU_validate_result_c, "error_text", Kind::string, true, nullptr, 11,
     &ATT_error_te__VERU_VALIDATE1776},
    {&VERU_validate_object_c, "dom_node", Kind::pointer, false, nullptr, 12,
     &ATT_dom_node__VERU_VALIDATE5299},
    {&VERU_validate_object_c, "veru_root", Kind::reference, false, "VERU_validate_root", 13,
     &ATT_veru_roo__VERU_VALIDATE2847},
    {&VERU_validate_root_c, "current_filename", Kind::string, false, nullptr, 14,
     &ATT_current___VERU_VALIDATE4665},
    {&VERU_validate_root_c, "pref_name_set", Kind::reference, false, "VERU_validate_name_set", 15,
     &ATT_pref_nam__VERU_VALIDATE7310},
    {&VERU_validate_root_c, "dup_pref_name_set", Kind::reference, false, "OM_set", 16,
     &ATT_dup_pref___VERU_VALIDATE262},
    {&VERU_validate_root_c, "app_name_set", Kind::reference, false, "VERU_validate_name_set", 17,
     &ATT_app_name__VERU_VALIDATE9436},
    {&VERU_validate_root_c, "dup_app_name_set", Kind::reference, false, "OM_set", 18,
     &ATT_dup_app___VERU_VALIDATE2548},
    {&VERU_validate_name_file_map_c, "node_name", Kind::string, false, nullptr, 19,
     &ATT_node_nam__VERU_VALIDATE7884},
    {&VERU_validate_name_file_map_c, "filenames", Kind::string, true, nullptr, 20,
     &ATT_filename__VERU_VALIDATE4852},
};

// Order in which the attributes are created.
const char* const ATTRIBUTE_CREATION_ORDER[] = {
    "node_name",         "filenames",    "current_filename", "pref_name_set",
    "dup_pref_name_set", "app_name_set", "dup_app_name_set", "dom_node",
    "veru_root",         "error_code",   "filename",         "error_text",
};

struct HostAttributeRow {
  const char* name;
  int* id;
};

const HostAttributeRow HOST_ATTRIBUTES[] = {
    {"isa", &ATT_isa__VERU_VALIDATE9747},
    {"om_flags", &ATT_om_flags__VERU_VALIDATE8474},
    {"om_method_descriptor", &ATT_om_metho__VERU_VALIDATE6512},
    {"root_object", &ATT_root_obj__VERU_VALIDATE9040},
    {"save_label", &ATT_save_lab__VERU_VALIDATE4042},
    {"tag", &ATT_tag__VERU_VALIDATE7286},
    {"size", &ATT_size__VERU_VALIDATE3485},
    {"table_object", &ATT_table_ob__VERU_VALIDATE9044},
    {"count", &ATT_count__VERU_VALIDATE5851},
    {"space", &ATT_space__VERU_VALIDATE3698},
};

const ClassRow& class_row_of(const char* name) {
  for (const ClassRow& row : CLASS_TABLE) {
    if (std::strcmp(row.name, name) == 0) return row;
  }
  ERROR_internal(__FILE__, __LINE__, "class %s is not in the VERU_VALIDATE class table", name);
}

const AttributeRow& attribute_row_of(const char* name) {
  for (const AttributeRow& row : ATTRIBUTE_TABLE) {
    if (std::strcmp(row.name, name) == 0) return row;
  }
  ERROR_internal(__FILE__, __LINE__, "attribute %s is not in the VERU_VALIDATE attribute table",
                 name);
}

int create_attribute(const AttributeRow& row) {
  static const int TYPES[] = {OM_TYPE_INT, OM_TYPE_CHARACTER, OM_TYPE_POINTER, OM_TYPE_REFERENCE};
  return OM_create_attribute(*row.class_id, row.name, TYPES[static_cast<int>(row.kind)],
                             row.is_array, 0, OM_FLAGS_PLAIN,
                             row.ref_class ? OM_lookup_class(row.ref_class) : -1);
}

// Looked up by name: the schema may exist in the object manager while this library's id
// variables are still unset.
bool result_has_error_code() {
  const int error_code = OM_lookup_attribute("error_code");
  const int result = OM_lookup_class("VERU_validate_result");
  return error_code != 0 && result != 0 && OM_ask_attribute_p_ne(result, error_code) != nullptr;
}

}  // namespace

OM_schema_s* VERU_VALIDATE_boot_schema() {
  if (OM_schema_s* existing = OM_lookup_schema(SCHEMA_NAME, 0)) return existing;
  OM_schema_s* schema = OM_create_schema(SCHEMA_NAME, 0);
  for (const char* name : CREATION_ORDER) {
    const ClassRow& row = class_row_of(name);
    *row.id = OM_create_class(schema, OM_lookup_class(row.base), row.name);
    if (row.is_abstract) OM_set_class_property(*row.id, OM_CLASS_PROPERTY_ABSTRACT);
    OM_set_class_property(*row.id, OM_CLASS_PROPERTY_APPLICATION);
  }
  for (const ClassRow& row : CLASS_TABLE) {
    OM_force_set_object_id(OM_ask_class_of_class_id(*row.id), FIXED_ID_BASE + row.fixed_id);
  }
  return schema;
}

OM_schema_s* VERU_VALIDATE_init_schema() {
  OM_schema_s* schema = OM_lookup_schema(SCHEMA_NAME, 0);
  if (schema && result_has_error_code()) return schema;
  if (!schema) {
    schema = VERU_VALIDATE_boot_schema();
  } else {
    // Booted before, without its attributes: the classes are found by name.
    for (const ClassRow& row : CLASS_TABLE) OM_special_lookup_class(row.id, row.name);
  }
  const bool create_attributes = !result_has_error_code();
  if (create_attributes) {
    for (const char* name : ATTRIBUTE_CREATION_ORDER) {
      const AttributeRow& row = attribute_row_of(name);
      *row.id = create_attribute(row);
    }
  }
  for (const HostAttributeRow& row : HOST_ATTRIBUTES) *row.id = OM_lookup_attribute(row.name);
  if (create_attributes) {
    for (const AttributeRow& row : ATTRIBUTE_TABLE) {
      OM_force_set_object_id(OM_ask_attribute_p(*row.class_id, *row.id),
                             FIXED_ID_BASE + row.fixed_id);
    }
    VERU_VALIDATE_init_methods(false);
  }
  return schema;
}

void VERU_VALIDATE_init_methods(bool /*unused*/) {
  // Tables are built once per process and kept; a later call only re-attaches them.
  static OM_class_descriptor* built[sizeof CLASS_TABLE / sizeof CLASS_TABLE[0]] = {};
  for (const char* name : METHODS_ORDER) {
    const ClassRow& row = class_row_of(name);
    OM_class_descriptor*& table = built[&row - CLASS_TABLE];
    if (table) {
      OM_set_class_descriptor(*row.id, table);
      continue;
    }
    table = OM_init_class_descriptor(*row.id, OM_ask_class_descriptor(OM_lookup_class(row.base)));
    row.init_methods(table);
  }
}

void VERU_VALIDATE_init_ids() {
  for (const ClassRow& row : CLASS_TABLE) OM_special_lookup_class(row.id, row.name);
  for (const AttributeRow& row : ATTRIBUTE_TABLE) OM_special_lookup_attribute(row.id, row.name);
}
