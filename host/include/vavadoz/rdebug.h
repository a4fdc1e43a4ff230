// Debug tokens: names under which a library announces its debugging output.
#pragma once
#include "api.h"

VAVADOZ_EXPORTS_BEGIN

// This host writes no debugging output, so a token needs no record: the name is accepted.
void RDEBUG_register_token(const char* name);

VAVADOZ_EXPORTS_END
