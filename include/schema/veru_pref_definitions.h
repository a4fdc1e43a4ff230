// Preferences: the per-level interface, the common base with its descriptive attributes, and the
// six typed classes. A preference owns its recorded values, its loaded value and its constraint.
// Levels are 0 (definition defaults), 1 (site), 2 (group) and 3 (user); a level outside 0 to 3
// is a caller error and raises the host's internal error, except where noted.
#pragma once

#include <vavadoz.h>

#include "veru_api.h"
#include "veru_change_definitions.h"
#include "veru_data_definitions.h"
#include "veru_group_definitions.h"
#include "veru_value_definitions.h"

VERU_EXPORTS_BEGIN

// The per-level operations of a preference; they do nothing here.
class VERU_pref_interface : public OM_tagged_object {
 public:
  static void initialise(VERU_pref_interface* object);
  static void init_methods(OM_class_descriptor* table);

  // A new string (SM_free): the effective value as the user sees it, in UTF-8.
  virtual char* ask_display_value(int level);
  virtual void set_locked(bool locked, int level);
  virtual bool is_locked(int level);
  virtual bool is_lockable(int level);
  virtual bool is_locked_at(int level);
  virtual TEXT_s* ask_comment(int level);
  virtual void set_comment(const TEXT_s* comment, int level);
  virtual VERU_value* ask_value(int level);
  virtual void set_value(VERU_value* value, int level);
  virtual bool has_value(int level);
  virtual int ask_modification_date(int level);
  virtual void remove_value(int level);
  virtual void clear_locked(int level);
  virtual XERCES_DOM_node* create_dom_node(XERCES_DOM_ctx* document, int level);
};

// Everything a preference has whatever its value type.
class VERU_pref : public VERU_pref_interface {
 public:
  static void initialise(VERU_pref* object, const char* name);
  static void init_methods(OM_class_descriptor* table);

  char* ask_display_value(int level) override;
  void set_locked(bool locked, int level) override;
  // True when this level or one below locks the preference; false for a negative level.
  bool is_locked(int level) override;
  bool is_lockable(int level) override;
  bool is_locked_at(int level) override;
  TEXT_s* ask_comment(int level) override;
  void set_comment(const TEXT_s* comment, int level) override;
  // The value of the nearest recorded value at or below the level; null for a negative level.
  VERU_value* ask_value(int level) override;
  // Takes ownership of value.
  void set_value(VERU_value* value, int level) override;
  bool has_value(int level) override;
  int ask_modification_date(int level) override;
  void remove_value(int level) override;
  void clear_locked(int level) override;
  XERCES_DOM_node* create_dom_node(XERCES_DOM_ctx* document, int level) override;

  // The preference keeps data for its life; data replaced here stays with the caller.
  virtual void set_data(VERU_data* data);
  virtual VERU_data* ask_data() const;
  virtual const char* ask_name() const;
  virtual void set_title(const char* title);
  virtual TEXT_s* ask_title() const;
  virtual void set_desc(const char* desc);
  virtual TEXT_s* ask_desc() const;
  virtual void set_parent(VERU_group* parent);
  virtual VERU_group* ask_parent() const;
  // Reads the lock, date and comment of a value-file entry into the level's recorded value.
  virtual void read_dom_node(XERCES_DOM_node* element, int level);
  virtual void set_unit(const char* unit);
  virtual TEXT_s* ask_unit() const;
  // Takes ownership of value; the value held before stays with the caller. What the loaded
  // value holds then is what the queries answer (changing the value object itself is not seen).
  virtual void set_loaded_value(VERU_value* value);
  // A new value object of the preference's type made from text; abstract here.
  virtual VERU_value* create_veru_value(const char* text);
  virtual TEXT_s* ask_tab_name();
  virtual TEXT_s* ask_application_name();
  virtual TEXT_s* ask_category_name();
  // Replaces the loaded value by a copy of the effective value at the level, which the queries
  // then answer.
  virtual void update_loaded_value(int level);
  virtual TEXT_s* ask_group_name();
  // A new text (TEXT_free): the group's name, " - " and the title, or the title alone.
  virtual TEXT_s* ask_full_title();
  virtual void set_ver(const char* ver);
  virtual const char* ask_ver() const;
  virtual void set_scope(int scope);
  virtual int ask_scope() const;
  virtual void apply_change(const VERU_change* change, int level);
  virtual VERU_recorded_value* ask_recorded_value(int level);
  virtual void set_visibility_fn(bool (*callback)());
  virtual bool is_visible();

  // The loaded value and the name, read without a virtual call: the query path.
  VERU_value* loaded_value() const { return slot_object<VERU_value>(slot_loaded_value); }
  const char* name() const { return slot(slot_name).s; }

 protected:
  // The recorded value of a level checked to lie in 0 to 3.
  VERU_recorded_value* recorded(int level) const;
  // The loaded value, or the value at a level, of value_class: a missing value fails the
  // assertion "value_obj != NULL" and a value of another class is the host's internal error.
  const VERU_value* checked_loaded_value(int value_class) const;
  const VERU_value* checked_level_value(int level, int value_class);
  // What the value at a level, and the loaded value, hold, for the typed classes: the values
  // are checked to be of ValueClass, whose class id is value_class.
  template <class ValueClass>
  auto value_at(int level, int value_class) {
    return static_cast<const ValueClass*>(checked_level_value(level, value_class))->ask_value();
  }
  template <class ValueClass>
  auto loaded(int value_class) const {
    const VERU_value* value = loaded_value();
    if (!value || value->class_id() != value_class || MACH__checking_level > 0) {
      value = checked_loaded_value(value_class);
    }
    return static_cast<const ValueClass*>(value)->value();
  }
  // The typed part of read_dom_node: stores value at the level after the constraint check
  // (when check is set), deleting value and passing the error on when it fails, with the
  // caller's place (source file and line) noted on it.
  void store_read_value(VERU_value* value, XERCES_DOM_node* element, int level, bool check,
                        const char* source, int line);

 private:
  static void delete_owned(OM_object* object);
  static inline int slot_name = -1;
  static inline int slot_desc = -1;
  static inline int slot_data = -1;
  static inline int slot_parent = -1;
  static inline int slot_title = -1;
  static inline int slot_values = -1;
  static inline int slot_unit = -1;
  static inline int slot_loaded_value = -1;
  static inline int slot_ver = -1;
  static inline int slot_scope = -1;
};

using VERU_pref_s = VERU_pref;

class VERU_pref_int : public VERU_pref {
 public:
  static VERU_pref_int* create(const char* name);
  static void init_methods(OM_class_descriptor* table);

  void read_dom_node(XERCES_DOM_node* element, int level) override;
  VERU_value* create_veru_value(const char* text) override;
  virtual int ask_int(int level);
  virtual void set_int(int value, int level);
  // True when the constraint is a range; fills the bounds (0 when absent) and the flags.
  virtual bool ask_int_range(int* lower, int* upper, bool* lower_inclusive, bool* upper_inclusive,
                             bool* has_upper, bool* has_lower);
  virtual int ask_loaded_int();
};

class VERU_pref_real : public VERU_pref {
 public:
  static VERU_pref_real* create(const char* name);
  static void init_methods(OM_class_descriptor* table);

  void read_dom_node(XERCES_DOM_node* element, int level) override;
  VERU_value* create_veru_value(const char* text) override;
  virtual double ask_real(int level);
  virtual void set_real(double value, int level);
  virtual bool ask_real_range(double* lower, double* upper, bool* lower_inclusive,
                              bool* upper_inclusive, bool* has_upper, bool* has_lower);
  virtual double ask_loaded_real();
};

class VERU_pref_logical : public VERU_pref {
 public:
  static VERU_pref_logical* create(const char* name);
  static void init_methods(OM_class_descriptor* table);

  void read_dom_node(XERCES_DOM_node* element, int level) override;
  VERU_value* create_veru_value(const char* text) override;
  virtual bool ask_logical(int level);
  virtual void set_logical(bool value, int level);
  virtual bool ask_loaded_logical();
};

class VERU_pref_string : public VERU_pref {
 public:
  static VERU_pref_string* create(const char* name);
  static void init_methods(OM_class_descriptor* table);

  void read_dom_node(XERCES_DOM_node* element, int level) override;
  VERU_value* create_veru_value(const char* text) override;
  // Strings are the value object's own; callers copy them.
  virtual const char* ask_string(int level);
  virtual void set_string(const char* value, int level);
  virtual const char* ask_loaded_string();
};

// A string preference whose value is shown flattened: without the quotes and backslashes of an
// encoded list.
class VERU_pref_list : public VERU_pref {
 public:
  static VERU_pref_list* create(const char* name);
  static void init_methods(OM_class_descriptor* table);

  char* ask_display_value(int level) override;
  void read_dom_node(XERCES_DOM_node* element, int level) override;
  VERU_value* create_veru_value(const char* text) override;
  virtual const char* ask_string(int level);
  virtual void set_string(const char* value, int level);
  virtual const char* ask_loaded_string();
};

// A list of strings kept as one encoded string value.
class VERU_pref_string_list : public VERU_pref_list {
 public:
  static VERU_pref_string_list* create(const char* name);
  static void init_methods(OM_class_descriptor* table);

  // New lists: each item and the array are released with SM_free.
  virtual int ask_string_list(char*** list, int level);
  virtual void set_string_list(int count, const char* const* items, int level);
  virtual int ask_loaded_string_list(char*** list);
};

VERU_EXPORTS_END
