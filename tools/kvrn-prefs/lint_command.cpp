// kvrn-prefs lint: every value file of the installation checked against the definitions and the
// other levels, as start-up read it: one finding per line, each with a stable name.
#include <strings.h>

#include <cstdio>
#include <map>

#include "json.h"
#include "suggest.h"
#include "tool.h"
#include "value_file.h"

namespace {

constexpr int EXIT_FINDINGS = 1;

struct finding_s {
  int level;
  std::string file;
  int position;      // the entry's place in the file; 0 for the file as a whole
  std::string name;  // the entry's preference name
  const char* finding;
  std::string text;
};

using findings_t = std::vector<finding_s>;

// Why a lower level's lock hides the preference: which level, and whether by its entry or by its
// default lock.
std::string lock_text(VERU_pref* pref, int level) {
  int below = 0;
  while (below < level - 1 && !pref->is_locked(below)) ++below;
  std::string text = "locked at level " + std::to_string(below) + " (" + level_name(below) + ")";
  if (!pref->ask_recorded_value(below)) text += " by that level's default lock";
  return text + ": the entry counts for nothing while that lock stands";
}

std::vector<std::string> entry_attribute_names() {
  std::vector<std::string> names;
  for (const char* const* name = VERU__ask_value_entry_attribute_names(nullptr); *name; ++name) {
    names.emplace_back(*name);
  }
  return names;
}

// What start-up reads the text as for the preference, printed; "" when it refuses it (a logical
// other than true or false, a value its constraint refuses).
std::string read_as(VERU_pref* pref, const std::string& text) {
  if (pref->class_id() == VERU_pref_logical_c && strcasecmp(text.c_str(), "true") != 0 &&
      strcasecmp(text.c_str(), "false") != 0) {
    return "";
  }
  try {
    VERU_value* value = pref->create_veru_value(text.c_str());
    const std::string printed = value_text(value);
    OM_delete_object(value);
    return VERU_check_value_text(pref->ask_name(), printed.c_str(), nullptr) == 0 ? printed : "";
  } catch (const TQS::Error::Exception&) {
    return "";
  }
}

// The findings of what a person may have mistyped in an entry: a name start-up reads under a new
// one, a value it reads other than an edit would, a lock flag other than yes
// and no.
template <typename Add>
void check_entry_text(const value_file_s& file, const value_entry_s& entry, const Add& add) {
  VERU_pref* pref = VERU_lookup_pref(entry.name.c_str());
  if (!pref) {
    pref = VERU_lookup_renamed_pref(entry.name.c_str());
    if (!pref) return;
    add("renamed", std::string("read as ") + pref->ask_name() +
                       ", its new name; the next save of the level writes it under that name");
  }
  char* reason = nullptr;
  if (entry.has_value &&
      VERU_check_value_text(pref->ask_name(), entry.value.c_str(), &reason) != 0) {
    const std::string why = taken(reason);
    const std::string read = read_as(pref, entry.value);
    if (!read.empty()) {
      add("read-differently", "value \"" + entry.value + "\" is read as " + read +
                                  ", but an edit would refuse it: " + why);
    }
  }
  if (entry.has_locked && entry.locked != "yes" && entry.locked != "no") {
    add("unclear-lock",
        "locked=\"" + entry.locked + "\" counts as no: only \"yes\" sets the " +
            "entry's own lock flag" +
            (file.locked_by_default ? ", so the level's default lock holds it" : ""));
  }
}

// The findings of one entry on its own.
void check_entry(const value_file_s& file, const value_entry_s& entry, findings_t* findings) {
  auto add = [&](const char* finding, const std::string& text) {
    findings->push_back({file.level, file.path, entry.position, entry.name, finding, text});
  };
  if (entry.ignored_code == VERU_ERROR_UNKNOWN_PREF) {
    const VERU_pref* renamed = VERU_lookup_renamed_pref(entry.name.c_str());
    add("unknown-preference", (renamed ? entry.ignored_reason : "no preference has this name") +
                                  "; start-up ignores the entry and saves keep it" +
                                  (renamed ? "" : did_you_mean_pref(entry.name)));
  } else if (entry.ignored_code == VERU_ERROR_LOCKED_AT_HIGHER_LEVEL) {
    add("hidden-by-lock", lock_text(VERU_lookup_pref(entry.name.c_str()), file.level));
  } else if (entry.ignored_code) {
    add("invalid-value", entry.ignored_reason + "; start-up ignores the entry");
  } else if (file.level == 3 && entry.locked_flag && !file.locked_by_default) {
    add("useless-lock", "locked=\"yes\" changes nothing at the user level: no level lies above it");
  }
  // An entry a lock hides counts again once the lock goes: its text is checked too.
  if (!entry.ignored_code || entry.ignored_code == VERU_ERROR_LOCKED_AT_HIGHER_LEVEL) {
    check_entry_text(file, entry, add);
  }
  for (const std::string& name : entry.unknown_attributes) {
    add("unknown-attribute", "a Pref entry has no attribute " + name +
                                 did_you_mean(name, entry_attribute_names()) +
                                 "; start-up ignores it and saves keep it");
  }
  if (entry.has_modified) {
    CLOCK_date_s date = CLOCK_null_date;
    int time = 0;
    if (CLOCK_xml_dateTime_to_date(entry.modified.c_str(), &date) != 0 ||
        CLOCK_date_to_time(&date, &time) != 0) {
      add("unreadable-date", "modified=\"" + entry.modified + "\" is not a date start-up can read");
    }
  }
}

std::string positions_text(const std::vector<int>& positions) {
  std::string text;
  for (std::size_t i = 0; i < positions.size(); ++i) {
    if (i > 0) text += i + 1 == positions.size() ? " and " : ", ";
    text += std::to_string(positions[i]);
  }
  return text;
}

bool same_value(const VERU_value* a, const VERU_value* b) {
  return a && b && a->class_id() == b->class_id() && a->compare(b) == 0;
}

// The findings about entries of one name together: duplicates, and an entry that changes
// nothing. entries are those of the name that start-up did not ignore, in file order.
void check_name(const value_file_s& file, const std::string& name,
                const std::vector<const value_entry_s*>& entries, findings_t* findings) {
  const value_entry_s& last = *entries.back();
  if (entries.size() > 1) {
    std::vector<int> positions;
    for (const value_entry_s* entry : entries) positions.push_back(entry->position);
    findings->push_back({file.level, file.path, last.position, name, "duplicate-entry",
                         "entries " + positions_text(positions) + " set it; entry " +
                             std::to_string(last.position) + ", read last, gives the value"});
  }
  VERU_pref* pref = VERU_lookup_pref(name.c_str());
  const VERU_recorded_value* own = pref ? pref->ask_recorded_value(file.level) : nullptr;
  if (!own) return;
  int below = file.level - 1;
  while (below > 0 && !pref->has_value(below)) --below;
  if (!same_value(own->ask_value(), pref->ask_value(file.level - 1))) return;
  if (pref->is_locked_at(file.level) != file.locked_by_default) return;
  findings->push_back({file.level, file.path, last.position, name, "same-as-inherited",
                       "its value " + shown_value(pref, own->ask_value()) + " is the one level " +
                           std::to_string(below) + " (" + level_name(below) +
                           ") gives, and it locks nothing the level's " +
                           "default does not: the entry changes nothing"});
}

void check_file(const value_file_s& file, findings_t* findings) {
  if (file.has_default_lock_status && file.default_lock_status != "locked" &&
      file.default_lock_status != "unlocked") {
    findings->push_back({file.level, file.path, 0, "", "unclear-default-lock",
                         "defaultLockStatus=\"" + file.default_lock_status +
                             "\" counts as unlocked: only \"locked\" locks the level by "
                             "default"});
  }
  if (file.level == 3 && file.locked_by_default) {
    findings->push_back({file.level, file.path, 0, "", "useless-lock",
                         "defaultLockStatus=\"locked\" changes nothing at the user level: no "
                         "level lies above it"});
  }
  std::map<std::string, std::vector<const value_entry_s*>> counted;
  std::vector<std::string> order;
  for (const value_entry_s& entry : file.entries) {
    check_entry(file, entry, findings);
    if (entry.ignored_code) continue;
    auto& entries = counted[entry.name];
    if (entries.empty()) order.push_back(entry.name);
    entries.push_back(&entry);
  }
  for (const std::string& name : order) check_name(file, name, counted[name], findings);
}

void print_text(const findings_t& findings) {
  for (const finding_s& finding : findings) {
    std::printf("%s %s: %s: %s: %s\n", level_name(finding.level), finding.file.c_str(),
                finding.name.empty() ? "-" : one_line(finding.name).c_str(), finding.finding,
                one_line(finding.text).c_str());
  }
}

void print_json(const findings_t& findings) {
  json_document objects = json_document::array();
  for (const finding_s& finding : findings) {
    const bool whole_file = finding.position == 0;
    objects.push_back({
        {"level", finding.level},
        {"level_name", level_name(finding.level)},
        {"file", finding.file},
        {"entry", whole_file ? json_document(nullptr) : json_document(finding.position)},
        {"name", json_optional(!whole_file, finding.name)},
        {"finding", finding.finding},
        {"text", finding.text},
    });
  }
  print_json_document(objects, true);
}

}  // namespace

int run_lint(const command_line_s& line) {
  if (!line.arguments.empty()) return refuse(EXIT_USAGE, "lint takes no arguments");
  findings_t findings;
  int checked = 0;
  for (int level = 1; level <= 3; ++level) {
    if (!VERU__is_level_defined(level)) continue;
    const std::string path = VERU__ask_level_filename(level);
    char* reason = nullptr;
    const int state = VERU_ask_level_load_state(level, &reason);
    std::string failure = taken(reason);
    if (state == VERU_LOAD_NO_FILE || state == VERU_LOAD_NOT_READ) continue;
    ++checked;
    value_file_s file;
    if (state == VERU_LOAD_LOADED && read_value_file(level, &file, &failure)) {
      check_file(file, &findings);
    } else {
      findings.push_back({level, path, 0, "", "load-failed",
                          failure + "; its values and locks count for nothing, and edits of the "
                                    "level are refused until it is mended or moved aside"});
    }
  }
  if (line.json) {
    print_json(findings);
  } else {
    print_text(findings);
  }
  std::fprintf(stderr, "kvrn-prefs: %d value file%s checked, %zu finding%s\n", checked,
               checked == 1 ? "" : "s", findings.size(), findings.size() == 1 ? "" : "s");
  return findings.empty() ? EXIT_OK : EXIT_FINDINGS;
}
