// Building a schema from its tables, for the "VERU" and "VERU_VALIDATE" schemas.
#include "veru_schema_tables.h"

#include <cstring>

namespace {

constexpr unsigned FIXED_ID_BASE = 0x80000000u;

const veru_class_row_s& class_row_of(const veru_schema_tables_s& tables, const char* name) {
  for (const veru_class_row_s& row : tables.classes) {
    if (std::strcmp(row.name, name) == 0) return row;
  }
  ERROR_internal(__FILE__, __LINE__, "class %s is not in the %s class table", name, tables.name);
}

const veru_attribute_row_s& attribute_row_of(const veru_schema_tables_s& tables, const char* name) {
  for (const veru_attribute_row_s& row : tables.attributes) {
    if (std::strcmp(row.name, name) == 0) return row;
  }
  ERROR_internal(__FILE__, __LINE__, "attribute %s is not in the %s attribute table", name,
                 tables.name);
}

void create_attribute(const veru_attribute_row_s& row) {
  const bool is_array = row.array_dims >= 0;
  *row.id = OM_create_attribute(*row.class_id, row.name, row.kind.type, is_array,
                                is_array ? row.array_dims : 0, row.kind.flags,
                                row.ref_class ? OM_lookup_class(row.ref_class) : -1);
}

// Looked up by name: the schema may exist in the object manager while this library's id
// variables are still unset.
bool has_attributes(const veru_schema_tables_s& tables) {
  const int attribute = OM_lookup_attribute(tables.complete_attribute);
  const int class_id = OM_lookup_class(tables.complete_class);
  return attribute != 0 && class_id != 0 && OM_ask_attribute_p_ne(class_id, attribute) != nullptr;
}

}  // namespace

OM_schema_s* veru_boot_schema(const veru_schema_tables_s& tables) {
  if (OM_schema_s* existing = OM_lookup_schema(tables.name, 0)) return existing;
  OM_schema_s* schema = OM_create_schema(tables.name, 0);
  for (std::size_t i = 0; i < tables.classes.count; ++i) {
    const veru_class_row_s& row = class_row_of(tables, tables.creation_order[i]);
    *row.id = OM_create_class(schema, OM_lookup_class(row.base), row.name);
    if (row.is_abstract) OM_set_class_property(*row.id, OM_CLASS_PROPERTY_ABSTRACT);
    OM_set_class_property(*row.id, OM_CLASS_PROPERTY_APPLICATION);
  }
  for (const veru_class_row_s& row : tables.classes) {
    OM_force_set_object_id(OM_ask_class_of_class_id(*row.id), FIXED_ID_BASE + row.number);
  }
  return schema;
}

OM_schema_s* veru_init_schema(const veru_schema_tables_s& tables, void (*init_methods)(bool)) {
  OM_schema_s* schema = OM_lookup_schema(tables.name, 0);
  if (schema && has_attributes(tables)) return schema;
  if (!schema) {
    schema = veru_boot_schema(tables);
  } else {
    // Booted before, without its attributes: the classes are found by name.
    for (const veru_class_row_s& row : tables.classes) OM_special_lookup_class(row.id, row.name);
  }
  const bool create_attributes = !has_attributes(tables);
  if (create_attributes) {
    for (std::size_t i = 0; i < tables.attributes.count; ++i) {
      create_attribute(tables.attribute_creation_order
                           ? attribute_row_of(tables, tables.attribute_creation_order[i])
                           : tables.attributes.rows[i]);
    }
  }
  for (const veru_host_attribute_row_s& row : tables.host_attributes) {
    *row.id = OM_lookup_attribute(row.name);
  }
  if (create_attributes) {
    for (const veru_attribute_row_s& row : tables.attributes) {
      OM_force_set_object_id(OM_ask_attribute_p(*row.class_id, *row.id),
                             FIXED_ID_BASE + row.number);
    }
    init_methods(false);
  }
  return schema;
}

void veru_init_methods(const veru_schema_tables_s& tables) {
  for (std::size_t i = 0; i < tables.classes.count; ++i) {
    const veru_class_row_s& row = class_row_of(tables, tables.methods_order[i]);
    OM_class_descriptor*& table = tables.built[&row - tables.classes.rows];
    if (table) {
      OM_set_class_descriptor(*row.id, table);
      continue;
    }
    table = OM_init_class_descriptor(*row.id, OM_ask_class_descriptor(OM_lookup_class(row.base)));
    if (row.init_methods) row.init_methods(table);
  }
}

void veru_init_ids(const veru_schema_tables_s& tables) {
  for (const veru_class_row_s& row : tables.classes) OM_special_lookup_class(row.id, row.name);
  for (const veru_attribute_row_s& row : tables.attributes) {
    OM_special_lookup_attribute(row.id, row.name);
  }
}
