// VERU_data: the abstract base of the constraints.
#include <veru.h>

#define VERU_SOURCE "src/veru/no/ind/veru_data_definitions"

bool VERU_data::validate(const VERU_value*) const {
  OM_abstract_operation(this, "validate", VERU_SOURCE, __LINE__);
}

char* VERU_data::print() const {
  OM_abstract_operation(this, "print", VERU_SOURCE, __LINE__);
}
