// Object manager: making, deleting and copying objects, tags and tag files.
#include <cstring>
#include <unordered_map>

#include <vavadoz/error.h>
#include <vavadoz/sm.h>
#include <vavadoz/text.h>
#include "om_internal.h"

namespace {

const char* const SOURCE = "host/om_object.cpp";

}  // namespace

void OM_clear_slot(OM_kind kind, OM_slot& slot) {
  switch (kind) {
    case OM_kind::logical:
      slot.l = false;
      break;
    case OM_kind::integer:
      slot.i = 0;
      break;
    case OM_kind::real:
      slot.r = 0.0;
      break;
    case OM_kind::reference:
      slot.o = nullptr;
      break;
    case OM_kind::string:
      slot.s = nullptr;
      break;
    case OM_kind::text:
      slot.t = nullptr;
      break;
    case OM_kind::pointer:
    case OM_kind::function:
      slot.p = nullptr;
      break;
  }
}

void OM_release_slot(OM_kind kind, OM_slot& slot) {
  if (kind == OM_kind::string) OM_free_string(slot.s);
  if (kind == OM_kind::text) TEXT_free(slot.t);
}

char* OM_copy_string(const char* text) {
  if (!text) return nullptr;
  const std::size_t size = std::strlen(text) + 1;
  char* copy = static_cast<char*>(SM_pool_alloc(size));
  std::memcpy(copy, text, size);
  return copy;
}

void OM_free_string(char* text) {
  if (text) SM_pool_free(text, std::strlen(text) + 1);
}

namespace {

std::size_t array_bytes(std::uint32_t capacity) {
  return sizeof(OM_array_s) + capacity * sizeof(OM_slot);
}

}  // namespace

void OM_resize_array(OM_array_s*& array, std::uint32_t length, OM_kind kind) {
  if (length == 0) {
    OM_free_array(array, kind);
    return;
  }
  const std::uint32_t old_length = array ? array->length : 0;
  for (std::uint32_t i = length; i < old_length; ++i) OM_release_slot(kind, array->elems()[i]);
  if (!array || length > array->capacity) {
    std::uint32_t capacity = array ? array->capacity : 0;
    while (capacity < length) capacity = capacity ? capacity * 2 : 2;
    auto* grown = static_cast<OM_array_s*>(SM_pool_alloc(array_bytes(capacity)));
    grown->capacity = capacity;
    if (array) {
      std::memcpy(grown->elems(), array->elems(), old_length * sizeof(OM_slot));
      SM_pool_free(array, array_bytes(array->capacity));
    }
    array = grown;
  }
  for (std::uint32_t i = old_length; i < length; ++i) OM_clear_slot(kind, array->elems()[i]);
  array->length = length;
}

void OM_free_array(OM_array_s*& array, OM_kind kind) {
  if (!array) return;
  for (std::uint32_t i = 0; i < array->length; ++i) OM_release_slot(kind, array->elems()[i]);
  SM_pool_free(array, array_bytes(array->capacity));
  array = nullptr;
}

namespace {

void release_slots(const OM_class_s* record, OM_object* object) {
  for (const OM_attribute_s* declaration : record->layout) {
    if (declaration->read || OM_object::is_header_bit(declaration->slot)) continue;
    if (declaration->is_variable_array()) {
      OM_free_array(object->slot(declaration->slot).a, declaration->kind);
    } else if (declaration->kind == OM_kind::function) {
      SM_pool_free(object->slot(declaration->slot).p, sizeof(OM_function_s));
    } else {
      for (int i = 0; i < declaration->slot_count; ++i) {
        OM_release_slot(declaration->kind, object->slot(declaration->slot + i));
      }
    }
  }
}

bool is_tagged(const OM_object* object) {
  return OM_class_record(object->class_id())->tagged;
}

void give_tag(OM_object* object) {
  if (!is_tagged(object)) return;
  OM_registry& registry = OM_the_registry();
  OM_object_access::set_tag(object, static_cast<unsigned>(registry.tagged.size()));
  registry.tagged.push_back(object);
}

// Objects that a full copy of root duplicates: root and, transitively, every untagged object
// it references. Walked without recursion, each object once.
std::vector<const OM_object*> copy_closure(const OM_object* root) {
  std::vector<const OM_object*> order{root};
  std::unordered_map<const OM_object*, std::size_t> seen{{root, 0}};
  auto visit = [&](const OM_object* referenced) {
    if (referenced && !is_tagged(referenced) && seen.emplace(referenced, order.size()).second) {
      order.push_back(referenced);
    }
  };
  for (std::size_t next = 0; next < order.size(); ++next) {
    const OM_object* object = order[next];
    if (!object->is_copyable()) {
      ERROR_internal(SOURCE, __LINE__, "objects of class %s cannot be copied",
                     OM_ask_class_name(object->class_id()));
    }
    for (const OM_attribute_s* declaration : OM_class_record(object->class_id())->layout) {
      if (declaration->read || declaration->kind != OM_kind::reference) continue;
      if (declaration->is_variable_array()) {
        if (const OM_array_s* array = object->slot(declaration->slot).a) {
          for (std::uint32_t i = 0; i < array->length; ++i) visit(array->elems()[i].o);
        }
      } else {
        for (int i = 0; i < declaration->slot_count; ++i) {
          visit(object->slot(declaration->slot + i).o);
        }
      }
    }
  }
  return order;
}

void copy_slot_value(OM_kind kind, const OM_slot& from, OM_slot& to,
                     const std::unordered_map<const OM_object*, OM_object*>& copies) {
  switch (kind) {
    case OM_kind::string:
      to.s = OM_copy_string(from.s);
      break;
    case OM_kind::text:
      to.t = TEXT_copy(from.t);
      break;
    case OM_kind::reference: {
      auto copied = copies.find(from.o);
      to.o = copied == copies.end() ? from.o : copied->second;
      break;
    }
    // Only the member itself: the slot may be the header word.
    case OM_kind::integer:
      to.i = from.i;
      break;
    case OM_kind::logical:
      to.l = from.l;
      break;
    default:
      to = from;
  }
}

void copy_slots(const OM_object* from, OM_object* to,
                const std::unordered_map<const OM_object*, OM_object*>& copies) {
  if (from->tag() != 0) give_tag(to);
  for (const OM_attribute_s* declaration : OM_class_record(from->class_id())->layout) {
    if (declaration->read) continue;
    if (OM_object::is_header_bit(declaration->slot)) {
      to->set_header_bit(declaration->slot, from->header_bit(declaration->slot));
      continue;
    }
    const OM_slot& source = from->slot(declaration->slot);
    if (declaration->is_variable_array()) {
      if (!source.a) continue;
      OM_array_s*& array = to->slot(declaration->slot).a;
      OM_resize_array(array, source.a->length, declaration->kind);
      for (std::uint32_t i = 0; i < array->length; ++i) {
        copy_slot_value(declaration->kind, source.a->elems()[i], array->elems()[i], copies);
      }
    } else if (declaration->kind == OM_kind::function) {
      if (!source.p) continue;
      to->slot(declaration->slot).p = SM_pool_alloc(sizeof(OM_function_s));
      *static_cast<OM_function_s*>(to->slot(declaration->slot).p) =
          *static_cast<const OM_function_s*>(source.p);
    } else {
      for (int i = 0; i < declaration->slot_count; ++i) {
        copy_slot_value(declaration->kind, from->slot(declaration->slot + i),
                        to->slot(declaration->slot + i), copies);
      }
    }
  }
}

}  // namespace

OM_object::~OM_object() = default;

OM_object* OM_create_object(int class_id) {
  OM_class_s* record = OM_class_record(class_id);
  if (record->properties & OM_CLASS_PROPERTY_ABSTRACT) {
    ERROR_internal(SOURCE, __LINE__, "class %s is abstract", record->name.c_str());
  }
  const OM_class_descriptor* descriptor = record->descriptor;
  if (!descriptor || !descriptor->construct) {
    ERROR_internal(SOURCE, __LINE__, "class %s has no operation table", record->name.c_str());
  }
  if (!record->sealed) OM_seal_class(record);
  const std::size_t slot_bytes = static_cast<std::size_t>(record->slot_count) * sizeof(OM_slot);
  // Every kind's empty value (false, 0, 0.0, null) is all zero bits, and pool blocks come zeroed.
  char* memory = static_cast<char*>(SM_pool_alloc(slot_bytes + descriptor->object_size));
  OM_object* object = descriptor->construct(memory + slot_bytes);
  OM_object_access::set_class(object, class_id);
  if (record->tagged) OM_object_access::set_tagged(object);
  return object;
}

void OM_delete_object(OM_object* object) {
  if (!object || (object->om_flags() & OM_FLAG_BEING_DELETED)) return;
  OM_object_access::set_flags(object, object->om_flags() | OM_FLAG_BEING_DELETED);
  OM_registry& registry = OM_the_registry();
  OM_class_s* record = OM_class_record(object->class_id());
  for (const OM_class_descriptor* descriptor = record->descriptor; descriptor;
       descriptor = descriptor->super) {
    if (descriptor->cascade) descriptor->cascade(object);
  }
  if (object->tag() != 0 && object->tag() < registry.tagged.size()) {
    registry.tagged[object->tag()] = nullptr;
  }
  release_slots(record, object);
  const std::size_t slot_bytes = static_cast<std::size_t>(record->slot_count) * sizeof(OM_slot);
  char* memory = reinterpret_cast<char*>(object) - slot_bytes;
  object->~OM_object();
  SM_pool_free(memory, slot_bytes + record->descriptor->object_size);
}

OM_object* OM_copy_object(const OM_object* object) {
  if (!object) return nullptr;
  if (!OM_class_record(object->class_id())->has_references && object->is_copyable()) {
    OM_object* copy = OM_create_object(object->class_id());
    copy_slots(object, copy, {});
    return copy;
  }
  std::vector<const OM_object*> originals = copy_closure(object);
  std::unordered_map<const OM_object*, OM_object*> copies;
  try {
    for (const OM_object* original : originals) {
      copies.emplace(original, OM_create_object(original->class_id()));
    }
  } catch (...) {
    for (auto& made : copies) OM_delete_object(made.second);
    throw;
  }
  for (const OM_object* original : originals) copy_slots(original, copies[original], copies);
  return copies[object];
}

unsigned OM_ask_object_tag(const OM_object* object) {
  return object ? object->tag() : 0;
}

OM_object* OM_ask_object_of_tag(unsigned tag) {
  OM_registry& registry = OM_the_registry();
  return tag < registry.tagged.size() ? registry.tagged[tag] : nullptr;
}

void OM_abstract_operation(const OM_object* object, const char* operation, const char* file,
                           int line) {
  ERROR_internal(file, line, "Attempt to invoke abstract method %s on %s &%p", operation,
                 OM_ask_class_name(object->class_id()), static_cast<const void*>(object));
}

void OM_check_ptr_class(const void* object, int class_id, const char* file, int line) {
  if (!object) {
    ERROR_internal(file, line, "null object where a %s is expected", OM_ask_class_name(class_id));
  }
  int actual = static_cast<const OM_object*>(object)->class_id();
  if (!OM_is_subclass(actual, class_id)) {
    ERROR_internal(file, line, "object of class %s where a %s is expected",
                   OM_is_subclass(actual, OM_object_class()) ? OM_ask_class_name(actual) : "?",
                   OM_ask_class_name(class_id));
  }
}

// Tags are unique in the process and never reused; the owner keeps the object alive and is not
// recorded.
void OM_tagged_object::initialise(OM_tagged_object* object, OM_object* /*owner*/) {
  if (OM_ask_object_tag(object) == 0) give_tag(object);
}

OM_tag_file* TAG_create_file(int kind, const char* name) {
  if (kind != 0) ERROR_internal(SOURCE, __LINE__, "tag files of kind %d do not exist", kind);
  OM_registry& registry = OM_the_registry();
  auto* file = static_cast<OM_tag_file*>(OM_create_object(registry.tag_file_class));
  OM_set_string(file, registry.save_label_attribute, name);
  registry.tag_files.push_back(file);
  return file;
}

void OM_create_root_object(OM_object* object, OM_tag_file* file) {
  OM_registry& registry = OM_the_registry();
  OM_check_ptr_class(file, registry.tag_file_class, SOURCE, __LINE__);
  if (object && is_tagged(object) && OM_ask_object_tag(object) == 0) give_tag(object);
  OM_set_pointer(file, registry.root_object_attribute, object);
}

OM_object* OM_ask_root_object(const OM_tag_file* file) {
  OM_registry& registry = OM_the_registry();
  OM_check_ptr_class(file, registry.tag_file_class, SOURCE, __LINE__);
  return OM_ask_pointer(file, registry.root_object_attribute);
}
