// Pieces that the library's classes share: making an object of a class, and the class
// operations of its operation table.
#pragma once

#include <veru.h>

// A new object of class T (class id class_id) that T::initialise set up from args; an object
// whose initialise fails is deleted again.
template <class T, class... Args>
T* veru_create(int class_id, Args... args) {
  auto* object = static_cast<T*>(OM_create_object(class_id));
  try {
    T::initialise(object, args...);
  } catch (...) {
    OM_delete_object(object);
    throw;
  }
  return object;
}

// Makes the objects of the table's class C++ objects of type T, with T::create and
// T::initialise as the class operations.
template <class T>
void veru_set_class_operations(OM_class_descriptor* table) {
  OM_set_constructor<T>(table);
  table->create = reinterpret_cast<OM_generic_fn>(&T::create);
  table->initialise = reinterpret_cast<OM_generic_fn>(&T::initialise);
}
