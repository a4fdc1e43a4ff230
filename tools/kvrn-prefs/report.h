// kvrn-prefs report: every preference with its value at each level, gathered once from the
// module and then written as plain text or as one XHTML page. Texts are UTF-8 as the files
// hold them; the writers escape them for their output.
#pragma once

#include <string>
#include <vector>

#include "tool.h"

// What one level records for a preference.
struct report_entry_s {
  bool has_entry = false;          // the level records the preference
  std::vector<std::string> items;  // its value as shown: one item, or a string list's items
  bool is_list = false;            // the preference is a string list
  std::string stored;              // the value as the file stores it, when it reads differently
  bool locks = false;              // the level locks the preference (own flag or its default)
  bool lock_by_default = false;    // ... through the level's default lock
  bool lock_exception = false;     // an entry that the level's default lock does not lock
  std::string date;                // when the value was set (dateTime); "" for a definition
                                   // default that start-up dated
  std::string comment;             // "" for none
  bool carried = false;            // the level's file holds an entry that start-up ignored
};

struct report_pref_s {
  std::string application, category, tab, group;  // group: "" when the tab has none
  std::string name, title, type, unit;
  std::vector<std::string> effective;  // the effective value's items, as in report_entry_s
  int source = 0;                      // the level the effective value comes from
  int locked_from = -1;                // the lowest level that locks it; -1 when none does
  report_entry_s levels[4];
};

struct report_level_s {
  bool defined = false;
  std::string file;  // the value file; "" for level 0
  bool locks_by_default = false;
  bool failed = false;  // its file failed to load
  std::string state;    // how its file loaded, as a person reads it
};

struct report_s {
  std::string scope;  // which preferences: "every application", "the application Drafting" ...
  std::string made;   // when the report was made (dateTime)
  std::string base;   // KVRN_BASE_DIR, "" when unset
  report_level_s levels[4];
  std::vector<report_pref_s> prefs;  // in the order of the definition tree
};

// Gathers the preferences of the application (its name or context-help tag; all for ""), only
// those whose effective value comes from a level above 0 when changed_only. False when no
// application has that name.
bool collect_report(const std::string& application, bool changed_only, report_s* report);
// The report as plain text for a terminal: control characters are shown as escapes.
std::string report_text(const report_s& report);
// The report as one self-contained, well-formed XHTML page (inline style, no script).
std::string report_html(const report_s& report);
