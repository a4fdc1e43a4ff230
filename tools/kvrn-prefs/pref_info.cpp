// kvrn-prefs: facts about a preference that several commands show, as text and as JSON.
#include <algorithm>

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

json_document json_value(const VERU_pref* pref, const VERU_value* value) {
  if (!value) return nullptr;
  if (pref->class_id() == VERU_pref_string_list_c) return list_items(value_text(value));
  const int type = value->class_id();
  if (type == VERU_int_value_c) return static_cast<const VERU_int_value*>(value)->ask_value();
  if (type == VERU_real_value_c) return static_cast<const VERU_real_value*>(value)->ask_value();
  if (type == VERU_logical_value_c) {
    return static_cast<const VERU_logical_value*>(value)->ask_value();
  }
  return value_text(value);
}

namespace {

json_document json_text_of(const TEXT_s* text) {
  return json_optional(!TEXT_is_null_text(text), text_of(text));
}

json_document json_level(int level) {
  return level < 0 ? json_document(nullptr) : json_document(level);
}

void collect(OM_object* object, void* data) {
  static_cast<std::vector<VERU_pref*>*>(data)->push_back(static_cast<VERU_pref*>(object));
}

}  // namespace

json_document pref_json_fields(VERU_pref* pref) {
  return {
      {"name", pref->ask_name()},
      {"title", json_text_of(pref->ask_title())},
      {"type", VERU_ask_pref_type_name(pref)},
      {"application", json_text_of(pref->ask_application_name())},
      {"category", json_text_of(pref->ask_category_name())},
      {"tab", json_text_of(pref->ask_tab_name())},
      {"group", json_text_of(pref->ask_group_name())},
      {"description", json_text_of(pref->ask_desc())},
      {"unit", json_text_of(pref->ask_unit())},
      {"value", json_value(pref, pref->ask_value(3))},
      {"display", displayed_value(pref, 3)},
      {"source", value_source(pref)},
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
