// Object manager sets: hash sets of objects found by key, with the key and element functions
// supplied by the creator or by a subclass.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "api.h"
#include "om.h"

VAVADOZ_EXPORTS_BEGIN

// Comparisons answer 0 for equal; hashes must agree for a key and the element it finds.
using OM_key_compare_fn = int (*)(const void* key, const OM_object* element);
using OM_element_compare_fn = int (*)(const OM_object* a, const OM_object* b);
using OM_key_hash_fn = unsigned (*)(const void* key);
using OM_element_hash_fn = unsigned (*)(const OM_object* element);

struct OM_set_functions {
  OM_key_compare_fn key_compare = nullptr;
  OM_element_compare_fn element_compare = nullptr;
  OM_key_hash_fn key_hash = nullptr;
  OM_element_hash_fn element_hash = nullptr;
};

// An unordered collection of objects with unique keys. The set does not own its elements.
class OM_set : public OM_methodic_object {
 public:
  bool is_copyable() const override { return false; }
  // Null when inserted; the element already there when one has an equal key.
  virtual OM_object* insert(OM_object* element);
  virtual OM_object* lookup(const void* key) const;
  virtual int count() const;
  // Calls visit for each element in the set's own order; the set must not change meanwhile.
  virtual void for_all(void (*visit)(OM_object* element, void* data), void* data) const;
};

// The object manager's hash set: an open-addressing table that grows; the capacity given on
// creation is a hint.
class OM_hash_set : public OM_set {
 public:
  OM_hash_set();
  ~OM_hash_set() override;
  void set_functions(const OM_set_functions& functions, std::size_t capacity);
  OM_object* insert(OM_object* element) override;
  OM_object* lookup(const void* key) const override;
  int count() const override;
  void for_all(void (*visit)(OM_object* element, void* data), void* data) const override;
  std::size_t capacity() const;
  const void* table() const { return table_.get(); }
  // For a set whose elements all hold their key as a string in the same slot, agreeing with the
  // set's functions as OM_hash_string and a byte comparison (null as ""): the set then hashes
  // and compares keys itself, without calling the functions. Only while the set is empty.
  void key_by_string_slot(int slot);

 private:
  struct table_s;
  OM_set_functions functions_;
  std::unique_ptr<table_s> table_;
};

int OM_set_class();
int OM_hash_set_class();

// A hash set with its four functions; capacity is a hint. owner keeps the set alive.
OM_set* OM_create_2hash_set(OM_object* owner, OM_key_compare_fn key_compare,
                            OM_element_compare_fn element_compare, OM_key_hash_fn key_hash,
                            OM_element_hash_fn element_hash, int capacity);
OM_object* OM_insert_into_set(OM_set* set, OM_object* element);
OM_object* OM_lookup_in_set(const OM_set* set, const void* key);
void OM_for_all_in_set(const OM_set* set, void (*visit)(OM_object* element, void* data),
                       void* data);
int OM_ask_set_count(const OM_set* set);
unsigned OM_hash_string(const char* text);

// ---- strings in sets and maps -------------------------------------------------------------

// A string held by an object: a member of a string set, or a value of a string-object map. The
// object owns its copy of the string.
class OM_string : public OM_methodic_object {
 public:
  const char* ask_string() const;
};

int OM_string_class();
// A new string object holding a copy of text.
OM_string* OM_create_string(const char* text);

// A hash set of string objects keyed by their strings, compared byte for byte. It visits its
// members in the order in which they were inserted. The set does not own its members.
class OM_string_set : public OM_hash_set {
 public:
  OM_object* insert(OM_object* element) override;
  void for_all(void (*visit)(OM_object* element, void* data), void* data) const override;

 private:
  std::vector<OM_object*> order_;
};

int OM_string_set_class();
// An empty string set; capacity is a hint. owner keeps the set alive.
OM_set* OM_create_string_set(OM_object* owner, int capacity);

// A map from strings to objects. It keeps copies of its keys; the values stay their owners'.
class OM_string_object_map : public OM_methodic_object {
 public:
  OM_string_object_map();
  ~OM_string_object_map() override;
  bool is_copyable() const override { return false; }
  // Null when inserted; the value already there, which stays, when the key is in use.
  OM_object* insert(const char* key, OM_object* value);
  // The value of key, null when there is none.
  OM_object* lookup(const char* key) const;
  // The number of values and a new array of them (SM_free), in no particular order; the array
  // is null when the map is empty.
  int ask_values(OM_object*** values) const;

 private:
  friend OM_string_object_map* OM_create_string_object_map(OM_object* owner, int capacity);
  struct table_s;
  std::unique_ptr<table_s> table_;
};

int OM_string_object_map_class();
// An empty map; capacity is a hint. owner keeps the map alive.
OM_string_object_map* OM_create_string_object_map(OM_object* owner, int capacity);

VAVADOZ_EXPORTS_END
