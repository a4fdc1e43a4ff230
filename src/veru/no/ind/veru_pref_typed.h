// Pieces shared by the typed preference classes.
#pragma once

#include <veru.h>

#include "veru_class.h"

// The code of a file entry read into level that has no "value" attribute: that of its file, the
// extras definition file for level 0 and a value file above (the codes of the value types are
// the host's to raise, not the library's).
int veru_missing_value_code(int level);
// The "value" attribute of a file entry read into level; an entry without one raises
// veru_missing_value_code(level) with the text "Missing value".
const char* veru_value_attribute(XERCES_DOM_node* element, int level, const char* source);

// The bounds of a range constraint as native values of ValueClass (see ask_int_range).
template <class ValueClass, class Native>
bool veru_ask_range(const VERU_data* data, int value_class, Native* lower, Native* upper,
                    bool* lower_inclusive, bool* upper_inclusive, bool* has_upper,
                    bool* has_lower) {
  auto fill = [value_class](const VERU_range_elem* bound, Native* value, bool* inclusive,
                            bool* present) {
    if (value) *value = Native();
    if (inclusive) *inclusive = false;
    if (present) *present = false;
    if (!bound) return;
    const VERU_value* bound_value = bound->ask_value();
    OM_check_ptr_class(bound_value, value_class, __FILE__, __LINE__);
    if (value) *value = static_cast<const ValueClass*>(bound_value)->ask_value();
    if (inclusive) *inclusive = bound->ask_inclusive();
    if (present) *present = true;
  };
  const bool is_range = data && OM_is_subclass(data->class_id(), VERU_data_range_c);
  const auto* range = is_range ? static_cast<const VERU_data_range*>(data) : nullptr;
  fill(range ? range->ask_lower() : nullptr, lower, lower_inclusive, has_lower);
  fill(range ? range->ask_upper() : nullptr, upper, upper_inclusive, has_upper);
  return is_range;
}
