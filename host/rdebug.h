// Debug tokens: names under which a library announces its debugging output.
#pragma once

void RDEBUG_register_token(const char* name);
// Whether a token of that exact name was registered.
bool RDEBUG_is_token_registered(const char* name);
