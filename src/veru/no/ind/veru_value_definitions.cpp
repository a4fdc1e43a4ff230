// VERU_value: the abstract base of the value classes.
#include <veru.h>

#define VERU_SOURCE "src/veru/no/ind/veru_value_definitions"

int VERU_value::compare(const VERU_value*) const {
  ERROR_internal(VERU_SOURCE, __LINE__, "Attempt to invoke abstract method compare on %s &%p",
                 OM_ask_class_name(class_id()), static_cast<const void*>(this));
}

char* VERU_value::print() const {
  ERROR_internal(VERU_SOURCE, __LINE__, "Attempt to invoke abstract method print on %s &%p",
                 OM_ask_class_name(class_id()), static_cast<const void*>(this));
}
