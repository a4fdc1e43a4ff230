// The "VERU" schema: its classes, attributes, fixed object ids and operation tables, and how
// the schema entry points behave when called more than once.
#include "test_support.h"

#include <set>
#include <vector>

namespace {

// Host code and stored files rely on these ids (0x80000000 plus the last column).
struct ClassRow {
  const char* name;
  const int* id;
  const char* base;
  bool is_abstract;
  unsigned fixed;
};
const ClassRow CLASSES[] = {
    {"VERU_change", &VERU_change_c, "OM_methodic_object", false, 0x16},
    {"VERU_group", &VERU_group_c, "OM_tagged_object", false, 0x15},
    {"VERU_data_color", &VERU_data_color_c, "VERU_data_enum", false, 0x14},
    {"VERU_data_range", &VERU_data_range_c, "VERU_data", false, 0x13},
    {"VERU_range_elem", &VERU_range_elem_c, "OM_methodic_object", false, 0x12},
    {"VERU_data_enum", &VERU_data_enum_c, "VERU_data", false, 0x11},
    {"VERU_enum_elem", &VERU_enum_elem_c, "OM_methodic_object", false, 0x10},
    {"VERU_data", &VERU_data_c, "OM_methodic_object", true, 0x0F},
    {"VERU_pref_string_list", &VERU_pref_string_list_c, "VERU_pref_list", false, 0x0E},
    {"VERU_pref_list", &VERU_pref_list_c, "VERU_pref", false, 0x0D},
    {"VERU_pref_string", &VERU_pref_string_c, "VERU_pref", false, 0x0C},
    {"VERU_pref_real", &VERU_pref_real_c, "VERU_pref", false, 0x0B},
    {"VERU_pref_logical", &VERU_pref_logical_c, "VERU_pref", false, 0x0A},
    {"VERU_pref_int", &VERU_pref_int_c, "VERU_pref", false, 0x09},
    {"VERU_pref", &VERU_pref_c, "VERU_pref_interface", true, 0x08},
    {"VERU_pref_interface", &VERU_pref_interface_c, "OM_tagged_object", true, 0x07},
    {"VERU_recorded_value", &VERU_recorded_value_c, "OM_methodic_object", false, 0x06},
    {"VERU_logical_value", &VERU_logical_value_c, "VERU_value", false, 0x05},
    {"VERU_string_value", &VERU_string_value_c, "VERU_value", false, 0x04},
    {"VERU_real_value", &VERU_real_value_c, "VERU_value", false, 0x03},
    {"VERU_int_value", &VERU_int_value_c, "VERU_value", false, 0x02},
    {"VERU_value", &VERU_value_c, "OM_methodic_object", true, 0x01},
    {"VERU_module_root", &VERU_module_root_c, "OM_tagged_object", false, 0x00},
};

enum Kind { LOGICAL, INT, REAL, REF, STRING, TEXT, FUNCTION };
struct AttributeRow {
  const int* class_id;
  const char* name;
  const int* id;
  Kind kind;
  unsigned fixed;
};
const AttributeRow ATTRIBUTES[] = {
    {&VERU_change_c, "option_name", &ATT_option_name__VERU6477, STRING, 0x3C},
    {&VERU_change_c, "value", &ATT_value__VERU1281, REF, 0x3D},
    {&VERU_change_c, "update_lock", &ATT_update_lock__VERU5333, LOGICAL, 0x3E},
    {&VERU_change_c, "update_comment", &ATT_update_comment__VERU5433, LOGICAL, 0x3F},
    {&VERU_change_c, "update_value", &ATT_update_value__VERU1403, LOGICAL, 0x40},
    {&VERU_group_c, "name", &ATT_name__VERU8887, TEXT, 0x36},
    {&VERU_group_c, "objects", &ATT_objects__VERU352, REF, 0x37},
    {&VERU_group_c, "m_has_tabs", &ATT_m_has_tabs__VERU5069, LOGICAL, 0x38},
    {&VERU_group_c, "parent", &ATT_parent__VERU7938, REF, 0x39},
    {&VERU_group_c, "csh_text", &ATT_csh_text__VERU5472, STRING, 0x3A},
    {&VERU_group_c, "m_is_group", &ATT_m_is_group__VERU9924, LOGICAL, 0x3B},
    {&VERU_data_range_c, "lower", &ATT_lower__VERU33, REF, 0x34},
    {&VERU_data_range_c, "upper", &ATT_upper__VERU7582, REF, 0x35},
    {&VERU_range_elem_c, "inclusive", &ATT_inclusive__VERU2600, LOGICAL, 0x31},
    {&VERU_range_elem_c, "value", &ATT_value__VERU1281, REF, 0x32},
    {&VERU_range_elem_c, "name", &ATT_name__VERU8887, TEXT, 0x33},
    {&VERU_data_enum_c, "values", &ATT_values__VERU4702, REF, 0x30},
    {&VERU_enum_elem_c, "value", &ATT_value__VERU1281, REF, 0x2D},
    {&VERU_enum_elem_c, "name", &ATT_name__VERU8887, TEXT, 0x2E},
    {&VERU_enum_elem_c, "bitmap", &ATT_bitmap__VERU9611, STRING, 0x2F},
    {&VERU_data_c, "name", &ATT_name__VERU8887, STRING, 0x2C},
    {&VERU_pref_c, "name", &ATT_name__VERU8887, STRING, 0x21},
    {&VERU_pref_c, "desc", &ATT_desc__VERU5133, TEXT, 0x22},
    {&VERU_pref_c, "data", &ATT_data__VERU2242, REF, 0x23},
    {&VERU_pref_c, "parent", &ATT_parent__VERU7938, REF, 0x24},
    {&VERU_pref_c, "title", &ATT_title__VERU1452, TEXT, 0x25},
    {&VERU_pref_c, "values", &ATT_values__VERU4702, REF, 0x26},
    {&VERU_pref_c, "unit", &ATT_unit__VERU6052, TEXT, 0x27},
    {&VERU_pref_c, "loaded_value", &ATT_loaded_value__VERU9075, REF, 0x28},
    {&VERU_pref_c, "ver", &ATT_ver__VERU8863, STRING, 0x29},
    {&VERU_pref_c, "scope", &ATT_scope__VERU8376, INT, 0x2A},
    {&VERU_pref_c, "visibility_fn", &ATT_visibility_fn__VERU4161, FUNCTION, 0x2B},
    {&VERU_recorded_value_c, "value", &ATT_value__VERU1281, REF, 0x1D},
    {&VERU_recorded_value_c, "locked", &ATT_locked__VERU1354, LOGICAL, 0x1E},
    {&VERU_recorded_value_c, "modification_date", &ATT_modification_date__VERU7773, INT, 0x1F},
    {&VERU_recorded_value_c, "comment", &ATT_comment__VERU655, TEXT, 0x20},
    {&VERU_logical_value_c, "value", &ATT_value__VERU1281, LOGICAL, 0x1C},
    {&VERU_string_value_c, "value", &ATT_value__VERU1281, STRING, 0x1B},
    {&VERU_real_value_c, "value", &ATT_value__VERU1281, REAL, 0x1A},
    {&VERU_int_value_c, "value", &ATT_value__VERU1281, INT, 0x19},
    {&VERU_module_root_c, "pref_set", &ATT_pref_set__VERU2866, REF, 0x17},
    {&VERU_module_root_c, "tree_root", &ATT_tree_root__VERU2883, REF, 0x18},
};

// The six attributes of the object manager that the schema looks up by name.
const std::pair<const char*, const int*> HOST_ATTRIBUTES[] = {
    {"isa", &ATT_isa__VERU9747},
    {"om_flags", &ATT_om_flags__VERU8474},
    {"om_method_descriptor", &ATT_om_method_descrip__VERU6512},
    {"root_object", &ATT_root_object__VERU9040},
    {"save_label", &ATT_save_label__VERU4042},
    {"tag", &ATT_tag__VERU7286},
};

std::vector<int> all_ids() {
  std::vector<int> ids;
  for (const ClassRow& row : CLASSES) ids.push_back(*row.id);
  for (const AttributeRow& row : ATTRIBUTES) ids.push_back(*row.id);
  for (const auto& row : HOST_ATTRIBUTES) ids.push_back(*row.second);
  return ids;
}

}  // namespace

TEST(VeruSchema, ClassesHaveTheirBasesPropertiesAndFixedIds) {
  OM_schema_s* schema = VERU_init_schema();
  ASSERT_NE(schema, nullptr);
  EXPECT_STREQ(OM_ask_schema_name(schema), "VERU");
  std::set<int> distinct;
  for (const ClassRow& row : CLASSES) {
    SCOPED_TRACE(row.name);
    const int id = *row.id;
    ASSERT_NE(id, 0);
    distinct.insert(id);
    EXPECT_EQ(OM_lookup_class(row.name), id);
    EXPECT_EQ(OM_ask_class_schema(id), schema);
    EXPECT_EQ(OM_ask_superclass(id), OM_lookup_class(row.base));
    EXPECT_EQ(OM_ask_class_property(id, OM_CLASS_PROPERTY_ABSTRACT), row.is_abstract);
    EXPECT_TRUE(OM_ask_class_property(id, OM_CLASS_PROPERTY_APPLICATION));
    EXPECT_EQ(OM_ask_object_id(OM_ask_class_of_class_id(id)), 0x80000000u + row.fixed);

    // Each table extends its base's; abstract classes, the module root and the recorded value
    // have no create operation, and abstract classes make no objects.
    const OM_class_descriptor* table = OM_ask_class_descriptor(id);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(OM_ask_super_descriptor(table), OM_ask_class_descriptor(OM_lookup_class(row.base)));
    EXPECT_EQ(table->create != nullptr,
              !row.is_abstract && id != VERU_module_root_c && id != VERU_recorded_value_c);
    if (row.is_abstract) {
      EXPECT_EQ(raised_code([&] { OM_create_object(id); }), ERROR_INTERNAL_CODE);
    }
  }
  EXPECT_EQ(distinct.size(), 23u);

  EXPECT_TRUE(OM_is_subclass(VERU_pref_string_list_c, VERU_pref_list_c));
  EXPECT_TRUE(OM_is_subclass(VERU_pref_string_list_c, VERU_pref_interface_c));
  EXPECT_TRUE(OM_is_subclass(VERU_data_color_c, VERU_data_enum_c));
  EXPECT_TRUE(OM_is_subclass(VERU_data_color_c, VERU_data_c));
  EXPECT_FALSE(OM_is_subclass(VERU_pref_list_c, VERU_pref_string_list_c));
  EXPECT_FALSE(OM_is_subclass(VERU_pref_string_c, VERU_pref_list_c));
  EXPECT_FALSE(OM_is_subclass(VERU_data_range_c, VERU_data_enum_c));
}

TEST(VeruSchema, AttributesHaveTheirTypesAndFixedIds) {
  VERU_init_schema();
  static const struct {
    int type;
    unsigned flags;
  } TYPES[] = {
      {OM_TYPE_LOGICAL, OM_FLAGS_PLAIN},    {OM_TYPE_INT, OM_FLAGS_PLAIN},
      {OM_TYPE_REAL, OM_FLAGS_PLAIN},       {OM_TYPE_REFERENCE, OM_FLAGS_PLAIN},
      {OM_TYPE_CHARACTER, OM_FLAGS_STRING}, {OM_TYPE_CHARACTER, OM_FLAGS_TEXT},
      {OM_TYPE_FUNCTION, OM_FLAGS_PLAIN},
  };
  std::set<unsigned> fixed_ids;
  for (const AttributeRow& row : ATTRIBUTES) {
    SCOPED_TRACE(std::string(OM_ask_class_name(*row.class_id)) + "." + row.name);
    ASSERT_NE(*row.id, 0);
    EXPECT_EQ(OM_lookup_attribute(row.name), *row.id);
    const OM_attribute_s* attribute = OM_ask_attribute_p_ne(*row.class_id, *row.id);
    ASSERT_NE(attribute, nullptr);
    EXPECT_EQ(OM_ask_object_id(attribute), 0x80000000u + row.fixed);
    EXPECT_EQ(OM_ask_attribute_type(attribute), TYPES[row.kind].type);
    EXPECT_EQ(OM_ask_attribute_flags(attribute), TYPES[row.kind].flags);
    fixed_ids.insert(row.fixed);
  }
  EXPECT_EQ(fixed_ids.size(), 42u);

  // One name, one id, in every class that declares or inherits it.
  for (int class_id : {VERU_group_c, VERU_pref_c, VERU_data_c, VERU_enum_elem_c, VERU_range_elem_c,
                       VERU_pref_real_c, VERU_data_color_c}) {
    EXPECT_NE(OM_ask_attribute_p_ne(class_id, ATT_name__VERU8887), nullptr)
        << OM_ask_class_name(class_id);
  }
  EXPECT_EQ(OM_ask_attribute_p_ne(VERU_change_c, ATT_name__VERU8887), nullptr);
  EXPECT_EQ(OM_ask_attribute_p_ne(VERU_value_c, ATT_value__VERU1281), nullptr);

  for (const auto& row : HOST_ATTRIBUTES) {
    EXPECT_NE(*row.second, 0) << row.first;
    EXPECT_EQ(*row.second, OM_lookup_attribute(row.first)) << row.first;
  }
}

TEST(VeruSchema, RepeatedStartKeepsSchemaAndIds) {
  OM_schema_s* schema = VERU_init_schema();
  const std::vector<int> before = all_ids();
  EXPECT_EQ(VERU_init_schema(), schema);
  EXPECT_EQ(VERU_boot_schema(), schema);
  EXPECT_EQ(all_ids(), before);

  // VERU_init_ids fills the schema's own class and attribute ids by name.
  for (const ClassRow& row : CLASSES) *const_cast<int*>(row.id) = 0;
  for (const AttributeRow& row : ATTRIBUTES) *const_cast<int*>(row.id) = 0;
  // A schema that exists with its attributes is returned as it is, whatever the variables hold.
  EXPECT_EQ(VERU_init_schema(), schema);
  EXPECT_EQ(VERU_module_root_c, 0);
  VERU_init_ids();
  EXPECT_EQ(all_ids(), before);

  // Re-attached tables still make working objects.
  VERU_init_methods(false);
  VERU_int_value* three = VERU_int_value::create(3);
  VERU_int_value* five = VERU_int_value::create(5);
  EXPECT_EQ(three->compare(five), 1);
  OM_delete_object(three);
  OM_delete_object(five);
}

TEST(VeruSchema, PreferenceHasOneValuePerLevel) {
  VERU_init_schema();
  // A preference records one value per level, 0 to 3.
  VERU_pref_int* pref = VERU_pref_int::create("Schema_levels");
  EXPECT_EQ(OM_ask_array_length(pref, ATT_values__VERU4702), 4);
  for (int level = 0; level < 4; ++level)
    EXPECT_EQ(OM_ask_pointer_elem(pref, ATT_values__VERU4702, level), nullptr);
  pref->set_int(7, 3);
  OM_object* user = OM_ask_pointer_elem(pref, ATT_values__VERU4702, 3);
  ASSERT_NE(user, nullptr);
  EXPECT_EQ(user->class_id(), VERU_recorded_value_c);
  EXPECT_EQ(OM_ask_array_length(pref, ATT_values__VERU4702), 4);
  OM_delete_object(pref);
}
