// VERU_data: the abstract base of the constraints.
#include <veru.h>

#define VERU_SOURCE "src/veru/no/ind/veru_data_definitions"

bool VERU_data::validate(const VERU_value*) const {
  ERROR_internal(VERU_SOURCE, __LINE__, "Attempt to invoke abstract method validate on %s &%p",
                 OM_ask_class_name(class_id()), static_cast<const void*>(this));
}

char* VERU_data::print() const {
  ERROR_internal(VERU_SOURCE, __LINE__, "Attempt to invoke abstract method print on %s &%p",
                 OM_ask_class_name(class_id()), static_cast<const void*>(this));
}
