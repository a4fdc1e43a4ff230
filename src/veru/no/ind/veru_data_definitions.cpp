// VERU_data: the abstract base of the constraints.
#include <veru.h>

#include "veru_data_check.h"

#define VERU_SOURCE "src/veru/no/ind/veru_data_definitions"

bool VERU_data::validate(const VERU_value*) const {
  OM_abstract_operation(this, "validate", VERU_SOURCE, __LINE__);
}

char* VERU_data::print() const {
  OM_abstract_operation(this, "print", VERU_SOURCE, __LINE__);
}

int veru_data_refusal_code(const VERU_data* data, const VERU_value* value) {
  const int class_id = data->class_id();
  if (class_id == VERU_data_range_c) {
    return veru_range_refusal_code(static_cast<const VERU_data_range*>(data), value);
  }
  if (class_id == VERU_data_color_c) {
    return veru_color_refusal_code(static_cast<const VERU_data_color*>(data), value);
  }
  if (class_id == VERU_data_enum_c) {
    return veru_enum_refusal_code(static_cast<const VERU_data_enum*>(data), value);
  }
  try {
    data->validate(value);
    return 0;
  } catch (const TQS::Error::Exception& error) {
    return error.askCode();
  }
}
