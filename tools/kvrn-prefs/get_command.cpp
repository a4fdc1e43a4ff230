// kvrn-prefs get: the value that the library's queries answer for a preference.
#include <cstdio>

#include "tool.h"

int run_get(const command_line_s& line) {
  if (line.arguments.size() != 1) return refuse(EXIT_USAGE, "get takes one preference name");
  const char* name = line.arguments[0].c_str();
  const VERU_pref* pref = VERU_lookup_pref(name);
  if (!pref) return refuse(EXIT_REFUSED, "no preference is named " + line.arguments[0]);
  const int type = pref->class_id();
  if (type == VERU_pref_int_c) {
    std::printf("%d\n", VERU_ask_int(name));
  } else if (type == VERU_pref_real_c) {
    std::printf("%.15g\n", VERU_ask_real(name));
  } else if (type == VERU_pref_logical_c) {
    std::printf("%s\n", VERU_ask_logical(name) ? "true" : "false");
  } else if (type == VERU_pref_string_list_c) {
    char** items = nullptr;
    const int count = VERU_ask_string_list(name, &items);
    for (int i = 0; i < count; ++i) {
      std::printf("%s\n", items[i]);
      SM_free(items[i]);
    }
    SM_free(items);
  } else {
    char* text = VERU_ask_string(name);
    std::printf("%s\n", text);
    SM_free(text);
  }
  return EXIT_OK;
}
