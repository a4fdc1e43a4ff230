// Numbers to and from text in the "C" locale.
#include "veru_number_text.h"

#include <locale.h>
#include <climits>
#include <clocale>
#include <cstdint>
#include <cstdlib>

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
  return strtod_l(text, nullptr, c_locale());
}

char* veru_format_real(double value) {
  locale_t previous = uselocale(c_locale());
  char* text = SM_sprintf("%.15g", value);
  uselocale(previous);
  return text;
}
