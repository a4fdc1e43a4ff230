// The "VERU_VALIDATE" schema: the classes and attributes with which host tools validate
// definition files, their fixed object ids, and the operation tables of the classes.
#include <iterator>

#include "veru_schema_tables.h"

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

// The class table, in the order of the fixed ids.
const veru_class_row_s CLASS_TABLE[] = {
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

// The attribute table, in its order; every attribute is declared with flags 1 and every array
// is of variable length.
const veru_attribute_row_s ATTRIBUTE_TABLE[] = {
    {&VERU_validate_result_c, "error_code", VERU_KIND_INT, 0, nullptr, 9,
     &ATT_error_co__VERU_VALIDATE3900},
    {&VERU_validate_result_c, "filename", VERU_KIND_CHARACTERS, 0, nullptr, 10,
     &ATT_filename__VERU_VALIDATE2067},
    {&VERU_validate_result_c, "error_text", VERU_KIND_CHARACTERS, 0, nullptr, 11,
     &ATT_error_te__VERU_VALIDATE1776},
    {&VERU_validate_object_c, "dom_node", VERU_KIND_POINTER, -1, nullptr, 12,
     &ATT_dom_node__VERU_VALIDATE5299},
    {&VERU_validate_object_c, "veru_root", VERU_KIND_REFERENCE, -1, "VERU_validate_root", 13,
     &ATT_veru_roo__VERU_VALIDATE2847},
    {&VERU_validate_root_c, "current_filename", VERU_KIND_CHARACTERS, -1, nullptr, 14,
     &ATT_current___VERU_VALIDATE4665},
    {&VERU_validate_root_c, "pref_name_set", VERU_KIND_REFERENCE, -1, "VERU_validate_name_set", 15,
     &ATT_pref_nam__VERU_VALIDATE7310},
    {&VERU_validate_root_c, "dup_pref_name_set", VERU_KIND_REFERENCE, -1, "OM_set", 16,
     &ATT_dup_pref___VERU_VALIDATE262},
    {&VERU_validate_root_c, "app_name_set", VERU_KIND_REFERENCE, -1, "VERU_validate_name_set", 17,
     &ATT_app_name__VERU_VALIDATE9436},
    {&VERU_validate_root_c, "dup_app_name_set", VERU_KIND_REFERENCE, -1, "OM_set", 18,
     &ATT_dup_app___VERU_VALIDATE2548},
    {&VERU_validate_name_file_map_c, "node_name", VERU_KIND_CHARACTERS, -1, nullptr, 19,
     &ATT_node_nam__VERU_VALIDATE7884},
    {&VERU_validate_name_file_map_c, "filenames", VERU_KIND_CHARACTERS, 0, nullptr, 20,
     &ATT_filename__VERU_VALIDATE4852},
};

// Order in which the attributes are created.
const char* const ATTRIBUTE_CREATION_ORDER[] = {
    "node_name",         "filenames",    "current_filename", "pref_name_set",
    "dup_pref_name_set", "app_name_set", "dup_app_name_set", "dom_node",
    "veru_root",         "error_code",   "filename",         "error_text",
};

const veru_host_attribute_row_s HOST_ATTRIBUTES[] = {
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

static_assert(std::size(CREATION_ORDER) == std::size(CLASS_TABLE) &&
              std::size(METHODS_ORDER) == std::size(CLASS_TABLE) &&
              std::size(ATTRIBUTE_CREATION_ORDER) == std::size(ATTRIBUTE_TABLE));

// Tables are built once per process and kept.
OM_class_descriptor* built[std::size(CLASS_TABLE)] = {};

constexpr veru_schema_tables_s TABLES = {
    "VERU_VALIDATE",
    veru_rows(CLASS_TABLE),
    CREATION_ORDER,
    METHODS_ORDER,
    veru_rows(ATTRIBUTE_TABLE),
    ATTRIBUTE_CREATION_ORDER,
    veru_rows(HOST_ATTRIBUTES),
    "VERU_validate_result",
    "error_code",
    built,
};

}  // namespace

OM_schema_s* VERU_VALIDATE_boot_schema() {
  return veru_boot_schema(TABLES);
}

OM_schema_s* VERU_VALIDATE_init_schema() {
  return veru_init_schema(TABLES, VERU_VALIDATE_init_methods);
}

void VERU_VALIDATE_init_methods(bool /*unused*/) {
  veru_init_methods(TABLES);
}

void VERU_VALIDATE_init_ids() {
  veru_init_ids(TABLES);
}
