// Object manager sets: hash sets of objects found by key, with the key and element functions
// supplied by the creator or by a subclass.
#pragma once

#include <cstddef>
#include <memory>

#include "om.h"

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
