// VERU_data_range: a range with an optional lower and an optional upper bound, each inclusive or
// exclusive.
#include <veru.h>

#include "veru_class.h"
#include "veru_data_check.h"

#include <cmath>
#include <string>

#define VERU_SOURCE "src/veru/no/ind/veru_data_range_definitions"

namespace {

const VERU_value* value_of(const VERU_range_elem* bound) {
  const VERU_value* value = bound->ask_value();
  if (!value)
    ERROR_internal(VERU_SOURCE, __LINE__, "range bound &%p has no value",
                   static_cast<const void*>(bound));
  return value;
}

// Comparison of a bound's value with the candidate: 1 when the candidate is the greater, -1
// when it is the smaller, 0 when equal. Numbers compare that way; strings compare the other way
// round (as strcmp of the bound and the candidate), so their order is turned here.
int compare_with(const VERU_range_elem* bound, const VERU_value* candidate) {
  const int order = value_of(bound)->compare(candidate);
  return candidate->class_id() == VERU_string_value_c ? -order : order;
}

bool is_nan(const VERU_value* value) {
  return value->class_id() == VERU_real_value_c &&
         std::isnan(static_cast<const VERU_real_value*>(value)->ask_value());
}

// Appends one half of a range's description to text: the bound's value between its opening
// (inclusive or exclusive) and its closing text, or the text for a missing bound.
void append_half(std::string* text, const VERU_range_elem* bound, const char* inclusive,
                 const char* exclusive, const char* closing, const char* without) {
  if (!bound) {
    *text += without;
    return;
  }
  char* value = value_of(bound)->print();
  *text += bound->ask_inclusive() ? inclusive : exclusive;
  *text += value;
  *text += closing;
  SM_free(value);
}

bool is_allowed(const VERU_range_elem* lower, const VERU_range_elem* upper,
                const VERU_value* candidate, int* error) {
  if (!lower && !upper) return true;
  if (!lower) {
    const int c_upper = compare_with(upper, candidate);
    *error = upper->ask_inclusive() ? VERU_ERROR_RANGE_NOT_AT_MOST : VERU_ERROR_RANGE_NOT_BELOW;
    return upper->ask_inclusive() ? c_upper != 1 : c_upper == -1;
  }
  const int c_lower = compare_with(lower, candidate);
  if (!upper) {
    *error = lower->ask_inclusive() ? VERU_ERROR_RANGE_NOT_AT_LEAST : VERU_ERROR_RANGE_NOT_ABOVE;
    return lower->ask_inclusive() ? c_lower != -1 : c_lower == 1;
  }
  const int c_upper = compare_with(upper, candidate);
  const bool inside = c_lower == 1 && c_upper == -1;
  if (!lower->ask_inclusive() && !upper->ask_inclusive()) {
    *error = VERU_ERROR_RANGE_NOT_IN_OPEN;
    return c_lower != 0 && c_upper != 0 && inside;
  }
  if (lower->ask_inclusive() && !upper->ask_inclusive()) {
    *error = VERU_ERROR_RANGE_NOT_IN_CLOSED_OPEN;
    return c_lower == 0 || inside;
  }
  if (!lower->ask_inclusive()) {
    *error = VERU_ERROR_RANGE_NOT_IN_OPEN_CLOSED;
    return c_upper == 0 || inside;
  }
  *error = VERU_ERROR_RANGE_NOT_IN_CLOSED;
  return c_upper == 0 || c_lower == 0 || inside;
}

}  // namespace

VERU_data_range* VERU_data_range::create(int unused) {
  return veru_create<VERU_data_range>(VERU_data_range_c, unused);
}

// A range starts without bounds.
void VERU_data_range::initialise(VERU_data_range*, int) {}

void VERU_data_range::init_methods(OM_class_descriptor* table) {
  veru_set_class_operations<VERU_data_range>(table);
  OM_init_cascading_method(table, &VERU_data_range::delete_bounds);
  slot_lower = OM_ask_attribute_slot(VERU_data_range_c, ATT_lower__VERU33);
  slot_upper = OM_ask_attribute_slot(VERU_data_range_c, ATT_upper__VERU7582);
}

void VERU_data_range::delete_bounds(OM_object* object) {
  OM_delete_slot_object(object->slot(slot_lower));
  OM_delete_slot_object(object->slot(slot_upper));
}

int veru_range_refusal_code(const VERU_data_range* range, const VERU_value* value) {
  int error = 0;
  // NaN lies on neither side of any bound.
  if (!is_allowed(range->ask_lower(), range->ask_upper(), value, &error) ||
      (error != 0 && is_nan(value))) {
    return error;
  }
  return 0;
}

bool VERU_data_range::validate(const VERU_value* value) const {
  if (const int code = veru_range_refusal_code(this, value)) {
    ERROR_exception(VERU_SOURCE, __LINE__, code, "Invalid range");
  }
  return true;
}

char* VERU_data_range::print() const {
  std::string text;
  append_half(&text, ask_lower(), "[>=", "[>", "", "[");
  text += ' ';
  append_half(&text, ask_upper(), "<=", "<", "] ", "]");
  return SM_string_ncopy(text.data(), text.size());
}

void VERU_data_range::set_lower(VERU_range_elem* bound) {
  if (bound == ask_lower()) return;
  OM_delete_slot_object(slot(slot_lower));
  slot(slot_lower).o = bound;
}

void VERU_data_range::set_upper(VERU_range_elem* bound) {
  if (bound == ask_upper()) return;
  OM_delete_slot_object(slot(slot_upper));
  slot(slot_upper).o = bound;
}

VERU_range_elem* VERU_data_range::ask_lower() const {
  return slot_object<VERU_range_elem>(slot_lower);
}

VERU_range_elem* VERU_data_range::ask_upper() const {
  return slot_object<VERU_range_elem>(slot_upper);
}
