// kvrn-prefs explain: how a preference's value comes about, level by level.
#include <algorithm>
#include <cstdio>

#include "pref_view.h"
#include "suggest.h"
#include "xml_file.h"

namespace {

std::string place_of(const VERU_pref_view_s& view) {
  std::string place = std::string(view.application) + " / " + view.category + " / " + view.tab;
  if (view.group) place += std::string(" / ") + view.group;
  return place;
}

void print_level(const VERU_pref_view_s& view, int level) {
  const VERU_view_level_s& at = view.levels[level];
  std::printf("  %d %-9s", level, level_name(level));
  if (!at.has_entry) {
    std::printf("no entry%s\n", at.locked_by_default ? "; the level locks by default" : "");
    return;
  }
  std::printf("%s", shown_text(view, at.value).c_str());
  if (at.locks) {
    std::printf("  locked%s", at.locked_by_default ? " (by the level's default)" : "");
  } else if (at.locked_by_default) {
    std::printf("  unlocked (an exception to the level's default lock)");
  }
  std::printf("  modified %s", date_text(at.modified).c_str());
  if (at.comment) std::printf("  comment \"%s\"", at.comment);
  std::printf("\n");
}

json_document level_json(VERU_pref* pref, const VERU_pref_view_s& view, int level) {
  const VERU_view_level_s& at = view.levels[level];
  const VERU_value* value = at.has_entry ? pref->ask_recorded_value(level)->ask_value() : nullptr;
  return {
      {"level", level},
      {"name", level_name(level)},
      {"entry", at.has_entry},
      {"value", json_value(pref, value)},
      {"display", json_optional(at.has_entry, shown_text(view, at.value))},
      {"locked_here", at.has_entry && at.locks},
      {"locked_by_default", at.locked_by_default},
      {"modified", json_optional(at.has_entry, date_text(at.modified))},
      {"comment", json_optional(at.comment, at.comment ? at.comment : "")},
      {"carried", at.carried},
  };
}

int print_json(VERU_pref* pref, const VERU_pref_view_s& view,
               const std::vector<std::pair<std::string, std::string>>& sources) {
  json_document fields = pref_json_fields(pref);
  json_document files = json_document::array();
  for (const auto& source : sources) {
    files.push_back({{"file", source.first}, {"role", source.second}});
  }
  json_document levels = json_document::array();
  for (int level = 0; level <= 3; ++level) levels.push_back(level_json(pref, view, level));
  fields["files"] = files;
  fields["constraint"] = constraint_words(view);
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
  const pref_view view = describe_pref(pref->ask_name(), 3);
  const auto sources = definition_sources(pref->ask_name());
  if (line.json) return print_json(pref, *view, sources);
  std::printf("%s (%s) \"%s\"\n", view->name, view->type, view->title ? view->title : "");
  if (view->description) std::printf("  %s\n", one_line(view->description).c_str());
  std::printf("  in %s\n", place_of(*view).c_str());
  for (const auto& source : sources) {
    std::printf("  %s in %s\n", source.second.c_str(), source.first.c_str());
  }
  if (view->unit) std::printf("  unit %s\n", view->unit);
  std::printf("  constraint %s\n", constraint_words(*view).c_str());
  if (view->restart) std::printf("  a change applies after the host restarts\n");
  std::printf("levels:\n");
  for (int level = 0; level <= 3; ++level) {
    print_level(*view, level);
    if (view->levels[level].carried) {
      std::printf(
          "           the file's entry was ignored at start-up (locked below, or its value is not "
          "valid)\n           and is carried: saving the level writes it back unless the level "
          "gets a value\n");
    }
  }
  const std::string effective = std::string(view->type) == "string_list"
                                    ? shown_text(*view, view->effective_value)
                                    : view->effective_display;
  std::printf("effective value %s, from level %d (%s)\n", effective.c_str(), view->source,
              level_name(view->source));
  std::printf("queries answer %s\n", shown_text(*view, view->query_value).c_str());
  if (view->lock_level < 0) {
    std::printf("not locked: the site, group and user levels may change it\n");
  } else {
    std::printf("locked at level %d (%s): levels above it cannot change it", view->lock_level,
                level_name(view->lock_level));
    if (view->lock_comment) std::printf(" (\"%s\")", one_line(view->lock_comment).c_str());
    std::printf("\n");
  }
  return EXIT_OK;
}
