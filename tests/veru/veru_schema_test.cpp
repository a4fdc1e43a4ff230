// The "VERU" schema: its classes, attributes, fixed object ids and operation tables, and how
// the schema entry points behave when called more than once.
#include "test_support.h"

#include <set>
#include <vector>

namespace {

// The exported id variables, each with the name it is looked up by.
using IdVariable = std::pair<const char*, int*>;

const IdVariable CLASS_IDS[] = {
    {"VERU_change", &VERU_change_c},
    {"VERU_group", &VERU_group_c},
    {"VERU_data", &VERU_data_c},
    {"VERU_data_enum", &VERU_data_enum_c},
    {"VERU_data_color", &VERU_data_color_c},
    {"VERU_data_range", &VERU_data_range_c},
    {"VERU_range_elem", &VERU_range_elem_c},
    {"VERU_enum_elem", &VERU_enum_elem_c},
    {"VERU_pref_interface", &VERU_pref_interface_c},
    {"VERU_pref", &VERU_pref_c},
    {"VERU_pref_list", &VERU_pref_list_c},
    {"VERU_pref_string_list", &VERU_pref_string_list_c},
    {"VERU_pref_string", &VERU_pref_string_c},
    {"VERU_pref_real", &VERU_pref_real_c},
    {"VERU_pref_logical", &VERU_pref_logical_c},
    {"VERU_pref_int", &VERU_pref_int_c},
    {"VERU_recorded_value", &VERU_recorded_value_c},
    {"VERU_value", &VERU_value_c},
    {"VERU_logical_value", &VERU_logical_value_c},
    {"VERU_string_value", &VERU_string_value_c},
    {"VERU_real_value", &VERU_real_value_c},
    {"VERU_int_value", &VERU_int_value_c},
    {"VERU_module_root", &VERU_module_root_c},
};

const IdVariable ATTRIBUTE_IDS[] = {
    {"bitmap", &ATT_bitmap__VERU9611},
    {"comment", &ATT_comment__VERU655},
    {"csh_text", &ATT_csh_text__VERU5472},
    {"data", &ATT_data__VERU2242},
    {"desc", &ATT_desc__VERU5133},
    {"inclusive", &ATT_inclusive__VERU2600},
    {"loaded_value", &ATT_loaded_value__VERU9075},
    {"locked", &ATT_locked__VERU1354},
    {"lower", &ATT_lower__VERU33},
    {"m_has_tabs", &ATT_m_has_tabs__VERU5069},
    {"m_is_group", &ATT_m_is_group__VERU9924},
    {"modification_date", &ATT_modification_date__VERU7773},
    {"name", &ATT_name__VERU8887},
    {"objects", &ATT_objects__VERU352},
    {"option_name", &ATT_option_name__VERU6477},
    {"parent", &ATT_parent__VERU7938},
    {"pref_set", &ATT_pref_set__VERU2866},
    {"scope", &ATT_scope__VERU8376},
    {"title", &ATT_title__VERU1452},
    {"tree_root", &ATT_tree_root__VERU2883},
    {"unit", &ATT_unit__VERU6052},
    {"update_comment", &ATT_update_comment__VERU5433},
    {"update_lock", &ATT_update_lock__VERU5333},
    {"update_value", &ATT_update_value__VERU1403},
    {"upper", &ATT_upper__VERU7582},
    {"value", &ATT_value__VERU1281},
    {"values", &ATT_values__VERU4702},
    {"ver", &ATT_ver__VERU8863},
    {"visibility_fn", &ATT_visibility_fn__VERU4161},
};

// The attributes of the object manager that the schema looks up by name.
const IdVariable HOST_ATTRIBUTE_IDS[] = {
    {"isa", &ATT_isa__VERU9747},
    {"om_flags", &ATT_om_flags__VERU8474},
    {"om_method_descriptor", &ATT_om_method_descrip__VERU6512},
    {"root_object", &ATT_root_object__VERU9040},
    {"save_label", &ATT_save_label__VERU4042},
    {"tag", &ATT_tag__VERU7286},
};

std::vector<int> all_ids() {
  std::vector<int> ids;
  for (const IdVariable& row : CLASS_IDS) ids.push_back(*row.second);
  for (const IdVariable& row : ATTRIBUTE_IDS) ids.push_back(*row.second);
  for (const IdVariable& row : HOST_ATTRIBUTE_IDS) ids.push_back(*row.second);
  return ids;
}

// The attribute declarations of the schema: each attribute of each class, inherited ones
// counted once, in the class that declares them.
std::set<const OM_attribute_s*> declarations() {
  std::set<const OM_attribute_s*> found;
  for (const IdVariable& class_row : CLASS_IDS) {
    for (const IdVariable& attribute_row : ATTRIBUTE_IDS) {
      if (const OM_attribute_s* declaration =
              OM_ask_attribute_p_ne(*class_row.second, *attribute_row.second)) {
        found.insert(declaration);
      }
    }
  }
  return found;
}

}  // namespace

// Host code and stored files rely on the fixed object ids: 0x80000000 plus the class's number,
// the classes' numbers running from 0 without gaps.
TEST(VeruSchema, ClassesHaveTheirBasesPropertiesAndFixedIds) {
  OM_schema_s* schema = VERU_init_schema();
  ASSERT_NE(schema, nullptr);
  EXPECT_STREQ(OM_ask_schema_name(schema), "VERU");
  std::set<int> distinct;
  std::vector<unsigned> object_ids;
  for (const auto& [name, id_variable] : CLASS_IDS) {
    SCOPED_TRACE(name);
    const int id = *id_variable;
    ASSERT_NE(id, 0);
    distinct.insert(id);
    EXPECT_EQ(OM_lookup_class(name), id);
    EXPECT_EQ(OM_ask_class_schema(id), schema);
    EXPECT_TRUE(OM_ask_class_property(id, OM_CLASS_PROPERTY_APPLICATION));
    object_ids.push_back(OM_ask_object_id(OM_ask_class_of_class_id(id)));

    // Each table extends its base's; abstract classes, the module root and the recorded value
    // have no create operation, and abstract classes make no objects.
    const OM_class_descriptor* table = OM_ask_class_descriptor(id);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(OM_ask_super_descriptor(table), OM_ask_class_descriptor(OM_ask_superclass(id)));
    const bool is_abstract = OM_ask_class_property(id, OM_CLASS_PROPERTY_ABSTRACT);
    EXPECT_EQ(table->create != nullptr,
              !is_abstract && id != VERU_module_root_c && id != VERU_recorded_value_c);
    if (is_abstract) {
      EXPECT_EQ(raised_code([&] { OM_create_object(id); }), ERROR_INTERNAL_CODE);
    }
  }
  EXPECT_EQ(distinct.size(), std::size(CLASS_IDS));
  EXPECT_EQ(sorted(object_ids), fixed_id_block(0, std::size(CLASS_IDS)));
  EXPECT_EQ(OM_ask_object_id(OM_ask_class_of_class_id(VERU_module_root_c)), 0x80000000u);

  for (int abstract_class : {VERU_pref_interface_c, VERU_pref_c, VERU_value_c, VERU_data_c}) {
    EXPECT_TRUE(OM_ask_class_property(abstract_class, OM_CLASS_PROPERTY_ABSTRACT));
  }
  EXPECT_TRUE(OM_is_subclass(VERU_pref_string_list_c, VERU_pref_list_c));
  EXPECT_TRUE(OM_is_subclass(VERU_pref_string_list_c, VERU_pref_interface_c));
  EXPECT_TRUE(OM_is_subclass(VERU_pref_interface_c, OM_tagged_object_class()));
  EXPECT_TRUE(OM_is_subclass(VERU_data_color_c, VERU_data_enum_c));
  EXPECT_TRUE(OM_is_subclass(VERU_data_color_c, VERU_data_c));
  EXPECT_TRUE(OM_is_subclass(VERU_int_value_c, VERU_value_c));
  EXPECT_FALSE(OM_is_subclass(VERU_pref_list_c, VERU_pref_string_list_c));
  EXPECT_FALSE(OM_is_subclass(VERU_pref_string_c, VERU_pref_list_c));
  EXPECT_FALSE(OM_is_subclass(VERU_data_range_c, VERU_data_enum_c));
}

// The attributes' fixed object ids follow the classes' without gaps.
TEST(VeruSchema, AttributesHaveTheirTypesAndFixedIds) {
  VERU_init_schema();
  for (const auto& [name, id] : ATTRIBUTE_IDS) {
    EXPECT_NE(*id, 0) << name;
    EXPECT_EQ(OM_lookup_attribute(name), *id) << name;
  }
  std::vector<unsigned> object_ids;
  for (const OM_attribute_s* attribute : declarations()) {
    object_ids.push_back(OM_ask_object_id(attribute));
    // Character data is a plain string or a text; every other attribute has plain flags.
    const int type = OM_ask_attribute_type(attribute);
    const unsigned flags = OM_ask_attribute_flags(attribute);
    if (type == OM_TYPE_CHARACTER) {
      EXPECT_TRUE(flags == OM_FLAGS_STRING || flags == OM_FLAGS_TEXT) << flags;
    } else {
      EXPECT_EQ(flags, OM_FLAGS_PLAIN) << type;
    }
  }
  EXPECT_EQ(sorted(object_ids), fixed_id_block(std::size(CLASS_IDS), 42));

  // Types that host code reads through the generic access functions.
  const auto type_of = [](int class_id, int attribute) {
    return OM_ask_attribute_type(OM_ask_attribute_p(class_id, attribute));
  };
  EXPECT_EQ(type_of(VERU_int_value_c, ATT_value__VERU1281), OM_TYPE_INT);
  EXPECT_EQ(type_of(VERU_real_value_c, ATT_value__VERU1281), OM_TYPE_REAL);
  EXPECT_EQ(type_of(VERU_recorded_value_c, ATT_locked__VERU1354), OM_TYPE_LOGICAL);
  EXPECT_EQ(type_of(VERU_pref_c, ATT_visibility_fn__VERU4161), OM_TYPE_FUNCTION);
  EXPECT_EQ(type_of(VERU_module_root_c, ATT_pref_set__VERU2866), OM_TYPE_REFERENCE);
  EXPECT_EQ(OM_ask_attribute_flags(OM_ask_attribute_p(VERU_pref_c, ATT_title__VERU1452)),
            OM_FLAGS_TEXT);
  EXPECT_EQ(OM_ask_attribute_flags(OM_ask_attribute_p(VERU_pref_c, ATT_name__VERU8887)),
            OM_FLAGS_STRING);

  // One name, one id, in every class that declares or inherits it.
  for (int class_id : {VERU_group_c, VERU_pref_c, VERU_data_c, VERU_enum_elem_c, VERU_range_elem_c,
                       VERU_pref_real_c, VERU_data_color_c}) {
    EXPECT_NE(OM_ask_attribute_p_ne(class_id, ATT_name__VERU8887), nullptr)
        << OM_ask_class_name(class_id);
  }
  EXPECT_EQ(OM_ask_attribute_p_ne(VERU_change_c, ATT_name__VERU8887), nullptr);
  EXPECT_EQ(OM_ask_attribute_p_ne(VERU_value_c, ATT_value__VERU1281), nullptr);

  for (const auto& [name, id] : HOST_ATTRIBUTE_IDS) {
    EXPECT_NE(*id, 0) << name;
    EXPECT_EQ(*id, OM_lookup_attribute(name)) << name;
  }
}

TEST(VeruSchema, RepeatedStartKeepsSchemaAndIds) {
  OM_schema_s* schema = VERU_init_schema();
  const std::vector<int> before = all_ids();
  EXPECT_EQ(VERU_init_schema(), schema);
  EXPECT_EQ(VERU_boot_schema(), schema);
  EXPECT_EQ(all_ids(), before);

  // VERU_init_ids fills the schema's own class and attribute ids by name.
  for (const IdVariable& row : CLASS_IDS) *row.second = 0;
  for (const IdVariable& row : ATTRIBUTE_IDS) *row.second = 0;
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
