// The refusals of saving and of the calls around it: a library error code, and a reason for a
// person.
#pragma once

#include <veru.h>

// Returns code and, when reason is not null, stores in *reason a new string (SM_free) made from
// the format.
int veru_refuse_save(char** reason, int code, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
