// Object manager: reading and writing attributes by id, with the declaration checked on every
// call.
#include <cstdint>
#include <cstring>

#include <vavadoz/error.h>
#include <vavadoz/sm.h>
#include <vavadoz/text.h>
#include "om_internal.h"
#include "sm_internal.h"

namespace {

const char* const SOURCE = "host/om_access.cpp";

const char* kind_name(OM_kind kind) {
  switch (kind) {
    case OM_kind::logical:
      return "logical";
    case OM_kind::integer:
      return "int";
    case OM_kind::real:
      return "real";
    case OM_kind::reference:
      return "reference";
    case OM_kind::pointer:
      return "pointer";
    case OM_kind::string:
      return "string";
    case OM_kind::text:
      return "text";
    case OM_kind::function:
      return "function";
  }
  return "?";
}

enum class Shape { scalar, array };

const OM_attribute_s& declaration_of(const OM_object* object, int attribute, OM_kind kind,
                                     Shape shape) {
  if (!object) {
    ERROR_internal(SOURCE, __LINE__, "attribute %s of no object",
                   OM_ask_attribute_name(attribute) ? OM_ask_attribute_name(attribute) : "?");
  }
  const OM_attribute_s* declaration = OM_ask_attribute_p(object->class_id(), attribute);
  if (declaration->kind != kind) {
    ERROR_internal(SOURCE, __LINE__, "attribute %s of class %s is of type %s, not %s",
                   OM_ask_attribute_name(attribute), OM_ask_class_name(object->class_id()),
                   kind_name(declaration->kind), kind_name(kind));
  }
  if ((shape == Shape::array) != declaration->is_array) {
    ERROR_internal(SOURCE, __LINE__, "attribute %s of class %s %s an array",
                   OM_ask_attribute_name(attribute), OM_ask_class_name(object->class_id()),
                   declaration->is_array ? "is" : "is not");
  }
  return *declaration;
}

const OM_attribute_s& writable(const OM_attribute_s& declaration) {
  if (declaration.read) {
    ERROR_internal(SOURCE, __LINE__, "attribute %s is read-only",
                   OM_ask_attribute_name(declaration.id));
  }
  return declaration;
}

OM_slot read_scalar(const OM_object* object, int attribute, OM_kind kind) {
  const OM_attribute_s& declaration = declaration_of(object, attribute, kind, Shape::scalar);
  if (declaration.read) return declaration.read(object);
  if (OM_object::is_header_bit(declaration.slot)) {
    OM_slot value{};
    value.l = object->header_bit(declaration.slot);
    return value;
  }
  return object->slot(declaration.slot);
}

OM_slot& scalar_slot(OM_object* object, int attribute, OM_kind kind) {
  const OM_attribute_s& declaration =
      writable(declaration_of(object, attribute, kind, Shape::scalar));
  return object->slot(declaration.slot);
}

int array_length(const OM_object* object, const OM_attribute_s& declaration) {
  if (declaration.is_fixed_array()) return declaration.dims;
  const OM_array_s* array = object->slot(declaration.slot).a;
  return array ? static_cast<int>(array->length) : 0;
}

OM_slot& element_slot(const OM_object* object, int attribute, OM_kind kind, int index) {
  const OM_attribute_s& declaration = declaration_of(object, attribute, kind, Shape::array);
  if (index < 0 || index >= array_length(object, declaration)) {
    ERROR_internal(SOURCE, __LINE__, "index %d is outside attribute %s of length %d", index,
                   OM_ask_attribute_name(attribute), array_length(object, declaration));
  }
  auto* mutable_object = const_cast<OM_object*>(object);
  if (declaration.is_fixed_array()) return mutable_object->slot(declaration.slot + index);
  return mutable_object->slot(declaration.slot).a->elems()[index];
}

void check_reference_class(const OM_attribute_s& declaration, const OM_object* value) {
  if (value && declaration.ref_class != -1 &&
      !OM_is_subclass(value->class_id(), declaration.ref_class)) {
    ERROR_internal(SOURCE, __LINE__, "attribute %s takes a %s, not a %s",
                   OM_ask_attribute_name(declaration.id), OM_ask_class_name(declaration.ref_class),
                   OM_ask_class_name(value->class_id()));
  }
}

const OM_attribute_s& any_array(const OM_object* object, int attribute) {
  if (!object) ERROR_internal(SOURCE, __LINE__, "array of no object");
  const OM_attribute_s* declaration = OM_ask_attribute_p(object->class_id(), attribute);
  if (!declaration->is_array) {
    ERROR_internal(SOURCE, __LINE__, "attribute %s is not an array",
                   OM_ask_attribute_name(attribute));
  }
  return *declaration;
}

}  // namespace

int OM_ask_int(const OM_object* object, int attribute) {
  return read_scalar(object, attribute, OM_kind::integer).i;
}

void OM_set_int(OM_object* object, int attribute, int value) {
  scalar_slot(object, attribute, OM_kind::integer).i = value;
}

bool OM_ask_logical(const OM_object* object, int attribute) {
  return read_scalar(object, attribute, OM_kind::logical).l;
}

void OM_set_logical(OM_object* object, int attribute, bool value) {
  const OM_attribute_s& declaration =
      writable(declaration_of(object, attribute, OM_kind::logical, Shape::scalar));
  if (OM_object::is_header_bit(declaration.slot)) {
    object->set_header_bit(declaration.slot, value);
  } else {
    object->slot(declaration.slot).l = value;
  }
}

double OM_ask_real(const OM_object* object, int attribute) {
  return read_scalar(object, attribute, OM_kind::real).r;
}

void OM_set_real(OM_object* object, int attribute, double value) {
  scalar_slot(object, attribute, OM_kind::real).r = value;
}

OM_object* OM_ask_pointer(const OM_object* object, int attribute) {
  return read_scalar(object, attribute, OM_kind::reference).o;
}

void OM_set_pointer(OM_object* object, int attribute, OM_object* value) {
  const OM_attribute_s& declaration =
      writable(declaration_of(object, attribute, OM_kind::reference, Shape::scalar));
  check_reference_class(declaration, value);
  object->slot(declaration.slot).o = value;
}

void* OM_ask_untyped_pointer(const OM_object* object, int attribute) {
  return read_scalar(object, attribute, OM_kind::pointer).p;
}

void OM_set_untyped_pointer(OM_object* object, int attribute, void* value) {
  scalar_slot(object, attribute, OM_kind::pointer).p = value;
}

const char* OM_ask_string(const OM_object* object, int attribute) {
  return read_scalar(object, attribute, OM_kind::string).s;
}

void OM_set_string(OM_object* object, int attribute, const char* value) {
  OM_store_string(scalar_slot(object, attribute, OM_kind::string), value);
}

TEXT_s* OM_ask_text(const OM_object* object, int attribute) {
  return read_scalar(object, attribute, OM_kind::text).t;
}

void OM_set_text(OM_object* object, int attribute, const TEXT_s* value) {
  OM_slot& slot = scalar_slot(object, attribute, OM_kind::text);
  TEXT_s* copy = TEXT_copy(value);
  TEXT_free(slot.t);
  slot.t = copy;
}

bool OM_ask_function(const OM_object* object, int attribute, const char** name, OM_generic_fn* fn) {
  const OM_attribute_s& declaration =
      declaration_of(object, attribute, OM_kind::function, Shape::scalar);
  const auto* pair = static_cast<const OM_function_s*>(object->slot(declaration.slot).p);
  if (name) *name = pair ? pair->name : nullptr;
  if (fn) *fn = pair ? pair->fn : nullptr;
  return pair && pair->fn;
}

void OM_set_function(OM_object* object, int attribute, const char* name, OM_generic_fn fn) {
  const OM_attribute_s& declaration =
      writable(declaration_of(object, attribute, OM_kind::function, Shape::scalar));
  void*& pair = object->slot(declaration.slot).p;
  if (!pair) pair = SM_pool_alloc(sizeof(OM_function_s));
  *static_cast<OM_function_s*>(pair) = OM_function_s{name, fn};
}

int OM_ask_array_length(const OM_object* object, int attribute) {
  return array_length(object, any_array(object, attribute));
}

void OM_set_array_length(OM_object* object, int attribute, int length) {
  const OM_attribute_s& declaration = any_array(object, attribute);
  if (declaration.is_fixed_array()) {
    if (length != declaration.dims) {
      ERROR_internal(SOURCE, __LINE__, "attribute %s has the fixed length %d",
                     OM_ask_attribute_name(attribute), declaration.dims);
    }
    return;
  }
  if (length < 0) {
    ERROR_internal(SOURCE, __LINE__, "attribute %s cannot have length %d",
                   OM_ask_attribute_name(attribute), length);
  }
  OM_resize_array(object->slot(declaration.slot).a, static_cast<std::uint32_t>(length),
                  declaration.kind);
}

OM_object* OM_ask_pointer_elem(const OM_object* object, int attribute, int index) {
  return element_slot(object, attribute, OM_kind::reference, index).o;
}

void OM_set_pointer_elem(OM_object* object, int attribute, int index, OM_object* value) {
  OM_slot& slot = element_slot(object, attribute, OM_kind::reference, index);
  check_reference_class(*OM_ask_attribute_p(object->class_id(), attribute), value);
  slot.o = value;
}

int OM_ask_int_elem(const OM_object* object, int attribute, int index) {
  return element_slot(object, attribute, OM_kind::integer, index).i;
}

void OM_set_int_elem(OM_object* object, int attribute, int index, int value) {
  element_slot(object, attribute, OM_kind::integer, index).i = value;
}

const char* OM_ask_string_elem(const OM_object* object, int attribute, int index) {
  return element_slot(object, attribute, OM_kind::string, index).s;
}

void OM_set_string_elem(OM_object* object, int attribute, int index, const char* value) {
  OM_store_string(element_slot(object, attribute, OM_kind::string, index), value);
}

void OM_delete_referenced_object(OM_object* object, int attribute) {
  OM_slot& slot = scalar_slot(object, attribute, OM_kind::reference);
  OM_object* referenced = slot.o;
  slot.o = nullptr;
  OM_delete_object(referenced);
}

void OM_delete_referenced_objects(OM_object* object, int attribute, int index, int count) {
  const int length = OM_ask_array_length(object, attribute);
  if (index < 0 || count < 0 || count > length - index) {
    ERROR_internal(SOURCE, __LINE__, "elements %d to %d are outside attribute %s of length %d",
                   index, index + count - 1, OM_ask_attribute_name(attribute), length);
  }
  for (int i = index; i < index + count; ++i) {
    OM_slot& slot = element_slot(object, attribute, OM_kind::reference, i);
    OM_object* referenced = slot.o;
    slot.o = nullptr;
    OM_delete_object(referenced);
  }
}

void OM_store_string(OM_slot& slot, const char* value) {
  // A string that fits the block of the one it replaces takes its place, so that it stays beside
  // the object that holds it (a query reads both).
  if (value && slot.s) {
    const std::size_t old_size = std::strlen(slot.s) + 1;
    const std::size_t size = std::strlen(value) + 1;
    const auto at = reinterpret_cast<std::uintptr_t>(value);
    const auto old_at = reinterpret_cast<std::uintptr_t>(slot.s);
    if ((at < old_at || at >= old_at + old_size) &&
        SM_pool_resize_in_place(slot.s, old_size, size)) {
      std::memcpy(slot.s, value, size);
      return;
    }
  }
  char* copy = OM_copy_string(value);
  OM_free_string(slot.s);
  slot.s = copy;
}

void OM_store_text(OM_slot& slot, const TEXT_s* value) {
  OM_take_text(slot, TEXT_copy(value));
}

void OM_take_text(OM_slot& slot, TEXT_s* value) {
  if (slot.t == value) return;
  TEXT_free(slot.t);
  slot.t = value;
}

void OM_delete_slot_object(OM_slot& slot) {
  OM_object* referenced = slot.o;
  slot.o = nullptr;
  OM_delete_object(referenced);
}

int OM_slot_array_length(const OM_slot& slot) {
  return slot.a ? static_cast<int>(slot.a->length) : 0;
}

OM_object* OM_slot_array_elem(const OM_slot& slot, int index) {
  if (index < 0 || index >= OM_slot_array_length(slot)) {
    ERROR_internal(SOURCE, __LINE__, "index %d is outside an array of length %d", index,
                   OM_slot_array_length(slot));
  }
  return slot.a->elems()[index].o;
}

void OM_slot_array_append(OM_slot& slot, OM_object* element) {
  const std::uint32_t length = slot.a ? slot.a->length : 0;
  OM_resize_array(slot.a, length + 1, OM_kind::reference);
  slot.a->elems()[length].o = element;
}
