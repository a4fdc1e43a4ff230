// VERU_data_color: a colour enumeration; every colour number from 1 to 216 is allowed, and so
// is the value of every member.
#include <veru.h>

#include "veru_class.h"
#include "veru_data_check.h"

#define VERU_SOURCE "src/veru/no/ind/veru_data_color_definitions"

namespace {

constexpr int FIRST_COLOUR = 1;
constexpr int LAST_COLOUR = 216;

}  // namespace

VERU_data_color* VERU_data_color::create(int unused) {
  return veru_create<VERU_data_color>(VERU_data_color_c, unused);
}

void VERU_data_color::initialise(VERU_data_color* object, int unused) {
  VERU_data_enum::initialise(object, unused);
}

void VERU_data_color::init_methods(OM_class_descriptor* table) {
  veru_set_class_operations<VERU_data_color>(table);
}

int veru_color_refusal_code(const VERU_data_color* colors, const VERU_value* value) {
  // Only integers are colours: a real or a string (a Color widget on a preference of another
  // type) is refused like any colour outside the table, as the value's own fault.
  if (!value || value->class_id() != VERU_int_value_c) return VERU_ERROR_NOT_COLOR;
  const int colour = static_cast<const VERU_int_value*>(value)->ask_value();
  if (colour >= FIRST_COLOUR && colour <= LAST_COLOUR) return 0;
  return veru_enum_member(colors, value) ? 0 : VERU_ERROR_NOT_COLOR;
}

bool VERU_data_color::validate(const VERU_value* value) const {
  if (const int code = veru_color_refusal_code(this, value)) {
    ERROR_exception(VERU_SOURCE, __LINE__, code, "Invalid value");
  }
  return true;
}

char* VERU_data_color::print() const {
  return nullptr;
}
