// Byte-string helpers of the host.
#include <vavadoz/str.h>

char STR_tolower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

int STR_compare_i(const char* a, const char* b) {
  if (!a || !b) return (a ? 1 : 0) - (b ? 1 : 0);
  for (;; ++a, ++b) {
    auto ca = static_cast<unsigned char>(STR_tolower(*a));
    auto cb = static_cast<unsigned char>(STR_tolower(*b));
    if (ca != cb || ca == 0) return ca - cb;
  }
}
