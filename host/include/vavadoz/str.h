// Byte-string helpers of the host that ignore letter case (ASCII letters only).
#pragma once
#include "api.h"

VAVADOZ_EXPORTS_BEGIN

// Compares two strings ignoring ASCII letter case: 0 when equal, negative or positive as strcmp.
// A null string sorts before every other string.
int STR_compare_i(const char* a, const char* b);
// The lower-case form of an ASCII letter; other characters are returned unchanged.
char STR_tolower(char c);

VAVADOZ_EXPORTS_END
