// The preferences in the order the definition files declare them, and the names they had before
// a rename (a definition's formerly), so that saves write new entries in definition order and
// entries written under an old name are read as the preference's new one.
#pragma once

#include <veru.h>

#include <vector>

// Notes a preference added to the module's preference set, after those added before it.
void veru_note_defined_pref(VERU_pref* pref);
// Notes the old names of a preference: its definition's formerly attribute (';'-separated; null
// when it has none).
void veru_note_former_names(VERU_pref* pref, const char* formerly);
const std::vector<VERU_pref*>& veru_prefs_in_definition_order();
