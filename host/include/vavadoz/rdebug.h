// Debug tokens: names under which a library announces its debugging output.
#pragma once
#include "api.h"

VAVADOZ_EXPORTS_BEGIN

void RDEBUG_register_token(const char* name);
// Whether a token of that exact name was registered.
bool RDEBUG_is_token_registered(const char* name);

VAVADOZ_EXPORTS_END
