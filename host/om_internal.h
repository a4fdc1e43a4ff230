// Object manager internals shared by its sources: class records, attribute declarations and the
// process-wide registry. Not installed.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <vavadoz/om.h>

// How a declaration's slots are read and written.
enum class OM_kind { logical, integer, real, reference, pointer, string, text, function };

struct OM_schema_s {
  std::string name;
};

struct OM_meta_object_s {
  unsigned object_id = 0;
};

struct OM_attribute_s : OM_meta_object_s {
  int id = 0;
  int class_id = 0;
  int type = 0;
  unsigned flags = 0;
  int ref_class = -1;
  OM_kind kind = OM_kind::integer;
  bool is_array = false;
  int dims = 0;        // fixed array length; 0 for a variable-length array
  int slot = -1;       // first slot, set with the class layout; or OM_HEADER_SLOT
  int slot_count = 1;  // slots taken in each object
  // Attributes that the object manager answers from an object's own state have a reader and
  // no slot; they cannot be set.
  OM_slot (*read)(const OM_object* object) = nullptr;

  bool is_variable_array() const { return is_array && dims == 0; }
  bool is_fixed_array() const { return is_array && dims > 0; }
};

struct OM_class_s : OM_meta_object_s {
  int id = 0;
  std::string name;
  int base = 0;
  OM_schema_s* schema = nullptr;
  int properties = 0;
  std::vector<std::unique_ptr<OM_attribute_s>> declared;  // in order of declaration
  OM_class_descriptor* descriptor = nullptr;
  // Fixed when the first object is made or a slot is asked for; afterwards no attribute may be
  // added to the class or its bases.
  bool sealed = false;
  int slot_count = 0;
  std::vector<const OM_attribute_s*> layout;        // every attribute, inherited first
  std::vector<const OM_attribute_s*> placed_first;  // own attributes laid out before the others
  std::vector<const OM_attribute_s*> packed;        // own logicals asked for in header bits
  int header_bits_used = 0;
  std::vector<const OM_attribute_s*> by_id;  // attribute id -> declaration, or null
  bool has_references = false;  // some slot refers to another object: a copy must follow it
  bool tagged = false;          // objects carry a tag in their header word
  bool header_word_used = false;
};

// The slot index of the attribute kept in the header word of an untagged object.
constexpr int OM_HEADER_SLOT = -2;

// Variable-length array of a slot: a pool block with its elements after the header.
struct OM_array_s {
  std::uint32_t length;
  std::uint32_t capacity;
  OM_slot* elems() { return reinterpret_cast<OM_slot*>(this + 1); }
  const OM_slot* elems() const { return reinterpret_cast<const OM_slot*>(this + 1); }
};
// Gives the array room for length elements (growing it by doubling) and sets its length; new
// elements are cleared for kind, removed ones released. An array of length 0 is freed.
void OM_resize_array(OM_array_s*& array, std::uint32_t length, OM_kind kind);
void OM_free_array(OM_array_s*& array, OM_kind kind);

// A function attribute's pair, in a pool block of its own while the attribute is set.
struct OM_function_s {
  const char* name;
  OM_generic_fn fn;
};

struct OM_registry {
  std::vector<std::unique_ptr<OM_schema_s>> schemas;
  std::vector<std::unique_ptr<OM_class_s>> classes;  // index is the class id; 0 is unused
  std::unordered_map<std::string, int> class_ids;
  std::vector<std::string> attribute_names;  // index is the attribute id; 0 is unused
  std::unordered_map<std::string, int> attribute_ids;
  std::vector<std::unique_ptr<OM_class_descriptor>> descriptors;
  std::deque<OM_object*> tagged;  // index is the tag; 0 is unused. Grows without copying.
  std::vector<OM_tag_file*> tag_files;
  OM_ask_logical_customer_default_fn customer_default = nullptr;

  int object_class = 0;
  int methodic_object_class = 0;
  int tagged_object_class = 0;
  int tag_file_class = 0;
  int set_class = 0;
  int hash_set_class = 0;
  int string_class = 0;
  int string_set_class = 0;
  int string_object_map_class = 0;
  int string_slot = -1;  // slot of an OM_string's string
  int tag_attribute = 0;
  int root_object_attribute = 0;
  int save_label_attribute = 0;
};

// The registry, with the object manager's own schema in place.
extern OM_registry* OM_registry_instance;
OM_registry& OM_build_registry();
inline OM_registry& OM_the_registry() {
  return OM_registry_instance ? *OM_registry_instance : OM_build_registry();
}
// Reports a class id that names no class, as an internal error.
[[noreturn]] void OM_no_such_class(int class_id);
// Class record of a valid id; an internal error otherwise. Inline: every object made, copied or
// deleted looks up its class.
inline OM_class_s* OM_class_record(int class_id) {
  OM_registry& registry = OM_the_registry();
  if (class_id <= 0 || static_cast<std::size_t>(class_id) >= registry.classes.size()) {
    OM_no_such_class(class_id);
  }
  return registry.classes[static_cast<std::size_t>(class_id)].get();
}
// Fixes the class's layout once; does nothing for a sealed class.
void OM_seal_class(OM_class_s* record);
// Declares an attribute that the object manager answers from the object's own state.
int OM_create_computed_attribute(int class_id, const char* name, int type, unsigned flags,
                                 OM_slot (*read)(const OM_object*));
// Registers the object manager's set classes; called once while the registry is built.
void OM_init_set_classes(OM_registry& registry);
// Registers string objects, string sets and string-object maps; called by OM_init_set_classes.
void OM_init_string_classes(OM_registry& registry);

// Strings that objects own live in the pools (SM_pool_alloc).
char* OM_copy_string(const char* text);
void OM_free_string(char* text);

// Gives a slot the empty value of its kind; releases the string or text a slot holds.
void OM_clear_slot(OM_kind kind, OM_slot& slot);
void OM_release_slot(OM_kind kind, OM_slot& slot);

// Sets an object's class once it is constructed.
struct OM_object_access {
  static void set_class(OM_object* object, int class_id) {
    object->class_id_ = static_cast<std::uint16_t>(class_id);
  }
  static void set_flags(OM_object* object, unsigned flags) {
    object->flags_ = static_cast<std::uint16_t>((flags & OM_object::FLAG_BITS) |
                                                (object->flags_ & ~OM_object::FLAG_BITS));
  }
  static void set_tagged(OM_object* object) { object->flags_ |= OM_object::TAGGED; }
  static void set_tag(OM_object* object, unsigned tag) { object->word_ = tag; }
};

// om_flags bits.
constexpr unsigned OM_FLAG_BEING_DELETED = 0x1;
