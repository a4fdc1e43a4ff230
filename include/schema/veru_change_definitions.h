// A change record: one edit of one preference's entry at a level, made by host code and applied
// with the preference's apply_change.
#pragma once

#include <vavadoz.h>

#include "veru_api.h"
#include "veru_value_definitions.h"

VERU_EXPORTS_BEGIN

class VERU_change : public OM_methodic_object {
 public:
  // A record for the named preference, without a recorded value and with every flag false.
  static VERU_change* create(const char* option_name);
  static void initialise(VERU_change* object, const char* option_name);
  static void init_methods(OM_class_descriptor* table);

  virtual const char* ask_option_name() const;
  // The new state of the level; null asks for the removal of the level's entry.
  virtual VERU_recorded_value* ask_value() const;
  // Takes ownership of value; a recorded value referenced before is not deleted.
  virtual void set_value(VERU_recorded_value* value);
  virtual bool ask_update_lock() const;
  virtual void set_update_lock(bool update);
  virtual bool ask_update_comment() const;
  virtual void set_update_comment(bool update);
  virtual bool ask_update_value() const;
  virtual void set_update_value(bool update);

 private:
  static void delete_value(OM_object* object);
  static inline int slot_option_name = -1;
  static inline int slot_value = -1;
  static inline int slot_update_lock = -1;
  static inline int slot_update_comment = -1;
  static inline int slot_update_value = -1;
};

VERU_EXPORTS_END
