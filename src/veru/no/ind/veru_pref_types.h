// The library's preference types: what definition files call each, its class, and what reading
// text for it refuses with. Loading, reading entries, saving, editing and the editor model all
// read this one table.
#pragma once

#include <veru.h>

struct veru_pref_type_s {
  const char* name;  // the type attribute of definition files; null for one they cannot name
  int* class_id;     // the library's class (its id is set when the classes are registered)
  VERU_pref* (*create)(const char* name);
  int not_code;      // the code of text that is not a value of the type
  bool constrained;  // whether a Data element constrains its values
};

// The type of a preference class of the library's own (exactly that class); null for the host's
// classes.
const veru_pref_type_s* veru_pref_type_of(int class_id);
// The type a definition file's type attribute names; null for any other name.
const veru_pref_type_s* veru_pref_type_named(const char* name);
