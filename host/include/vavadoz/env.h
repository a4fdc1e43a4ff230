// Environment of the host: variables, references to them inside names, and the version record.
#pragma once
#include "api.h"

VAVADOZ_EXPORTS_BEGIN

// A new string (SM_free) with the variable's value, or null when it is not set.
char* ENV_translate_variable(const char* name);
// Expands ${NAME} and $NAME references in text. 0 with a new string in *expanded; non-zero
// (and *expanded null) when a referenced variable is not set or a reference is malformed.
int ENV_expand_name(const char* text, char** expanded);

// The version record of the running host.
struct ENV_version_s {
  const char* product_name;
  int numbers[4];  // major, minor, maintenance, build
};
void ENV_ask_version(ENV_version_s* version);

VAVADOZ_EXPORTS_END
