// Reading one Pref entry of a value file into a preference without raising for a value that the
// preference refuses, so that a file of many bad entries costs no more than one of unknown ones.
#pragma once

#include <veru.h>

#include <functional>
#include <string>

#include "veru_entry_attributes.h"

// Reads the entry into the preference at the level, as its read_dom_node does: the value, its
// lock flag, date and comment; 0. A value that the preference's type or constraint refuses is
// not recorded and gives the code that read_dom_node raises for it; the words of why can be had
// later from veru_invalid_entry_reason. Preferences of the library's own classes are read without
// raising; another class's read_dom_node is called, and what it raises passes on.
// For a preference of the host's class, element makes the entry's element when called (null
// when it cannot).
int veru_read_entry(VERU_pref* pref, const veru_entry_attributes_s& entry, int level,
                    const std::function<XERCES_DOM_node*()>& element);
// Reads the lock flag, date and comment of the preference's entry into its recorded value.
void veru_read_entry_details(VERU_pref* pref, VERU_recorded_value* recorded,
                             const veru_entry_attributes_s& entry);
// Why the preference refuses its entry's value text (null when the entry has none) with code,
// in words: the constraint's own when it is the constraint that refuses.
std::string veru_invalid_entry_reason(VERU_pref* pref, const char* text, int code);
