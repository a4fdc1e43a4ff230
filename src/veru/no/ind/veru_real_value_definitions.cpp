// VERU_real_value: a double value, equal to another within an absolute 1e-10.
#include <veru.h>

#include "veru_class.h"

#include "veru_number_text.h"

#include <cmath>
#include <cstring>

#define VERU_SOURCE "src/veru/no/ind/veru_real_value_definitions"

namespace {

constexpr double TOLERANCE = 1e-10;

}  // namespace

VERU_real_value* VERU_real_value::create(double value) {
  return veru_create<VERU_real_value>(VERU_real_value_c, value);
}

void VERU_real_value::initialise(VERU_real_value* object, double value) {
  object->set_value(value);
}

void VERU_real_value::init_methods(OM_class_descriptor* table) {
  veru_set_class_operations<VERU_real_value>(table);
  slot_value = OM_ask_attribute_slot(VERU_real_value_c, ATT_value__VERU1281);
}

int VERU_real_value::compare(const VERU_value* other) const {
  check_operand(other, VERU_real_value_c, VERU_SOURCE, __LINE__);
  const double mine = ask_value();
  const double theirs = static_cast<const VERU_real_value*>(other)->ask_value();
  if (std::fabs(mine - theirs) <= TOLERANCE) return 0;
  return theirs > mine + TOLERANCE ? 1 : -1;  // NaN fails both tests and gives -1
}

char* VERU_real_value::print() const {
  const double value = ask_value();
  char* text = veru_format_real(value);
  if (std::isfinite(value) && !std::strpbrk(text, ".eE")) text = SM_string_append(text, ".0");
  return text;
}

double VERU_real_value::ask_value() const {
  return value();
}

void VERU_real_value::set_value(double value) {
  slot(slot_value).r = value;
}
