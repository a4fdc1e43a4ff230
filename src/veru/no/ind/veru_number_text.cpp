// Numbers to and from text in the "C" locale.
#include "veru_number_text.h"

#include <locale.h>
#include <charconv>
#include <climits>
#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <vavadoz.h>

namespace {

locale_t c_locale() {
  static locale_t locale = newlocale(LC_ALL_MASK, "C", nullptr);
  return locale;
}

bool is_space(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace

int veru_parse_int_prefix(const char* text) {
  if (!text) return 0;
  while (is_space(*text)) ++text;
  const bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  const std::int64_t limit = negative ? -static_cast<std::int64_t>(INT_MIN) : INT_MAX;
  std::int64_t magnitude = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    magnitude = magnitude * 10 + (*text - '0');
    if (magnitude > limit) magnitude = limit;
  }
  return static_cast<int>(negative ? -magnitude : magnitude);
}

double veru_parse_real_prefix(const char* text) {
  if (!text) return 0.0;
  // The common decimal forms are read without the locale machinery; what from_chars does not
  // read as atof would (a leading '+', hexadecimal digits) goes to strtod in the "C" locale.
  const char* start = text;
  while (is_space(*start)) ++start;
  double value = 0.0;
  const char* end = start + std::strlen(start);
  const std::from_chars_result read = std::from_chars(start, end, value);
  if (read.ec == std::errc() && *start != '+' &&
      !(read.ptr < end && (*read.ptr == 'x' || *read.ptr == 'X'))) {
    return value;
  }
  return strtod_l(text, nullptr, c_locale());
}

// to_chars with a precision writes exactly what printf's "%.15g" writes in the "C" locale.
char* veru_format_real(double value) {
  char text[64];
  const std::to_chars_result written =
      std::to_chars(text, text + sizeof text, value, std::chars_format::general, 15);
  return SM_string_ncopy(text, static_cast<std::size_t>(written.ptr - text));
}
