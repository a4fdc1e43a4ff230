// kvrn-prefs: the library's editor model as the commands use it: a view of a preference that
// frees itself, and its values as a person reads them.
#pragma once

#include <memory>
#include <string>

#include "tool.h"

using pref_view = std::unique_ptr<VERU_pref_view_s, void (*)(VERU_pref_view_s*)>;

// The preference as the level sees it; null when no preference has the name.
pref_view describe_pref(const char* name, int level);
// A value of the view as a person reads it in a line: a string list's items separated by ", ",
// anything else as the file writes it; "-" for none.
std::string shown_text(const VERU_pref_view_s& view, const char* value);
// The constraint in words: "range [>=1 <=120]", "one of ISO (ISO), ASME (ASME)", "colour 1 to
// 216, 0 (By Layer)" or "none".
std::string constraint_words(const VERU_pref_view_s& view);
