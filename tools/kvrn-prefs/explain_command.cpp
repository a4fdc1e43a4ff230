// kvrn-prefs explain: how a preference's value comes about, level by level.
#include <algorithm>
#include <cstdio>

#include "json.h"
#include "suggest.h"
#include "tool.h"
#include "xml_file.h"

namespace {

std::string constraint_text(const VERU_data* data) {
  if (!data) return "none";
  if (!OM_is_subclass(data->class_id(), VERU_data_enum_c)) {
    char* printed = data->print();
    std::string text = std::string("range ") + (printed ? printed : "");
    SM_free(printed);
    while (text.back() == ' ') text.pop_back();
    return text;
  }
  const auto* enumeration = static_cast<const VERU_data_enum*>(data);
  const bool is_color = data->class_id() == VERU_data_color_c;
  std::string text = is_color ? "colour 1 to 216" : "one of";
  for (int i = 0; i < enumeration->ask_n_elems(); ++i) {
    const VERU_enum_elem* elem = enumeration->ask_nth_elem(i);
    text += (i == 0 && !is_color ? " " : ", ") + value_text(elem->ask_value()) + " (" +
            text_of(elem->ask_name()) + ")";
  }
  return text;
}

std::string place_of(VERU_pref* pref) {
  std::string place = text_of(pref->ask_application_name()) + " / " +
                      text_of(pref->ask_category_name()) + " / " + text_of(pref->ask_tab_name());
  if (pref->ask_group_name()) place += " / " + text_of(pref->ask_group_name());
  return place;
}

bool is_carried(int level, const char* name) {
  char** names = nullptr;
  const int count = VERU_ask_level_carried_entries(level, &names);
  const std::vector<std::string> carried = taken(names, count);
  return std::find(carried.begin(), carried.end(), name) != carried.end();
}

void print_level(VERU_pref* pref, int level) {
  const bool by_default = VERU_is_level_locked_by_default(level);
  std::printf("  %d %-9s", level, level_name(level));
  const VERU_recorded_value* entry = pref->ask_recorded_value(level);
  if (!entry) {
    std::printf("no entry%s\n", by_default ? "; the level locks by default" : "");
    return;
  }
  std::printf("%s", shown_value(pref, entry->ask_value()).c_str());
  if (pref->is_locked_at(level)) {
    std::printf("  locked%s", by_default ? " (by the level's default)" : "");
  } else if (by_default) {
    std::printf("  unlocked (an exception to the level's default lock)");
  }
  std::printf("  modified %s", date_text(entry->ask_modification_date()).c_str());
  if (!TEXT_is_null_text(entry->ask_comment())) {
    std::printf("  comment \"%s\"", text_of(entry->ask_comment()).c_str());
  }
  std::printf("\n");
}

json_document level_json(VERU_pref* pref, int level) {
  const VERU_recorded_value* entry = pref->ask_recorded_value(level);
  const bool has_comment = entry && !TEXT_is_null_text(entry->ask_comment());
  return {
      {"level", level},
      {"name", level_name(level)},
      {"entry", entry != nullptr},
      {"value", entry ? json_value(pref, entry->ask_value()) : json_document(nullptr)},
      {"display", json_optional(entry, entry ? shown_value(pref, entry->ask_value()) : "")},
      {"locked_here", entry && pref->is_locked_at(level)},
      {"locked_by_default", VERU_is_level_locked_by_default(level)},
      {"modified", json_optional(entry, entry ? date_text(entry->ask_modification_date()) : "")},
      {"comment", json_optional(has_comment, has_comment ? text_of(entry->ask_comment()) : "")},
      {"carried", level > 0 && is_carried(level, pref->ask_name())},
  };
}

int print_json(VERU_pref* pref, const std::vector<std::pair<std::string, std::string>>& sources) {
  json_document fields = pref_json_fields(pref);
  json_document files = json_document::array();
  for (const auto& source : sources) {
    files.push_back({{"file", source.first}, {"role", source.second}});
  }
  json_document levels = json_document::array();
  for (int level = 0; level <= 3; ++level) levels.push_back(level_json(pref, level));
  fields["files"] = files;
  fields["constraint"] = constraint_text(pref->ask_data());
  fields["levels"] = levels;
  fields["queries_answer"] = json_value(pref, pref->loaded_value());
  print_json_document(fields);
  return EXIT_OK;
}

}  // namespace

int run_explain(const command_line_s& line) {
  if (line.arguments.size() != 1) return refuse(EXIT_USAGE, "explain takes one preference name");
  VERU_pref* pref = VERU_lookup_pref(line.arguments[0].c_str());
  if (!pref) return refuse_unknown_pref(line.arguments[0]);
  const auto sources = definition_sources(pref->ask_name());
  if (line.json) return print_json(pref, sources);
  std::printf("%s (%s) \"%s\"\n", pref->ask_name(), type_name(pref),
              text_of(pref->ask_title()).c_str());
  if (!TEXT_is_null_text(pref->ask_desc())) {
    std::printf("  %s\n", one_line(text_of(pref->ask_desc())).c_str());
  }
  std::printf("  in %s\n", place_of(pref).c_str());
  for (const auto& source : sources) {
    std::printf("  %s in %s\n", source.second.c_str(), source.first.c_str());
  }
  if (!TEXT_is_null_text(pref->ask_unit())) {
    std::printf("  unit %s\n", text_of(pref->ask_unit()).c_str());
  }
  std::printf("  constraint %s\n", constraint_text(pref->ask_data()).c_str());
  std::printf("levels:\n");
  for (int level = 0; level <= 3; ++level) {
    print_level(pref, level);
    if (level > 0 && is_carried(level, pref->ask_name())) {
      std::printf(
          "           the file's entry was ignored at start-up (locked below, or its value is not "
          "valid)\n           and is carried: saving the level writes it back unless the level "
          "gets a value\n");
    }
  }
  const int source = value_source(pref);
  std::printf("effective value %s, from level %d (%s)\n", displayed_value(pref, 3).c_str(), source,
              level_name(source));
  std::printf("queries answer %s\n", shown_value(pref, pref->loaded_value()).c_str());
  const int locked = locked_from(pref);
  if (locked < 0) {
    std::printf("not locked: the site, group and user levels may change it\n");
  } else {
    std::printf("locked at level %d (%s): levels above it cannot change it\n", locked,
                level_name(locked));
  }
  return EXIT_OK;
}
