// kvrn-prefs report: what the report shows, gathered from the module.
#include <cstdlib>
#include <cstring>

#include "commands.h"
#include "pref_view.h"
#include "report.h"

namespace {

// Taken before main, so before the module starts. A definition default dated after it got its
// date from start-up, because only a changed default in the extras file can give one, and
// showing that date would mislead. (Value files are dated by every save and every edit.)
const int PROCESS_START = CLOCK_gmt();

bool is_list(const VERU_pref_view_s& view) {
  return std::strcmp(view.type, "string_list") == 0;
}

// A value as the report shows it: one item, or a string list's items.
std::vector<std::string> items_of(const VERU_pref_view_s& view, const char* value,
                                  const char* display) {
  if (!value) return {};
  if (is_list(view)) return list_items(value);
  return {display ? display : value};
}

report_entry_s entry_of(const VERU_pref_view_s& view, int level, int now) {
  const VERU_view_level_s& at = view.levels[level];
  report_entry_s entry;
  entry.carried = at.carried;
  entry.is_list = is_list(view);
  if (level < 3) {
    entry.locks = at.locks;
    entry.lock_by_default = at.locks && at.locked_by_default;
    entry.lock_exception = at.has_entry && at.locked_by_default && !at.locks;
  }
  if (!at.has_entry) return entry;
  entry.has_entry = true;
  entry.items = items_of(view, at.value, at.display);
  if (!entry.is_list && at.value && (entry.items.empty() || entry.items[0] != at.value)) {
    entry.stored = at.value;
  }
  if (level > 0 || at.modified < PROCESS_START || at.modified > now) {
    entry.date = date_text(at.modified);
  }
  entry.comment = at.comment ? at.comment : "";
  return entry;
}

std::string text_or_empty(const char* text) {
  return text ? text : "";
}

report_pref_s pref_of(const VERU_pref_view_s& view, int now) {
  report_pref_s row;
  row.application = text_or_empty(view.application);
  row.category = text_or_empty(view.category);
  row.tab = text_or_empty(view.tab);
  row.group = text_or_empty(view.group);
  row.name = view.name;
  row.title = text_or_empty(view.title);
  row.type = view.type;
  row.unit = text_or_empty(view.unit);
  row.effective = items_of(view, view.effective_value, view.effective_display);
  row.source = view.source;
  row.locked_from = view.lock_level;
  for (int level = 0; level <= 3; ++level) row.levels[level] = entry_of(view, level, now);
  return row;
}

// What the walk of the tree gathers for the report.
struct gathering_s {
  const std::string& wanted;  // the application's name or tag; every one for ""
  bool changed_only;
  int now;
  report_s* report;
  bool in_wanted = false;
  bool found = false;
  std::string found_name;
};

bool gather(const VERU_tree_node_s* node, void* data) {
  auto* gathering = static_cast<gathering_s*>(data);
  if (node->kind == VERU_TREE_APPLICATION) {
    const char* csh = node->group->ask_csh_text();
    gathering->in_wanted = gathering->wanted.empty() || gathering->wanted == node->name ||
                           (csh && gathering->wanted == csh);
    if (gathering->in_wanted) {
      gathering->found = true;
      gathering->found_name = node->name;
    }
    return true;
  }
  if (node->kind != VERU_TREE_PREF || !gathering->in_wanted) return true;
  const pref_view view = describe_pref(node->name, 3);
  if (gathering->changed_only && !view->levels[1].has_entry && !view->levels[2].has_entry &&
      !view->levels[3].has_entry) {
    return true;
  }
  gathering->report->prefs.push_back(pref_of(*view, gathering->now));
  return true;
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
  gathering_s gathering{application, changed_only, CLOCK_gmt(), report, false, false, ""};
  VERU_walk_pref_tree(gather, &gathering);
  if (!gathering.found) return false;
  report->scope =
      application.empty() ? "every application" : "the application " + gathering.found_name;
  if (changed_only) report->scope += ", set above the defaults";
  report->made = date_text(gathering.now);
  const char* base = std::getenv(installation_variable("--base"));
  report->base = base ? base : "";
  for (int level = 0; level <= 3; ++level) report->levels[level] = level_of_report(level);
  return true;
}
