// The "VERU" schema: its classes and attributes in their table orders, their fixed object ids,
// and the operation tables of the classes.
#include <iterator>

#include "veru_schema_tables.h"

int VERU_change_c;
int VERU_group_c;
int VERU_data_c;
int VERU_data_enum_c;
int VERU_data_color_c;
int VERU_data_range_c;
int VERU_range_elem_c;
int VERU_enum_elem_c;
int VERU_pref_interface_c;
int VERU_pref_c;
int VERU_pref_list_c;
int VERU_pref_string_list_c;
int VERU_pref_string_c;
int VERU_pref_real_c;
int VERU_pref_logical_c;
int VERU_pref_int_c;
int VERU_recorded_value_c;
int VERU_value_c;
int VERU_logical_value_c;
int VERU_string_value_c;
int VERU_real_value_c;
int VERU_int_value_c;
int VERU_module_root_c;

int ATT_bitmap__VERU9611;
int ATT_comment__VERU655;
int ATT_csh_text__VERU5472;
int ATT_data__VERU2242;
int ATT_desc__VERU5133;
int ATT_inclusive__VERU2600;
int ATT_loaded_value__VERU9075;
int ATT_locked__VERU1354;
int ATT_lower__VERU33;
int ATT_m_has_tabs__VERU5069;
int ATT_m_is_group__VERU9924;
int ATT_modification_date__VERU7773;
int ATT_name__VERU8887;
int ATT_objects__VERU352;
int ATT_option_name__VERU6477;
int ATT_parent__VERU7938;
int ATT_pref_set__VERU2866;
int ATT_scope__VERU8376;
int ATT_title__VERU1452;
int ATT_tree_root__VERU2883;
int ATT_unit__VERU6052;
int ATT_update_comment__VERU5433;
int ATT_update_lock__VERU5333;
int ATT_update_value__VERU1403;
int ATT_upper__VERU7582;
int ATT_value__VERU1281;
int ATT_values__VERU4702;
int ATT_ver__VERU8863;
int ATT_visibility_fn__VERU4161;

int ATT_isa__VERU9747;
int ATT_om_flags__VERU8474;
int ATT_om_method_descrip__VERU6512;
int ATT_root_object__VERU9040;
int ATT_save_label__VERU4042;
int ATT_tag__VERU7286;

namespace {

// The class table, in the order that gives the fixed ids (0x80000016 down to 0x80000000).
const veru_class_row_s CLASS_TABLE[] = {
    {&VERU_change_c, "VERU_change", "OM_methodic_object", false, 0x16, VERU_change::init_methods},
    {&VERU_group_c, "VERU_group", "OM_tagged_object", false, 0x15, VERU_group::init_methods},
    {&VERU_data_color_c, "VERU_data_color", "VERU_data_enum", false, 0x14,
     VERU_data_color::init_methods},
    {&VERU_data_range_c, "VERU_data_range", "VERU_data", false, 0x13,
     VERU_data_range::init_methods},
    {&VERU_range_elem_c, "VERU_range_elem", "OM_methodic_object", false, 0x12,
     VERU_range_elem::init_methods},
    {&VERU_data_enum_c, "VERU_data_enum", "VERU_data", false, 0x11, VERU_data_enum::init_methods},
    {&VERU_enum_elem_c, "VERU_enum_elem", "OM_methodic_object", false, 0x10,
     VERU_enum_elem::init_methods},
    {&VERU_data_c, "VERU_data", "OM_methodic_object", true, 0x0F, nullptr},
    {&VERU_pref_string_list_c, "VERU_pref_string_list", "VERU_pref_list", false, 0x0E,
     VERU_pref_string_list::init_methods},
    {&VERU_pref_list_c, "VERU_pref_list", "VERU_pref", false, 0x0D, VERU_pref_list::init_methods},
    {&VERU_pref_string_c, "VERU_pref_string", "VERU_pref", false, 0x0C,
     VERU_pref_string::init_methods},
    {&VERU_pref_real_c, "VERU_pref_real", "VERU_pref", false, 0x0B, VERU_pref_real::init_methods},
    {&VERU_pref_logical_c, "VERU_pref_logical", "VERU_pref", false, 0x0A,
     VERU_pref_logical::init_methods},
    {&VERU_pref_int_c, "VERU_pref_int", "VERU_pref", false, 0x09, VERU_pref_int::init_methods},
    {&VERU_pref_c, "VERU_pref", "VERU_pref_interface", true, 0x08, VERU_pref::init_methods},
    {&VERU_pref_interface_c, "VERU_pref_interface", "OM_tagged_object", true, 0x07,
     VERU_pref_interface::init_methods},
    {&VERU_recorded_value_c, "VERU_recorded_value", "OM_methodic_object", false, 0x06,
     VERU_recorded_value::init_methods},
    {&VERU_logical_value_c, "VERU_logical_value", "VERU_value", false, 0x05,
     VERU_logical_value::init_methods},
    {&VERU_string_value_c, "VERU_string_value", "VERU_value", false, 0x04,
     VERU_string_value::init_methods},
    {&VERU_real_value_c, "VERU_real_value", "VERU_value", false, 0x03,
     VERU_real_value::init_methods},
    {&VERU_int_value_c, "VERU_int_value", "VERU_value", false, 0x02, VERU_int_value::init_methods},
    {&VERU_value_c, "VERU_value", "OM_methodic_object", true, 0x01, nullptr},
    {&VERU_module_root_c, "VERU_module_root", "OM_tagged_object", false, 0x00,
     VERU_module_root::init_methods},
};

// Order in which the classes are created: every base before its subclasses.
const char* const CREATION_ORDER[] = {
    "VERU_change",         "VERU_group",      "VERU_data",          "VERU_data_enum",
    "VERU_data_color",     "VERU_data_range", "VERU_range_elem",    "VERU_enum_elem",
    "VERU_pref_interface", "VERU_pref",       "VERU_pref_list",     "VERU_pref_string_list",
    "VERU_pref_string",    "VERU_pref_real",  "VERU_pref_logical",  "VERU_pref_int",
    "VERU_recorded_value", "VERU_value",      "VERU_logical_value", "VERU_string_value",
    "VERU_real_value",     "VERU_int_value",  "VERU_module_root",
};

// Order in which the operation tables are built.
const char* const METHODS_ORDER[] = {
    "VERU_module_root",  "VERU_value",         "VERU_int_value",        "VERU_real_value",
    "VERU_string_value", "VERU_logical_value", "VERU_recorded_value",   "VERU_pref_interface",
    "VERU_pref",         "VERU_pref_int",      "VERU_pref_logical",     "VERU_pref_real",
    "VERU_pref_string",  "VERU_pref_list",     "VERU_pref_string_list", "VERU_data",
    "VERU_enum_elem",    "VERU_data_enum",     "VERU_range_elem",       "VERU_data_range",
    "VERU_data_color",   "VERU_group",         "VERU_change",
};

// The attribute table, in its order, which is also the order of creation.
const veru_attribute_row_s ATTRIBUTE_TABLE[] = {
    {&VERU_change_c, "option_name", VERU_KIND_STRING, -1, nullptr, 0x3C,
     &ATT_option_name__VERU6477},
    {&VERU_change_c, "value", VERU_KIND_REFERENCE, -1, "VERU_recorded_value", 0x3D,
     &ATT_value__VERU1281},
    {&VERU_change_c, "update_lock", VERU_KIND_LOGICAL, -1, nullptr, 0x3E,
     &ATT_update_lock__VERU5333},
    {&VERU_change_c, "update_comment", VERU_KIND_LOGICAL, -1, nullptr, 0x3F,
     &ATT_update_comment__VERU5433},
    {&VERU_change_c, "update_value", VERU_KIND_LOGICAL, -1, nullptr, 0x40,
     &ATT_update_value__VERU1403},
    {&VERU_group_c, "name", VERU_KIND_TEXT, -1, nullptr, 0x36, &ATT_name__VERU8887},
    {&VERU_group_c, "objects", VERU_KIND_REFERENCE, 0, "OM_object", 0x37, &ATT_objects__VERU352},
    {&VERU_group_c, "m_has_tabs", VERU_KIND_LOGICAL, -1, nullptr, 0x38, &ATT_m_has_tabs__VERU5069},
    {&VERU_group_c, "parent", VERU_KIND_REFERENCE, -1, "VERU_group", 0x39, &ATT_parent__VERU7938},
    {&VERU_group_c, "csh_text", VERU_KIND_STRING, -1, nullptr, 0x3A, &ATT_csh_text__VERU5472},
    {&VERU_group_c, "m_is_group", VERU_KIND_LOGICAL, -1, nullptr, 0x3B, &ATT_m_is_group__VERU9924},
    {&VERU_data_range_c, "lower", VERU_KIND_REFERENCE, -1, "VERU_range_elem", 0x34,
     &ATT_lower__VERU33},
    {&VERU_data_range_c, "upper", VERU_KIND_REFERENCE, -1, "VERU_range_elem", 0x35,
     &ATT_upper__VERU7582},
    {&VERU_range_elem_c, "inclusive", VERU_KIND_LOGICAL, -1, nullptr, 0x31,
     &ATT_inclusive__VERU2600},
    {&VERU_range_elem_c, "value", VERU_KIND_REFERENCE, -1, "VERU_value", 0x32,
     &ATT_value__VERU1281},
    {&VERU_range_elem_c, "name", VERU_KIND_TEXT, -1, nullptr, 0x33, &ATT_name__VERU8887},
    {&VERU_data_enum_c, "values", VERU_KIND_REFERENCE, 0, "VERU_enum_elem", 0x30,
     &ATT_values__VERU4702},
    {&VERU_enum_elem_c, "value", VERU_KIND_REFERENCE, -1, "VERU_value", 0x2D, &ATT_value__VERU1281},
    {&VERU_enum_elem_c, "name", VERU_KIND_TEXT, -1, nullptr, 0x2E, &ATT_name__VERU8887},
    {&VERU_enum_elem_c, "bitmap", VERU_KIND_STRING, -1, nullptr, 0x2F, &ATT_bitmap__VERU9611},
    {&VERU_data_c, "name", VERU_KIND_STRING, -1, nullptr, 0x2C, &ATT_name__VERU8887},
    {&VERU_pref_c, "name", VERU_KIND_STRING, -1, nullptr, 0x21, &ATT_name__VERU8887},
    {&VERU_pref_c, "desc", VERU_KIND_TEXT, -1, nullptr, 0x22, &ATT_desc__VERU5133},
    {&VERU_pref_c, "data", VERU_KIND_REFERENCE, -1, "VERU_data", 0x23, &ATT_data__VERU2242},
    {&VERU_pref_c, "parent", VERU_KIND_REFERENCE, -1, "VERU_group", 0x24, &ATT_parent__VERU7938},
    {&VERU_pref_c, "title", VERU_KIND_TEXT, -1, nullptr, 0x25, &ATT_title__VERU1452},
    {&VERU_pref_c, "values", VERU_KIND_REFERENCE, 4, "VERU_recorded_value", 0x26,
     &ATT_values__VERU4702},
    {&VERU_pref_c, "unit", VERU_KIND_TEXT, -1, nullptr, 0x27, &ATT_unit__VERU6052},
    {&VERU_pref_c, "loaded_value", VERU_KIND_REFERENCE, -1, "VERU_value", 0x28,
     &ATT_loaded_value__VERU9075},
    {&VERU_pref_c, "ver", VERU_KIND_STRING, -1, nullptr, 0x29, &ATT_ver__VERU8863},
    {&VERU_pref_c, "scope", VERU_KIND_INT, -1, nullptr, 0x2A, &ATT_scope__VERU8376},
    {&VERU_pref_c, "visibility_fn", VERU_KIND_FUNCTION, -1, nullptr, 0x2B,
     &ATT_visibility_fn__VERU4161},
    {&VERU_recorded_value_c, "value", VERU_KIND_REFERENCE, -1, "VERU_value", 0x1D,
     &ATT_value__VERU1281},
    {&VERU_recorded_value_c, "locked", VERU_KIND_LOGICAL, -1, nullptr, 0x1E, &ATT_locked__VERU1354},
    {&VERU_recorded_value_c, "modification_date", VERU_KIND_INT, -1, nullptr, 0x1F,
     &ATT_modification_date__VERU7773},
    {&VERU_recorded_value_c, "comment", VERU_KIND_TEXT, -1, nullptr, 0x20, &ATT_comment__VERU655},
    {&VERU_logical_value_c, "value", VERU_KIND_LOGICAL, -1, nullptr, 0x1C, &ATT_value__VERU1281},
    {&VERU_string_value_c, "value", VERU_KIND_STRING, -1, nullptr, 0x1B, &ATT_value__VERU1281},
    {&VERU_real_value_c, "value", VERU_KIND_REAL, -1, nullptr, 0x1A, &ATT_value__VERU1281},
    {&VERU_int_value_c, "value", VERU_KIND_INT, -1, nullptr, 0x19, &ATT_value__VERU1281},
    {&VERU_module_root_c, "pref_set", VERU_KIND_REFERENCE, -1, "OM_set", 0x17,
     &ATT_pref_set__VERU2866},
    {&VERU_module_root_c, "tree_root", VERU_KIND_REFERENCE, -1, "VERU_group", 0x18,
     &ATT_tree_root__VERU2883},
};

const veru_host_attribute_row_s HOST_ATTRIBUTES[] = {
    {"isa", &ATT_isa__VERU9747},
    {"om_flags", &ATT_om_flags__VERU8474},
    {"om_method_descriptor", &ATT_om_method_descrip__VERU6512},
    {"root_object", &ATT_root_object__VERU9040},
    {"save_label", &ATT_save_label__VERU4042},
    {"tag", &ATT_tag__VERU7286},
};

static_assert(std::size(CREATION_ORDER) == std::size(CLASS_TABLE) &&
              std::size(METHODS_ORDER) == std::size(CLASS_TABLE));

// Tables are built once per process and kept.
OM_class_descriptor* built[std::size(CLASS_TABLE)] = {};

constexpr veru_schema_tables_s TABLES = {
    "VERU",
    veru_rows(CLASS_TABLE),
    CREATION_ORDER,
    METHODS_ORDER,
    veru_rows(ATTRIBUTE_TABLE),
    nullptr,
    veru_rows(HOST_ATTRIBUTES),
    "VERU_module_root",
    "pref_set",
    built,
};

}  // namespace

OM_schema_s* VERU_boot_schema() {
  return veru_boot_schema(TABLES);
}

OM_schema_s* VERU_init_schema() {
  return veru_init_schema(TABLES, VERU_init_methods);
}

void VERU_init_methods(bool /*unused*/) {
  veru_init_methods(TABLES);
}

void VERU_init_ids() {
  veru_init_ids(TABLES);
}
