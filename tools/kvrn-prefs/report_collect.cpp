// kvrn-prefs report: what the report shows, gathered from the module.
#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <utility>

#include "report.h"

namespace {

using prefs_by_group = std::map<const VERU_group*, std::vector<VERU_pref*>>;

// Taken before main, so before the module starts. A definition default dated after it got its
// date from start-up, because only a changed default in the extras file can give one, and
// showing that date would mislead. (Value files are dated by every save and every edit.)
const int PROCESS_START = CLOCK_gmt();

void collect(OM_object* object, void* data) {
  auto* pref = static_cast<VERU_pref*>(object);
  (*static_cast<prefs_by_group*>(data))[pref->ask_parent()].push_back(pref);
}

std::string utf8_of(const TEXT_s* text) {
  return TEXT_is_null_text(text) ? "" : TEXT_ask_utf8(text);
}

// The preferences under the application, in the order a person meets them: each group's own
// preferences in file order, then its subgroups.
std::vector<VERU_pref*> in_tree_order(const VERU_group* application, prefs_by_group& prefs) {
  std::vector<VERU_pref*> ordered;
  std::vector<std::pair<const VERU_group*, int>> path{{application, 0}};
  while (!path.empty()) {
    auto& [group, next] = path.back();
    if (next == 0) {
      auto own = prefs.find(group);
      if (own != prefs.end()) ordered.insert(ordered.end(), own->second.begin(), own->second.end());
    }
    if (next >= group->ask_n_objects()) {
      path.pop_back();
      continue;
    }
    const OM_object* child = group->ask_nth_object(next++);
    if (child && OM_is_subclass(child->class_id(), VERU_group_c)) {
      path.emplace_back(static_cast<const VERU_group*>(child), 0);
    }
  }
  return ordered;
}

std::vector<std::string> items_of(VERU_pref* pref, int level) {
  if (!pref->ask_value(level)) return {};
  if (pref->class_id() != VERU_pref_string_list_c) return {taken(pref->ask_display_value(level))};
  return list_items(value_text(pref->ask_value(level)));
}

std::set<std::string> carried_names(int level) {
  char** names = nullptr;
  const int count = VERU_ask_level_carried_entries(level, &names);
  const std::vector<std::string> carried = taken(names, count);
  return std::set<std::string>(carried.begin(), carried.end());
}

report_entry_s entry_of(VERU_pref* pref, int level, const std::set<std::string>& carried, int now) {
  report_entry_s entry;
  entry.carried = carried.count(pref->ask_name()) > 0;
  entry.is_list = pref->class_id() == VERU_pref_string_list_c;
  const bool by_default = VERU_is_level_locked_by_default(level);
  const VERU_recorded_value* recorded = pref->ask_recorded_value(level);
  if (level < 3) {
    entry.locks = recorded ? pref->is_locked_at(level) : by_default;
    entry.lock_by_default = entry.locks && by_default;
    entry.lock_exception = recorded && by_default && !entry.locks;
  }
  if (!recorded) return entry;
  entry.has_entry = true;
  if (pref->has_value(level)) {
    entry.items = items_of(pref, level);
    const std::string stored = value_text(recorded->ask_value());
    if (!entry.is_list && (entry.items.empty() || entry.items[0] != stored)) entry.stored = stored;
  }
  const int date = recorded->ask_modification_date();
  if (level > 0 || date < PROCESS_START || date > now) entry.date = date_text(date);
  entry.comment = utf8_of(recorded->ask_comment());
  return entry;
}

report_pref_s pref_of(VERU_pref* pref, const std::set<std::string> carried[4], int now) {
  report_pref_s row;
  row.application = utf8_of(pref->ask_application_name());
  row.category = utf8_of(pref->ask_category_name());
  row.tab = utf8_of(pref->ask_tab_name());
  row.group = utf8_of(pref->ask_group_name());
  row.name = pref->ask_name();
  row.title = utf8_of(pref->ask_title());
  row.type = type_name(pref);
  row.unit = utf8_of(pref->ask_unit());
  row.effective = items_of(pref, 3);
  row.source = 3;
  while (row.source > 0 && !pref->has_value(row.source)) --row.source;
  for (int level = 0; level <= 2 && row.locked_from < 0; ++level) {
    if (pref->is_locked(level)) row.locked_from = level;
  }
  for (int level = 0; level <= 3; ++level) {
    row.levels[level] = entry_of(pref, level, carried[level], now);
  }
  return row;
}

report_level_s level_of_report(int level) {
  report_level_s info;
  info.defined = level == 0 || VERU__is_level_defined(level);
  info.locks_by_default = level > 0 && VERU_is_level_locked_by_default(level);
  if (level > 0) info.file = VERU__ask_level_filename(level);
  char* reason = nullptr;
  const int state = VERU_ask_level_load_state(level, &reason);
  const std::string why = taken(reason);
  if (level == 0) {
    info.state = "the definition files";
  } else if (!info.defined) {
    info.state = "not used";
  } else if (state == VERU_LOAD_FAILED) {
    info.failed = true;
    info.state = "failed to load, so its values and locks are missing: " + why;
  } else if (state == VERU_LOAD_NO_FILE) {
    info.state = "no file";
  } else {
    info.state = "loaded";
    if (const int count = VERU_ask_level_carried_entries(level, nullptr)) {
      info.state += ", " + std::to_string(count) + (count == 1 ? " entry" : " entries") +
                    " ignored and carried";
    }
  }
  return info;
}

}  // namespace

bool collect_report(const std::string& application, bool changed_only, report_s* report) {
  const VERU_group* tree_root = VERU__ask_module_root()->ask_tree_root();
  prefs_by_group prefs;
  OM_for_all_in_set(VERU__ask_module_root()->ask_pref_set(), collect, &prefs);
  // Preferences get their tags in the order the definition files declare them.
  for (auto& entry : prefs) {
    std::sort(entry.second.begin(), entry.second.end(), [](VERU_pref* a, VERU_pref* b) {
      return OM_ask_object_tag(a) < OM_ask_object_tag(b);
    });
  }
  const int now = CLOCK_gmt();
  std::set<std::string> carried[4];
  for (int level = 1; level <= 3; ++level) carried[level] = carried_names(level);
  bool found = application.empty();
  std::string found_name;
  for (int i = 0; i < tree_root->ask_n_objects(); ++i) {
    const auto* group = static_cast<const VERU_group*>(tree_root->ask_nth_object(i));
    const char* csh = group->ask_csh_text();
    if (!application.empty() && utf8_of(group->ask_name()) != application &&
        !(csh && application == csh)) {
      continue;
    }
    found = true;
    found_name = utf8_of(group->ask_name());
    for (VERU_pref* pref : in_tree_order(group, prefs)) {
      if (changed_only && !pref->has_value(1) && !pref->has_value(2) && !pref->has_value(3)) {
        continue;
      }
      report->prefs.push_back(pref_of(pref, carried, now));
    }
  }
  if (!found) return false;
  report->scope = application.empty() ? "every application" : "the application " + found_name;
  if (changed_only) report->scope += ", set above the defaults";
  report->made = date_text(now);
  const char* base = std::getenv("KVRN_BASE_DIR");
  report->base = base ? base : "";
  for (int level = 0; level <= 3; ++level) report->levels[level] = level_of_report(level);
  return true;
}
