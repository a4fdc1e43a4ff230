// kvrn-prefs get: the value that the library's queries answer for a preference.
#include <cstdio>

#include "json.h"
#include "suggest.h"
#include "tool.h"

namespace {

void print_value(const VERU_pref* pref, const char* name) {
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
    for (const std::string& item : taken(items, count)) std::printf("%s\n", item.c_str());
  } else {
    char* text = VERU_ask_string(name);
    std::printf("%s\n", text);
    SM_free(text);
  }
}

}  // namespace

int run_get(const command_line_s& line) {
  if (line.arguments.size() != 1) return refuse(EXIT_USAGE, "get takes one preference name");
  const char* name = line.arguments[0].c_str();
  VERU_pref* pref = VERU_lookup_pref(name);
  if (!pref) return refuse_unknown_pref(line.arguments[0]);
  if (!line.json) {
    print_value(pref, name);
    return EXIT_OK;
  }
  print_json_document({{"name", name},
                       {"type", VERU_ask_pref_type_name(pref)},
                       {"value", json_value(pref, pref->loaded_value())}});
  return EXIT_OK;
}
