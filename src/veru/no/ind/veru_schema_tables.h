// How the library's two schemas are built from their tables: the classes with their bases,
// properties and fixed object ids, the attributes, and the operation tables.
#pragma once

#include <veru.h>

#include <cstddef>

// One class: its id variable, names, whether it is abstract, its number (the fixed object id is
// 0x80000000 plus the number), and the function that fills its operation table (null for none).
struct veru_class_row_s {
  int* id;
  const char* name;
  const char* base;
  bool is_abstract;
  unsigned number;
  void (*init_methods)(OM_class_descriptor* table);
};

// The type code and flags word of an attribute.
struct veru_attribute_kind_s {
  int type;
  unsigned flags;
};
constexpr veru_attribute_kind_s VERU_KIND_LOGICAL{OM_TYPE_LOGICAL, OM_FLAGS_PLAIN};
constexpr veru_attribute_kind_s VERU_KIND_INT{OM_TYPE_INT, OM_FLAGS_PLAIN};
constexpr veru_attribute_kind_s VERU_KIND_REAL{OM_TYPE_REAL, OM_FLAGS_PLAIN};
constexpr veru_attribute_kind_s VERU_KIND_REFERENCE{OM_TYPE_REFERENCE, OM_FLAGS_PLAIN};
constexpr veru_attribute_kind_s VERU_KIND_FUNCTION{OM_TYPE_FUNCTION, OM_FLAGS_PLAIN};
constexpr veru_attribute_kind_s VERU_KIND_POINTER{OM_TYPE_POINTER, OM_FLAGS_PLAIN};
// Character data: a byte string with flags 1 or with the string flags, or a text.
constexpr veru_attribute_kind_s VERU_KIND_CHARACTERS{OM_TYPE_CHARACTER, OM_FLAGS_PLAIN};
constexpr veru_attribute_kind_s VERU_KIND_STRING{OM_TYPE_CHARACTER, OM_FLAGS_STRING};
constexpr veru_attribute_kind_s VERU_KIND_TEXT{OM_TYPE_CHARACTER, OM_FLAGS_TEXT};

// One attribute declaration; array_dims is -1 for an attribute that is not an array, 0 for a
// variable-length array, otherwise the fixed length.
struct veru_attribute_row_s {
  int* class_id;
  const char* name;
  veru_attribute_kind_s kind;
  int array_dims;
  const char* ref_class;
  unsigned number;
  int* id;
};

// An attribute of the object manager that a schema only looks up.
struct veru_host_attribute_row_s {
  const char* name;
  int* id;
};

template <class Row>
struct veru_rows_s {
  const Row* rows;
  std::size_t count;
  const Row* begin() const { return rows; }
  const Row* end() const { return rows + count; }
};

template <class Row, std::size_t N>
constexpr veru_rows_s<Row> veru_rows(const Row (&rows)[N]) {
  return {rows, N};
}

// A schema's tables and orders. The orders name every class (and, when given, every
// attribute) once. A schema is complete when complete_class has complete_attribute; both are
// looked up by name, since the schema may exist in the object manager while this library's id
// variables are still unset.
struct veru_schema_tables_s {
  const char* name;
  veru_rows_s<veru_class_row_s> classes;
  const char* const* creation_order;
  const char* const* methods_order;
  veru_rows_s<veru_attribute_row_s> attributes;
  const char* const* attribute_creation_order;  // null: the attribute table's order
  veru_rows_s<veru_host_attribute_row_s> host_attributes;
  const char* complete_class;
  const char* complete_attribute;
  OM_class_descriptor** built;  // one per class row: the tables made in this process
};

// The schema with its classes, made unless it exists.
OM_schema_s* veru_boot_schema(const veru_schema_tables_s& tables);
// The schema with its attributes and operation tables; init_methods builds the tables.
OM_schema_s* veru_init_schema(const veru_schema_tables_s& tables, void (*init_methods)(bool));
// Builds each class's operation table once per process; later calls re-attach them.
void veru_init_methods(const veru_schema_tables_s& tables);
// Fills the class and attribute id variables from the existing schema, by name.
void veru_init_ids(const veru_schema_tables_s& tables);
