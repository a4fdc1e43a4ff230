// Object manager sets: the hash set behind OM_create_2hash_set and its subclasses.
#include <vavadoz/om_set.h>

#include <absl/container/flat_hash_set.h>

#include <climits>
#include <cstdint>
#include <cstring>

#include <vavadoz/error.h>
#include "om_internal.h"

namespace {

std::uint64_t load64(const char* bytes) {
  std::uint64_t word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}

std::uint64_t load32(const char* bytes) {
  std::uint32_t word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}

// Eight bytes at a time, each word mixed in with a multiply and a shift; the last one to eight
// bytes are read in one go, overlapping what was mixed in already where the text is longer.
unsigned hash_bytes(const char* text, std::size_t length) {
  std::uint64_t hash = 0x9e3779b97f4a7c15ull ^ length;
  const char* next = text;
  for (std::size_t left = length; left > 8; left -= 8, next += 8) {
    hash = (hash ^ load64(next)) * 0xbf58476d1ce4e5b9ull;
    hash ^= hash >> 31;
  }
  std::uint64_t tail = 0;
  if (length >= 8) {
    tail = load64(text + length - 8);
  } else if (length >= 4) {
    tail = load32(text) | load32(text + length - 4) << 32;
  } else if (length > 0) {
    const auto byte = [text](std::size_t at) { return std::uint64_t{std::uint8_t(text[at])}; };
    tail = byte(0) | byte(length / 2) << 8 | byte(length - 1) << 16;
  }
  hash = (hash ^ tail) * 0x94d049bb133111ebull;
  hash ^= hash >> 29;
  return static_cast<unsigned>(hash ^ (hash >> 32));
}

// OM_hash_string of text, null as "".
unsigned hash_text(const char* text) {
  return text ? hash_bytes(text, std::strlen(text)) : hash_bytes("", 0);
}

}  // namespace

// Elements are kept by pointer; lookups by key go through the set's functions without making
// an element (heterogeneous lookup). A set keyed by a string slot hashes and compares itself.
struct OM_hash_set::table_s {
  static constexpr int NO_SLOT = INT_MIN;
  struct key_s {
    const void* key;
  };
  // A key of a set keyed by a string slot, hashed once before the search.
  struct text_key_s {
    const char* text;
    std::size_t hash;
  };
  static const char* text(const char* string) { return string ? string : ""; }
  struct hash_s {
    using is_transparent = void;
    const table_s* table;
    std::size_t operator()(const OM_object* element) const {
      if (table->string_slot == NO_SLOT) return table->functions->element_hash(element);
      return hash_text(element->slot(table->string_slot).s);
    }
    std::size_t operator()(key_s key) const {
      if (table->string_slot == NO_SLOT) return table->functions->key_hash(key.key);
      return hash_text(static_cast<const char*>(key.key));
    }
    std::size_t operator()(text_key_s key) const { return key.hash; }
  };
  struct equal_s {
    using is_transparent = void;
    const table_s* table;
    bool operator()(const OM_object* a, const OM_object* b) const {
      if (a == b) return true;
      if (table->string_slot == NO_SLOT) return table->functions->element_compare(a, b) == 0;
      return std::strcmp(text(a->slot(table->string_slot).s),
                         text(b->slot(table->string_slot).s)) == 0;
    }
    bool operator()(key_s key, const OM_object* element) const {
      if (table->string_slot == NO_SLOT)
        return table->functions->key_compare(key.key, element) == 0;
      return std::strcmp(text(static_cast<const char*>(key.key)),
                         text(element->slot(table->string_slot).s)) == 0;
    }
    bool operator()(const OM_object* element, key_s key) const { return (*this)(key, element); }
    bool operator()(text_key_s key, const OM_object* element) const {
      return std::strcmp(key.text, text(element->slot(table->string_slot).s)) == 0;
    }
    bool operator()(const OM_object* element, text_key_s key) const {
      return (*this)(key, element);
    }
  };
  using set_type = absl::flat_hash_set<OM_object*, hash_s, equal_s>;

  explicit table_s(const OM_set_functions* set_functions)
      : functions(set_functions), elements(0, hash_s{this}, equal_s{this}) {}
  const OM_set_functions* functions;
  int string_slot = NO_SLOT;
  set_type elements;
};

namespace {

const char* const SOURCE = "host/om_set.cpp";

const OM_hash_set& as_hash_set(const OM_object* object) {
  return *static_cast<const OM_hash_set*>(object);
}

OM_slot read_size(const OM_object* object) {
  OM_slot value;
  value.i = static_cast<int>(as_hash_set(object).capacity());
  return value;
}

OM_slot read_count(const OM_object* object) {
  OM_slot value;
  value.i = as_hash_set(object).count();
  return value;
}

OM_slot read_space(const OM_object* object) {
  OM_slot value;
  value.i = static_cast<int>(as_hash_set(object).capacity()) - as_hash_set(object).count();
  return value;
}

OM_slot read_table(const OM_object* object) {
  OM_slot value;
  value.p = const_cast<void*>(as_hash_set(object).table());
  return value;
}

const OM_set& checked_set(const OM_set* set) {
  OM_check_ptr_class(set, OM_set_class(), SOURCE, __LINE__);
  return *set;
}

}  // namespace

void OM_init_set_classes(OM_registry& registry) {
  OM_schema_s* schema = OM_lookup_schema("OM", 0);
  registry.set_class = OM_create_class(schema, registry.methodic_object_class, "OM_set");
  OM_set_class_property(registry.set_class, OM_CLASS_PROPERTY_ABSTRACT);
  registry.hash_set_class = OM_create_class(schema, registry.set_class, "OM_hash_set");
  OM_create_computed_attribute(registry.hash_set_class, "size", OM_TYPE_INT, OM_FLAGS_PLAIN,
                               read_size);
  OM_create_computed_attribute(registry.hash_set_class, "table_object", OM_TYPE_POINTER,
                               OM_FLAGS_PLAIN, read_table);
  OM_create_computed_attribute(registry.hash_set_class, "count", OM_TYPE_INT, OM_FLAGS_PLAIN,
                               read_count);
  OM_create_computed_attribute(registry.hash_set_class, "space", OM_TYPE_INT, OM_FLAGS_PLAIN,
                               read_space);

  const OM_class_descriptor* methodic = OM_ask_class_descriptor(registry.methodic_object_class);
  OM_class_descriptor* set = OM_init_class_descriptor(registry.set_class, methodic);
  OM_class_descriptor* hash_set = OM_init_class_descriptor(registry.hash_set_class, set);
  OM_set_constructor<OM_hash_set>(hash_set);
  OM_init_string_classes(registry);
}

int OM_set_class() {
  return OM_the_registry().set_class;
}
int OM_hash_set_class() {
  return OM_the_registry().hash_set_class;
}

OM_object* OM_set::insert(OM_object*) {
  OM_abstract_operation(this, "insert", SOURCE, __LINE__);
}

OM_object* OM_set::lookup(const void*) const {
  OM_abstract_operation(this, "lookup", SOURCE, __LINE__);
}

int OM_set::count() const {
  OM_abstract_operation(this, "count", SOURCE, __LINE__);
}

void OM_set::for_all(void (*)(OM_object*, void*), void*) const {
  OM_abstract_operation(this, "for_all", SOURCE, __LINE__);
}

OM_hash_set::OM_hash_set() : table_(std::make_unique<table_s>(&functions_)) {}

OM_hash_set::~OM_hash_set() = default;

void OM_hash_set::key_by_string_slot(int slot) {
  if (count() != 0) ERROR_internal(SOURCE, __LINE__, "a set with elements cannot change its key");
  table_->string_slot = slot;
}

void OM_hash_set::set_functions(const OM_set_functions& functions, std::size_t capacity) {
  if (!functions.key_compare || !functions.element_compare || !functions.key_hash ||
      !functions.element_hash) {
    ERROR_internal(SOURCE, __LINE__, "a hash set needs all four of its functions");
  }
  functions_ = functions;
  table_->elements.reserve(capacity);
}

OM_object* OM_hash_set::insert(OM_object* element) {
  if (!element) ERROR_internal(SOURCE, __LINE__, "null element inserted into a set");
  if (!functions_.element_hash) ERROR_internal(SOURCE, __LINE__, "hash set without functions");
  auto inserted = table_->elements.insert(element);
  return inserted.second ? nullptr : *inserted.first;
}

OM_object* OM_hash_set::lookup(const void* key) const {
  if (table_->string_slot != table_s::NO_SLOT) {
    const char* text = table_s::text(static_cast<const char*>(key));
    auto found =
        table_->elements.find(table_s::text_key_s{text, hash_bytes(text, std::strlen(text))});
    return found == table_->elements.end() ? nullptr : *found;
  }
  if (!functions_.key_hash) ERROR_internal(SOURCE, __LINE__, "hash set without functions");
  auto found = table_->elements.find(table_s::key_s{key});
  return found == table_->elements.end() ? nullptr : *found;
}

int OM_hash_set::count() const {
  return static_cast<int>(table_->elements.size());
}

std::size_t OM_hash_set::capacity() const {
  return table_->elements.capacity();
}

void OM_hash_set::for_all(void (*visit)(OM_object*, void*), void* data) const {
  for (OM_object* element : table_->elements) visit(element, data);
}

// The owner keeps the set alive; the set does not record it.
OM_set* OM_create_2hash_set(OM_object* /*owner*/, OM_key_compare_fn key_compare,
                            OM_element_compare_fn element_compare, OM_key_hash_fn key_hash,
                            OM_element_hash_fn element_hash, int capacity) {
  auto* set = static_cast<OM_hash_set*>(OM_create_object(OM_hash_set_class()));
  try {
    set->set_functions(OM_set_functions{key_compare, element_compare, key_hash, element_hash},
                       capacity > 0 ? static_cast<std::size_t>(capacity) : 0);
  } catch (...) {
    OM_delete_object(set);
    throw;
  }
  return set;
}

OM_object* OM_insert_into_set(OM_set* set, OM_object* element) {
  checked_set(set);
  return set->insert(element);
}

OM_object* OM_lookup_in_set(const OM_set* set, const void* key) {
  return checked_set(set).lookup(key);
}

void OM_for_all_in_set(const OM_set* set, void (*visit)(OM_object* element, void* data),
                       void* data) {
  checked_set(set).for_all(visit, data);
}

int OM_ask_set_count(const OM_set* set) {
  return checked_set(set).count();
}

unsigned OM_hash_string(const char* text) {
  return text ? hash_bytes(text, std::strlen(text)) : 0;
}
