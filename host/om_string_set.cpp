// Object manager: string objects, and the string sets and string-object maps that hold them.
#include <absl/container/flat_hash_map.h>

#include <cstring>
#include <string>

#include <vavadoz/error.h>
#include <vavadoz/om_set.h>
#include <vavadoz/sm.h>
#include "om_internal.h"

struct OM_string_object_map::table_s {
  absl::flat_hash_map<std::string, OM_object*> entries;
};

namespace {

const char* const SOURCE = "host/om_string_set.cpp";

// A null key or string stands for the empty string.
const char* key_text(const void* key) {
  return key ? static_cast<const char*>(key) : "";
}

const char* string_of(const OM_object* element) {
  return key_text(static_cast<const OM_string*>(element)->ask_string());
}

int key_compare(const void* key, const OM_object* element) {
  return std::strcmp(key_text(key), string_of(element)) == 0 ? 0 : 1;
}

int element_compare(const OM_object* a, const OM_object* b) {
  return std::strcmp(string_of(a), string_of(b)) == 0 ? 0 : 1;
}

unsigned key_hash(const void* key) {
  return OM_hash_string(key_text(key));
}

unsigned element_hash(const OM_object* element) {
  return OM_hash_string(string_of(element));
}

}  // namespace

void OM_init_string_classes(OM_registry& registry) {
  OM_schema_s* schema = OM_lookup_schema("OM", 0);
  registry.string_class = OM_create_class(schema, registry.methodic_object_class, "OM_string");
  OM_create_attribute(registry.string_class, "string", OM_TYPE_CHARACTER, false, 0, OM_FLAGS_STRING,
                      -1);
  registry.string_set_class = OM_create_class(schema, registry.hash_set_class, "OM_string_set");
  registry.string_object_map_class =
      OM_create_class(schema, registry.methodic_object_class, "OM_string_object_map");

  const OM_class_descriptor* methodic = OM_ask_class_descriptor(registry.methodic_object_class);
  OM_set_constructor<OM_string>(OM_init_class_descriptor(registry.string_class, methodic));
  OM_set_constructor<OM_string_set>(OM_init_class_descriptor(
      registry.string_set_class, OM_ask_class_descriptor(registry.hash_set_class)));
  OM_set_constructor<OM_string_object_map>(
      OM_init_class_descriptor(registry.string_object_map_class, methodic));
}

// ---- string objects -----------------------------------------------------------------------

int OM_string_class() {
  return OM_the_registry().string_class;
}

namespace {

int string_slot() {
  OM_registry& registry = OM_the_registry();
  if (registry.string_slot < 0) {
    registry.string_slot =
        OM_ask_attribute_slot(registry.string_class, OM_lookup_attribute("string"));
  }
  return registry.string_slot;
}

}  // namespace

OM_string* OM_create_string(const char* text) {
  auto* string = static_cast<OM_string*>(OM_create_object(OM_string_class()));
  OM_store_string(string->slot(string_slot()), text);
  return string;
}

const char* OM_string::ask_string() const {
  return slot(string_slot()).s;
}

// ---- string sets --------------------------------------------------------------------------

int OM_string_set_class() {
  return OM_the_registry().string_set_class;
}

OM_set* OM_create_string_set(OM_object* /*owner*/, int capacity) {
  auto* set = static_cast<OM_string_set*>(OM_create_object(OM_string_set_class()));
  set->set_functions(OM_set_functions{key_compare, element_compare, key_hash, element_hash},
                     capacity > 0 ? static_cast<std::size_t>(capacity) : 0);
  set->key_by_string_slot(string_slot());
  return set;
}

OM_object* OM_string_set::insert(OM_object* element) {
  OM_check_ptr_class(element, OM_string_class(), SOURCE, __LINE__);
  OM_object* existing = OM_hash_set::insert(element);
  if (!existing) order_.push_back(element);
  return existing;
}

void OM_string_set::for_all(void (*visit)(OM_object* element, void* data), void* data) const {
  for (OM_object* element : order_) visit(element, data);
}

// ---- string-object maps -------------------------------------------------------------------

int OM_string_object_map_class() {
  return OM_the_registry().string_object_map_class;
}

OM_string_object_map* OM_create_string_object_map(OM_object* /*owner*/, int capacity) {
  auto* map = static_cast<OM_string_object_map*>(OM_create_object(OM_string_object_map_class()));
  if (capacity > 0) map->table_->entries.reserve(static_cast<std::size_t>(capacity));
  return map;
}

OM_string_object_map::OM_string_object_map() : table_(std::make_unique<table_s>()) {}

OM_string_object_map::~OM_string_object_map() = default;

OM_object* OM_string_object_map::insert(const char* key, OM_object* value) {
  auto inserted = table_->entries.try_emplace(key_text(key), value);
  return inserted.second ? nullptr : inserted.first->second;
}

OM_object* OM_string_object_map::lookup(const char* key) const {
  auto found = table_->entries.find(key_text(key));
  return found == table_->entries.end() ? nullptr : found->second;
}

int OM_string_object_map::ask_values(OM_object*** values) const {
  const int count = static_cast<int>(table_->entries.size());
  *values = nullptr;
  if (count == 0) return 0;
  *values = static_cast<OM_object**>(SM_alloc(static_cast<std::size_t>(count) * sizeof **values));
  int index = 0;
  for (const auto& entry : table_->entries) (*values)[index++] = entry.second;
  return count;
}
