// Numbers to and from the text of definition and value files, independent of the process's
// locale and without undefined behaviour on overflow.
#pragma once

// The decimal integer at the start of text, as atoi reads it (leading white space, an optional
// sign, digits); 0 when there is none. Values beyond the int range saturate at its ends.
int veru_parse_int_prefix(const char* text);
// The decimal floating-point number at the start of text, as atof reads it in the "C" locale;
// 0.0 when there is none.
double veru_parse_real_prefix(const char* text);
// A new string (SM_free): the number formatted with "%.15g" in the "C" locale.
char* veru_format_real(double value);
