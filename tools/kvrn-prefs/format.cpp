// kvrn-prefs: names and texts shared by the commands.
#include <cstdio>
#include <cstdlib>

#include "tool.h"

const char* level_name(int level) {
  return level >= 0 && level <= 3 ? VERU__ask_level_names(nullptr)[level] : "?";
}

int level_of(const std::string& name) {
  for (int level = 1; level <= 3; ++level) {
    if (name == level_name(level) || name == std::to_string(level)) return level;
  }
  return -1;
}

int any_level_of(const std::string& name) {
  return name == level_name(0) || name == "0" ? 0 : level_of(name);
}

std::string value_text(const VERU_value* value) {
  if (!value) return "-";
  char* printed = value->print();
  std::string text = printed ? printed : "";
  SM_free(printed);
  return text;
}

std::string shown_value(const VERU_pref* pref, const VERU_value* value) {
  if (!value || pref->class_id() != VERU_pref_string_list_c) return value_text(value);
  std::string shown;
  for (const std::string& item : list_items(value_text(value))) {
    shown += (shown.empty() ? "" : ", ") + item;
  }
  return shown;
}

std::string displayed_value(VERU_pref* pref, int level) {
  if (pref->class_id() == VERU_pref_string_list_c) return shown_value(pref, pref->ask_value(level));
  return taken(pref->ask_display_value(level));
}

std::string text_of(const TEXT_s* text) {
  char* local = TEXT_to_locale(text);
  std::string result = local ? local : "";
  SM_free(local);
  return result;
}

std::string date_text(int time) {
  CLOCK_date_s date = CLOCK_null_date;
  CLOCK_time_to_date(time, &date);
  char* formatted = CLOCK_format_date_time(&date, CLOCK_FORMAT_XML_SCHEMA, CLOCK_FORMAT_XML_SCHEMA);
  std::string result = formatted ? formatted : "-";
  SM_free(formatted);
  return result;
}

int refuse(int status, const std::string& message) {
  std::fprintf(stderr, "kvrn-prefs: %s\n", message.c_str());
  return status;
}

std::string taken(char* text) {
  std::string result = text ? text : "";
  SM_free(text);
  return result;
}

std::vector<std::string> taken(char** list, int count) {
  std::vector<std::string> texts;
  for (int i = 0; i < count; ++i) texts.push_back(taken(list[i]));
  SM_free(list);
  return texts;
}

std::vector<std::string> list_items(const std::string& encoded) {
  char** items = nullptr;
  const int count = VERU_string_breakup_lines_separated_by_slash(encoded.c_str(), &items);
  return taken(items, count);
}

void warn_about_failed_levels(int last) {
  for (int level = 1; level <= last; ++level) {
    char* reason = nullptr;
    if (VERU_ask_level_load_state(level, &reason) != VERU_LOAD_FAILED) continue;
    std::fprintf(stderr,
                 "kvrn-prefs: warning: the %s level's file failed to load, so its values and locks "
                 "are missing here: %s\n",
                 level_name(level), taken(reason).c_str());
  }
}
