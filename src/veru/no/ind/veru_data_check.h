// Checking a value against a constraint without raising: a value file may hold any number of
// values that their constraints refuse, and each costs only its own check.
#pragma once

#include <veru.h>

// The code with which the constraint refuses value (the one validate raises), 0 when it allows
// it. Raises nothing for the library's own constraint classes; another class's validate is
// called and what it raises is caught.
int veru_data_refusal_code(const VERU_data* data, const VERU_value* value);
// The codes of the library's classes, each as its validate decides.
int veru_enum_refusal_code(const VERU_data_enum* enumeration, const VERU_value* value);
int veru_color_refusal_code(const VERU_data_color* colors, const VERU_value* value);
int veru_range_refusal_code(const VERU_data_range* range, const VERU_value* value);
// The first member of the enumeration whose value equals value; null when there is none.
const VERU_enum_elem* veru_enum_member(const VERU_data_enum* enumeration, const VERU_value* value);
