// Value objects (int, real, logical, string) and the recorded value that one level holds for one
// preference. A value object has exactly one owner; it passes between owners as a deep copy.
#pragma once

#include <vavadoz.h>

#include "veru_api.h"

VERU_EXPORTS_BEGIN

// Abstract base of the four value classes.
class VERU_value : public OM_methodic_object {
 public:
  // 0 when equal; for numbers 1 when other is the greater, for strings 1 when this sorts after.
  virtual int compare(const VERU_value* other) const;
  // A new string (SM_free): the value as value files write it.
  virtual char* print() const;

 protected:
  // compare needs an operand of its own class: checked fully while checking is on, and always
  // when the operand is null or of another class, since such a pair cannot be compared.
  static void check_operand(const VERU_value* other, int value_class, const char* source,
                            int line) {
    if (MACH__checking_level > 0 || !other || other->class_id() != value_class) {
      OM_check_ptr_class(other, value_class, source, line);
    }
  }
};

class VERU_int_value : public VERU_value {
 public:
  static VERU_int_value* create(int value);
  static void initialise(VERU_int_value* object, int value);
  static void init_methods(OM_class_descriptor* table);

  int compare(const VERU_value* other) const override;
  char* print() const override;
  virtual int ask_value() const;
  virtual void set_value(int value);
  // The value, read without a virtual call: the query path.
  int value() const { return slot(slot_value).i; }

 private:
  static inline int slot_value = -1;
};

class VERU_real_value : public VERU_value {
 public:
  static VERU_real_value* create(double value);
  static void initialise(VERU_real_value* object, double value);
  static void init_methods(OM_class_descriptor* table);

  int compare(const VERU_value* other) const override;
  char* print() const override;
  virtual double ask_value() const;
  virtual void set_value(double value);
  double value() const { return slot(slot_value).r; }

 private:
  static inline int slot_value = -1;
};

class VERU_logical_value : public VERU_value {
 public:
  static VERU_logical_value* create(bool value);
  static void initialise(VERU_logical_value* object, bool value);
  static void init_methods(OM_class_descriptor* table);

  int compare(const VERU_value* other) const override;
  char* print() const override;
  virtual bool ask_value() const;
  virtual void set_value(bool value);
  bool value() const { return slot(slot_value).l; }

 private:
  static inline int slot_value = -1;
};

class VERU_string_value : public VERU_value {
 public:
  static VERU_string_value* create(const char* value);
  static void initialise(VERU_string_value* object, const char* value);
  static void init_methods(OM_class_descriptor* table);

  int compare(const VERU_value* other) const override;
  char* print() const override;
  // The object's own string; "" when none was stored.
  virtual const char* ask_value() const;
  // Stores a copy.
  virtual void set_value(const char* value);
  const char* value() const {
    const char* text = slot(slot_value).s;
    return text ? text : "";
  }

 private:
  static inline int slot_value = -1;
};

// What one level records for one preference: the value (owned), the stored lock flag, the
// comment (a copy) and the time of the last change. Made with OM_create_object.
class VERU_recorded_value : public OM_methodic_object {
 public:
  static void init_methods(OM_class_descriptor* table);

  virtual VERU_value* ask_value() const;
  // Deletes the value held before, then takes ownership of value.
  virtual void set_value(VERU_value* value);
  virtual bool ask_locked() const;
  virtual void set_locked(bool locked);
  virtual TEXT_s* ask_comment() const;
  virtual void set_comment(const TEXT_s* comment);
  virtual int ask_modification_date() const;
  virtual void set_modification_date(int date);

 private:
  static void delete_value(OM_object* object);
  static inline int slot_value = -1;
  static inline int slot_locked = -1;
  static inline int slot_modification_date = -1;
  static inline int slot_comment = -1;
};

VERU_EXPORTS_END
