// kvrn-prefs: facts about a preference that several commands show, as text and as JSON.
#include <algorithm>

#include "json.h"
#include "tool.h"

int locked_from(VERU_pref* pref) {
  for (int level = 0; level <= 2; ++level) {
    if (pref->is_locked(level)) return level;
  }
  return -1;
}

int value_source(VERU_pref* pref) {
  int source = 3;
  while (source > 0 && !pref->has_value(source)) --source;
  return source;
}

std::string json_value(const VERU_pref* pref, const VERU_value* value) {
  if (!value) return "null";
  if (pref->class_id() == VERU_pref_string_list_c) {
    std::vector<std::string> texts;
    for (const std::string& item : list_items(value_text(value)))
      texts.push_back(json_string(item));
    return json_array(texts);
  }
  const int type = value->class_id();
  if (type == VERU_int_value_c) {
    return std::to_string(static_cast<const VERU_int_value*>(value)->ask_value());
  }
  if (type == VERU_real_value_c) {
    return json_number(static_cast<const VERU_real_value*>(value)->ask_value());
  }
  if (type == VERU_logical_value_c) {
    return json_bool(static_cast<const VERU_logical_value*>(value)->ask_value());
  }
  return json_string(value_text(value));
}

namespace {

std::string json_text(const TEXT_s* text) {
  return TEXT_is_null_text(text) ? "null" : json_string(text_of(text));
}

std::string json_level(int level) {
  return level < 0 ? "null" : std::to_string(level);
}

void collect(OM_object* object, void* data) {
  static_cast<std::vector<VERU_pref*>*>(data)->push_back(static_cast<VERU_pref*>(object));
}

}  // namespace

json_fields pref_json_fields(VERU_pref* pref) {
  return {
      {"name", json_string(pref->ask_name())},
      {"title", json_text(pref->ask_title())},
      {"type", json_string(type_name(pref))},
      {"application", json_text(pref->ask_application_name())},
      {"category", json_text(pref->ask_category_name())},
      {"tab", json_text(pref->ask_tab_name())},
      {"group", json_text(pref->ask_group_name())},
      {"description", json_text(pref->ask_desc())},
      {"unit", json_text(pref->ask_unit())},
      {"value", json_value(pref, pref->ask_value(3))},
      {"display", json_string(displayed_value(pref, 3))},
      {"source", std::to_string(value_source(pref))},
      {"locked_at", json_level(locked_from(pref))},
  };
}

std::vector<VERU_pref*> prefs_in_file_order() {
  std::vector<VERU_pref*> prefs;
  OM_for_all_in_set(VERU__ask_module_root()->ask_pref_set(), collect, &prefs);
  // Preferences get their tags in the order the definition files declare them.
  std::sort(prefs.begin(), prefs.end(),
            [](VERU_pref* a, VERU_pref* b) { return OM_ask_object_tag(a) < OM_ask_object_tag(b); });
  return prefs;
}

std::string one_line(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  }
  return text;
}
