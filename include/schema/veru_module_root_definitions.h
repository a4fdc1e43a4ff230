// The module root: the one object that owns the preference set and the definition tree.
#pragma once

#include <vavadoz.h>

#include "veru_api.h"

VERU_EXPORTS_BEGIN

class VERU_group;
class VERU_pref;

class VERU_module_root : public OM_tagged_object {
 public:
  static void init_methods(OM_class_descriptor* table);

  virtual void set_tree_root(VERU_group* group);
  virtual VERU_group* ask_tree_root() const;
  // Inserts the preference into the preference set; a name that is there already is logged.
  virtual void add_pref(VERU_pref* pref);
  virtual OM_set* ask_pref_set() const;
  virtual void set_pref_set(OM_set* set);

  // The preference set's lookup without the checks of OM_lookup_in_set: the query path.
  VERU_pref* find_pref(const char* name) const;
  // A new, empty preference set: a two-key hash set keyed by exact preference name.
  static OM_set* create_pref_set(OM_object* owner);

 private:
  static inline int slot_pref_set = -1;
  static inline int slot_tree_root = -1;
};

using VERU_module_root_s = VERU_module_root;

VERU_EXPORTS_END
