// kvrn-prefs: the library's editor model as the commands use it.
#include "pref_view.h"

#include <cstring>

pref_view describe_pref(const char* name, int level) {
  VERU_pref_view_s* view = nullptr;
  VERU_describe_pref(name, level, &view);
  return pref_view(view, VERU_free_pref_view);
}

std::string shown_text(const VERU_pref_view_s& view, const char* value) {
  if (!value) return "-";
  if (std::strcmp(view.type, "string_list") != 0) return value;
  std::string shown;
  for (const std::string& item : list_items(value)) shown += (shown.empty() ? "" : ", ") + item;
  return shown;
}

std::string constraint_words(const VERU_pref_view_s& view) {
  if (view.constraint == VERU_CONSTRAINT_RANGE) {
    return std::string("range ") + (view.range_text ? view.range_text : "");
  }
  if (view.constraint == VERU_CONSTRAINT_NONE) return "none";
  const bool is_color = view.constraint == VERU_CONSTRAINT_COLOR;
  std::string text = is_color ? "colour 1 to 216" : "one of";
  for (int i = 0; i < view.member_count; ++i) {
    text += (i == 0 && !is_color ? " " : ", ") + std::string(view.members[i].value) + " (" +
            view.members[i].label + ")";
  }
  return text;
}
