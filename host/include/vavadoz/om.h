// Object manager: schemas, classes, attributes, objects and their attribute slots, tags.
// Sets live in om_set.h; both are declared through vavadoz.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

#include "api.h"

VAVADOZ_EXPORTS_BEGIN

struct TEXT_s;
class OM_object;

// Attribute type codes passed to OM_create_attribute.
enum : int {
  OM_TYPE_LOGICAL = 0,
  OM_TYPE_INT = 3,
  OM_TYPE_REFERENCE = 4,
  OM_TYPE_REAL = 6,
  OM_TYPE_CHARACTER = 13,
  OM_TYPE_FUNCTION = 14,
  OM_TYPE_POINTER = 15,
};

// Flags words of OM_create_attribute. Character data is a plain byte string or a TEXT_s.
constexpr unsigned OM_FLAGS_PLAIN = 0x00000001u;
constexpr unsigned OM_FLAGS_STRING = 0x20000001u;
constexpr unsigned OM_FLAGS_TEXT = 0x30000001u;

// Class properties set with OM_set_class_property.
constexpr int OM_CLASS_PROPERTY_ABSTRACT = 0x1;
constexpr int OM_CLASS_PROPERTY_APPLICATION = 0x1000;

using OM_generic_fn = void (*)();
using OM_construct_fn = OM_object* (*)(void* memory);
using OM_cascade_fn = void (*)(OM_object* object);

// One attribute slot of an object. Which member is live is fixed by the attribute's declaration;
// slots are initialised by type when the object is made.
union OM_slot {
  int i;
  bool l;
  double r;
  void* p;
  char* s;
  TEXT_s* t;
  OM_object* o;
  OM_generic_fn f;
  struct OM_array_s* a;
};
static_assert(sizeof(OM_slot) == 8, "one slot is one machine word");

// Schemas, class records and attribute declarations are owned by the object manager and live
// for the whole process. Class and attribute records carry an object id that a schema may fix.
struct OM_schema_s;
struct OM_class_s;
struct OM_attribute_s;

// Operation table of a class as the object manager sees it: how to make an object of the
// class's C++ type, the class operations create and initialise, and the class's own deletion
// step. The C++ virtual table of the constructed type holds the operations themselves.
struct OM_class_descriptor {
  int class_id = 0;
  const OM_class_descriptor* super = nullptr;
  OM_construct_fn construct = nullptr;
  std::size_t object_size = 0;
  OM_generic_fn create = nullptr;
  OM_generic_fn initialise = nullptr;
  OM_cascade_fn cascade = nullptr;
};

// The slot index of a logical that its class keeps in a bit of the object's header
// (OM_pack_logical) is OM_HEADER_BIT_SLOT - n for bit n; such a logical has no slot of its own.
constexpr int OM_HEADER_BIT_SLOT = -3;
constexpr int OM_HEADER_BITS = 7;

// Base of every object of the object manager. Attribute slots are stored in the same allocation,
// directly in front of the C++ object: slot i sits at ((OM_slot*)this)[-1 - i]. Subclasses may
// add C++ state of their own (sets do); attribute data always lives in slots. The header holds
// the class id, the object manager's flags and a word that is the tag of a tagged object; in an
// object of any other class the word holds the class's first int or logical attribute, whose
// slot index is then -2 (the header as a slot, of which only the int or logical is used). The
// flags leave room for the logicals that a class packs into header bits.
class OM_object {
 public:
  OM_object(const OM_object&) = delete;
  OM_object& operator=(const OM_object&) = delete;
  virtual ~OM_object();
  // Objects that hold state outside their slots cannot be copied by OM_copy_object.
  virtual bool is_copyable() const { return true; }

  int class_id() const { return class_id_; }
  unsigned om_flags() const { return flags_ & FLAG_BITS; }
  unsigned tag() const { return (flags_ & TAGGED) ? word_ : 0; }

  OM_slot& slot(int index) { return reinterpret_cast<OM_slot*>(this)[-1 - index]; }
  const OM_slot& slot(int index) const {
    return reinterpret_cast<const OM_slot*>(this)[-1 - index];
  }
  // A logical kept in a header bit, by the slot index that OM_ask_attribute_slot gave.
  static bool is_header_bit(int index) { return index <= OM_HEADER_BIT_SLOT; }
  bool header_bit(int index) const { return (flags_ & header_bit_mask(index)) != 0; }
  void set_header_bit(int index, bool value) {
    flags_ = static_cast<std::uint16_t>(value ? flags_ | header_bit_mask(index)
                                              : flags_ & ~header_bit_mask(index));
  }
  // The object in a reference slot, as T: the class that the attribute refers to (or a base).
  template <class T>
  T* slot_object(int index) const {
    return static_cast<T*>(slot(index).o);
  }

  // Objects are made and freed only by the object manager (OM_create_object, OM_delete_object).
  static void* operator new(std::size_t) = delete;
  static void* operator new(std::size_t, void* place) noexcept { return place; }
  static void operator delete(void*, void*) noexcept {}

 protected:
  OM_object() = default;
  // Never called: OM_delete_object frees the allocation, which begins before the object.
  static void operator delete(void*) {}

 private:
  friend struct OM_object_access;
  static constexpr std::uint16_t FLAG_BITS = 0x00ff;
  static constexpr std::uint16_t TAGGED = 0x8000;
  // Bits 8 to 14 hold packed logicals.
  static std::uint16_t header_bit_mask(int index) {
    return static_cast<std::uint16_t>(0x100u << (OM_HEADER_BIT_SLOT - index));
  }
  std::uint32_t word_ = 0;
  std::uint16_t class_id_ = 0;
  std::uint16_t flags_ = 0;
};
static_assert(sizeof(OM_object) == 2 * sizeof(OM_slot), "a virtual table and one header word");

// The object manager's own classes that library classes derive from.
class OM_methodic_object : public OM_object {};

class OM_tagged_object : public OM_methodic_object {
 public:
  // Gives the object its tag; owner is the object that keeps it alive (the module root).
  static void initialise(OM_tagged_object* object, OM_object* owner);
};

// A tag file: a named container whose root object the host can find again.
class OM_tag_file : public OM_methodic_object {};

template <class T>
OM_object* OM_construct(void* memory) {
  return new (memory) T();
}

// Makes objects of the descriptor's class C++ objects of type T.
template <class T>
void OM_set_constructor(OM_class_descriptor* descriptor) {
  static_assert(alignof(T) <= alignof(OM_slot), "objects follow their slots");
  descriptor->construct = &OM_construct<T>;
  descriptor->object_size = sizeof(T);
}

// ---- schemas and classes ----------------------------------------------------------------

OM_schema_s* OM_create_schema(const char* name, int flags);
OM_schema_s* OM_lookup_schema(const char* name, int flags);
const char* OM_ask_schema_name(const OM_schema_s* schema);

// Creates a class of the schema derived from base_class; returns its id. A name that is in use
// is an internal error.
int OM_create_class(OM_schema_s* schema, int base_class, const char* name);
// Id of the class with this name, 0 when there is none.
int OM_lookup_class(const char* name);
void OM_special_lookup_class(int* class_id, const char* name);
const char* OM_ask_class_name(int class_id);
int OM_ask_superclass(int class_id);
OM_schema_s* OM_ask_class_schema(int class_id);
void OM_set_class_property(int class_id, int property);
bool OM_ask_class_property(int class_id, int property);
// True when class_id is base_id or derives from it.
bool OM_is_subclass(int class_id, int base_id);
OM_class_s* OM_ask_class_of_class_id(int class_id);

void OM_force_set_object_id(OM_class_s* record, unsigned object_id);
void OM_force_set_object_id(OM_attribute_s* declaration, unsigned object_id);
unsigned OM_ask_object_id(const OM_class_s* record);
unsigned OM_ask_object_id(const OM_attribute_s* declaration);

// Well-known classes of the object manager.
int OM_object_class();
int OM_methodic_object_class();
int OM_tagged_object_class();

// ---- attributes ---------------------------------------------------------------------------

// Declares attribute `name` on the class. One id per name, shared by every class that declares
// it. dims is the fixed length of an array, 0 for a variable-length one. ref_class restricts a
// reference (-1: any object).
int OM_create_attribute(int class_id, const char* name, int type, bool is_array, int dims,
                        unsigned flags, int ref_class);
// Id of the attribute name, 0 when undefined.
int OM_lookup_attribute(const char* name);
void OM_special_lookup_attribute(int* attribute_id, const char* name);
const char* OM_ask_attribute_name(int attribute_id);
// Declaration of the attribute on the class (inherited ones included); null when absent.
OM_attribute_s* OM_ask_attribute_p_ne(int class_id, int attribute_id);
// The same, an internal error when absent.
OM_attribute_s* OM_ask_attribute_p(int class_id, int attribute_id);
int OM_ask_attribute_type(const OM_attribute_s* attribute);
unsigned OM_ask_attribute_flags(const OM_attribute_s* attribute);
// Slot index of the attribute in objects of the class; fixes the class's slot layout.
int OM_ask_attribute_slot(int class_id, int attribute_id);
// Lays out the attribute that the class declares before its others, nearest the object's
// header: for the few attributes that are read together most, so that they share a cache line.
// Attributes placed so come in the order of the calls; only before the layout is fixed.
void OM_place_attribute_first(int class_id, int attribute_id);
// Keeps a logical that the class declares in a bit of its objects' header instead of a slot
// (up to OM_HEADER_BITS in a class and its bases; further ones keep a slot). The class's own
// operations then read and write it with OM_object::header_bit and set_header_bit. Only before
// the layout is fixed.
void OM_pack_logical(int class_id, int attribute_id);

// ---- operation tables ---------------------------------------------------------------------

OM_class_descriptor* OM_init_class_descriptor(int class_id, const OM_class_descriptor* super);
void OM_set_class_descriptor(int class_id, OM_class_descriptor* descriptor);
OM_class_descriptor* OM_ask_class_descriptor(int class_id);
const OM_class_descriptor* OM_ask_super_descriptor(const OM_class_descriptor* descriptor);
// Adds the class's deletion step; it runs, derived classes first, when an object is deleted.
void OM_init_cascading_method(OM_class_descriptor* descriptor, OM_cascade_fn step);

// ---- objects ------------------------------------------------------------------------------

OM_object* OM_create_object(int class_id);
// Runs the deletion steps of the object's class chain, then frees the object. Null is ignored.
void OM_delete_object(OM_object* object);
// A full copy: strings, texts and arrays are copied, and so is every object that the original
// references, except tagged objects, which belong to their owner and are shared.
OM_object* OM_copy_object(const OM_object* object);
unsigned OM_ask_object_tag(const OM_object* object);
OM_object* OM_ask_object_of_tag(unsigned tag);
// Internal error unless object is non-null and of class_id or a subclass.
void OM_check_ptr_class(const void* object, int class_id, const char* file, int line);
// The body of an abstract operation: reports the internal error "Attempt to invoke abstract
// method <operation> on <class> &<address>" from file and line.
[[noreturn]] void OM_abstract_operation(const OM_object* object, const char* operation,
                                        const char* file, int line);

OM_tag_file* TAG_create_file(int kind, const char* name);
void OM_create_root_object(OM_object* object, OM_tag_file* file);
OM_object* OM_ask_root_object(const OM_tag_file* file);

// ---- attribute access by id ---------------------------------------------------------------
// Every call checks that the object's class has the attribute and that its type matches;
// a mismatch is an internal error. Setters copy strings and texts.

int OM_ask_int(const OM_object* object, int attribute);
void OM_set_int(OM_object* object, int attribute, int value);
bool OM_ask_logical(const OM_object* object, int attribute);
void OM_set_logical(OM_object* object, int attribute, bool value);
double OM_ask_real(const OM_object* object, int attribute);
void OM_set_real(OM_object* object, int attribute, double value);
OM_object* OM_ask_pointer(const OM_object* object, int attribute);
void OM_set_pointer(OM_object* object, int attribute, OM_object* value);
void* OM_ask_untyped_pointer(const OM_object* object, int attribute);
void OM_set_untyped_pointer(OM_object* object, int attribute, void* value);
const char* OM_ask_string(const OM_object* object, int attribute);
void OM_set_string(OM_object* object, int attribute, const char* value);
TEXT_s* OM_ask_text(const OM_object* object, int attribute);
void OM_set_text(OM_object* object, int attribute, const TEXT_s* value);
// A function attribute holds a pair: a name, which the caller keeps alive, and a function.
bool OM_ask_function(const OM_object* object, int attribute, const char** name, OM_generic_fn* fn);
void OM_set_function(OM_object* object, int attribute, const char* name, OM_generic_fn fn);

int OM_ask_array_length(const OM_object* object, int attribute);
void OM_set_array_length(OM_object* object, int attribute, int length);
OM_object* OM_ask_pointer_elem(const OM_object* object, int attribute, int index);
void OM_set_pointer_elem(OM_object* object, int attribute, int index, OM_object* value);
int OM_ask_int_elem(const OM_object* object, int attribute, int index);
void OM_set_int_elem(OM_object* object, int attribute, int index, int value);
const char* OM_ask_string_elem(const OM_object* object, int attribute, int index);
void OM_set_string_elem(OM_object* object, int attribute, int index, const char* value);

// Deletes the object referenced by the attribute and clears the reference.
void OM_delete_referenced_object(OM_object* object, int attribute);
// The same for count elements of a reference array from index on.
void OM_delete_referenced_objects(OM_object* object, int attribute, int index, int count);

// ---- slot access for a class's own operations ---------------------------------------------
// A class that resolved its slot indices with OM_ask_attribute_slot reads and writes its slots
// directly; these keep the object manager's ownership of strings, texts, arrays and objects.

// Stores a copy of value (null clears), releasing the string held before.
void OM_store_string(OM_slot& slot, const char* value);
// Stores a copy of value; OM_take_text takes ownership of value instead.
void OM_store_text(OM_slot& slot, const TEXT_s* value);
void OM_take_text(OM_slot& slot, TEXT_s* value);
// Deletes the object the slot refers to and clears the slot.
void OM_delete_slot_object(OM_slot& slot);
// Variable-length arrays of references.
int OM_slot_array_length(const OM_slot& slot);
OM_object* OM_slot_array_elem(const OM_slot& slot, int index);
void OM_slot_array_append(OM_slot& slot, OM_object* element);

// ---- the host's customer defaults ---------------------------------------------------------

using OM_ask_logical_customer_default_fn = bool (*)(const char* name);
void OM_register_ask_logical_customer_default_fn(OM_ask_logical_customer_default_fn fn);
// Answers through the registered function; an internal error when none is registered.
bool OM_ask_logical_customer_default(const char* name);

VAVADOZ_EXPORTS_END
