// Reading what a person types for a preference strictly, and the refusals of edits in words a
// person can act on.
#pragma once

#include <veru.h>

#include <string>

// The longest value or comment an edit accepts, in bytes.
constexpr std::size_t VERU_MAX_EDIT_TEXT = 65535;

// A refusal: a library error code and its reason.
struct veru_refusal_s {
  int code = 0;
  std::string reason;
  explicit operator bool() const { return code != 0; }
};

// Why a value file could not hold text (which character, and where); no refusal when it can.
// what names the text ("the value", "the comment of X").
veru_refusal_s veru_unholdable_text(const char* text, const std::string& what, int code);
// The same, and also refused when longer than an edit takes.
veru_refusal_s veru_check_edit_text(const char* text, const char* what, int code);
// A new value of the preference's type read strictly from text (a string list in its encoded
// form); null with *refusal when it is none.
VERU_value* veru_read_value_text(VERU_pref* pref, const char* text, veru_refusal_s* refusal);
// A new value: that of the member of the preference's enumeration or colours named text; null
// when no member has that name.
VERU_value* veru_member_named(VERU_pref* pref, const char* text);
// Why the preference's constraint refuses value; no refusal when it allows it. Logical and
// list preferences are not checked, as when value files are read.
veru_refusal_s veru_constraint_refusal(VERU_pref* pref, const VERU_value* value);
// Why an edit of the preference at the level would be refused whatever it sets: the level cannot
// be edited, or a lower level locks the preference. No refusal when it may change it.
veru_refusal_s veru_change_refusal(VERU_pref* pref, int level);
// "level 1 (site)".
std::string veru_level_text(int level);
// Makes queries answer the value of the highest level that no lock below hides.
void veru_refresh_query_value(VERU_pref* pref);
