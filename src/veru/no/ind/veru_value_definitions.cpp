// VERU_value: the abstract base of the value classes.
#include <veru.h>

#define VERU_SOURCE "src/veru/no/ind/veru_value_definitions"

int VERU_value::compare(const VERU_value*) const {
  OM_abstract_operation(this, "compare", VERU_SOURCE, __LINE__);
}

char* VERU_value::print() const {
  OM_abstract_operation(this, "print", VERU_SOURCE, __LINE__);
}
