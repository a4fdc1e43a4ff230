// A host program that calls only the library's own functions, built against the installed
// package: it must start with libvavadoz found beside libvuzodod, and the package's include
// path must not hide the system's <error.h>.
#include <error.h>
#include <veru.h>

#include <cstdio>

int main() {
  // glibc's <error.h>, not the host services' error header.
  error_print_progname = nullptr;
  std::printf("known: %s\n", VERU_is_known_default("No_Such_Preference") ? "yes" : "no");
  std::printf("library error: %s\n", VERU_is_veru_error(VERU_ERROR_UNKNOWN_PREF) ? "yes" : "no");
  return VERU_is_veru_error(VERU_ERROR_UNKNOWN_PREF) && !VERU_is_veru_error(1) ? 0 : 1;
}
