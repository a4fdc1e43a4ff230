// Constraints of a preference: enumerations, colour enumerations and ranges, with their members
// and bounds. A constraint owns its members and bounds, and they own their value objects.
#pragma once

#include <vavadoz.h>

#include "veru_api.h"
#include "veru_value_definitions.h"

VERU_EXPORTS_BEGIN

// One member of an enumeration: a value, the name shown for it and an optional image name.
class VERU_enum_elem : public OM_methodic_object {
 public:
  // Takes ownership of value; the name is copied into a text.
  static VERU_enum_elem* create(VERU_value* value, const char* name);
  static void initialise(VERU_enum_elem* object, VERU_value* value, const char* name);
  static void init_methods(OM_class_descriptor* table);

  virtual VERU_value* ask_value() const;
  virtual TEXT_s* ask_name() const;
  virtual const char* ask_bitmap() const;
  virtual void set_bitmap(const char* bitmap);

 private:
  static void delete_value(OM_object* object);
  static inline int slot_value = -1;
  static inline int slot_name = -1;
  static inline int slot_bitmap = -1;
};

// One bound of a range: its value (owned), whether the value itself is allowed, and a label.
class VERU_range_elem : public OM_methodic_object {
 public:
  static VERU_range_elem* create(bool inclusive, VERU_value* value);
  static void initialise(VERU_range_elem* object, bool inclusive, VERU_value* value);
  static void init_methods(OM_class_descriptor* table);

  virtual VERU_value* ask_value() const;
  virtual bool ask_inclusive() const;
  virtual void set_name(const TEXT_s* name);
  virtual TEXT_s* ask_name() const;

 private:
  static void delete_value(OM_object* object);
  static inline int slot_inclusive = -1;
  static inline int slot_value = -1;
  static inline int slot_name = -1;
};

// Abstract base of the constraints.
class VERU_data : public OM_methodic_object {
 public:
  // True when the value is allowed; a rejected value raises its numbered error instead.
  virtual bool validate(const VERU_value* value) const;
  // A new string (SM_free) describing the constraint, or null when it has no description.
  virtual char* print() const;
};

class VERU_data_enum : public VERU_data {
 public:
  // The argument is not used; callers pass 0.
  static VERU_data_enum* create(int unused);
  static void initialise(VERU_data_enum* object, int unused);
  static void init_methods(OM_class_descriptor* table);

  bool validate(const VERU_value* value) const override;
  char* print() const override;
  // Appends the member, which the enumeration then owns.
  virtual void add_elem(VERU_enum_elem* elem);
  virtual int ask_n_elems() const;
  virtual VERU_enum_elem* ask_nth_elem(int index) const;

 private:
  static void delete_elems(OM_object* object);
  static inline int slot_values = -1;
};

// Accepts every colour number from 1 to 216 and the values of its members.
class VERU_data_color : public VERU_data_enum {
 public:
  static VERU_data_color* create(int unused);
  static void initialise(VERU_data_color* object, int unused);
  static void init_methods(OM_class_descriptor* table);

  bool validate(const VERU_value* value) const override;
  char* print() const override;
};

class VERU_data_range : public VERU_data {
 public:
  static VERU_data_range* create(int unused);
  static void initialise(VERU_data_range* object, int unused);
  static void init_methods(OM_class_descriptor* table);

  bool validate(const VERU_value* value) const override;
  char* print() const override;
  // The range owns its bounds; a bound that is replaced is deleted.
  virtual void set_lower(VERU_range_elem* bound);
  virtual void set_upper(VERU_range_elem* bound);
  virtual VERU_range_elem* ask_lower() const;
  virtual VERU_range_elem* ask_upper() const;

 private:
  static void delete_bounds(OM_object* object);
  static inline int slot_lower = -1;
  static inline int slot_upper = -1;
};

VERU_EXPORTS_END
