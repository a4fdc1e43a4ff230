// International text of the host. A TEXT_s holds UTF-8; it converts to the locale's narrow
// encoding on demand. A null text is a null pointer or a text without characters.
#pragma once

#include <cstddef>

#include "api.h"

VAVADOZ_EXPORTS_BEGIN

struct TEXT_s;

// A new text of a UTF-8 string; null gives null.
TEXT_s* TEXT_create_string(const char* utf8);
// A new text of the first length bytes of a UTF-8 string.
TEXT_s* TEXT_create_string_n(const char* utf8, std::size_t length);
// A new text of a string in the locale's encoding; null gives null.
TEXT_s* TEXT_create_from_locale(const char* text);
TEXT_s* TEXT_copy(const TEXT_s* text);
void TEXT_free(TEXT_s* text);
// The text's own UTF-8 characters; "" for a null pointer.
const char* TEXT_ask_utf8(const TEXT_s* text);
// New strings (SM_free): the UTF-8 form and the locale's form; "" for a null pointer.
char* TEXT_to_utf8(const TEXT_s* text);
char* TEXT_to_locale(const TEXT_s* text);
bool TEXT_is_null_text(const TEXT_s* text);
// Removes white space at both ends of the text, in place.
void TEXT_strip_spaces(TEXT_s* text);

VAVADOZ_EXPORTS_END
