// How the definition files show a preference beyond the class attributes: its widget, a toggle's
// off value, and whether a change applies only after the host restarts. The definition loader
// records them; the editor model reads them.
#pragma once

#include <veru.h>

#include <string>

// Records the preference's widget, replacing one recorded before (the last widget element of a
// preference is the one shown), and a toggle's off value (null for none).
void veru_set_pref_widget(const VERU_pref* pref, int widget, const char* toggle_off);
void veru_set_pref_restart(const VERU_pref* pref, bool restart);
int veru_ask_pref_widget(const VERU_pref* pref);
// "" when the widget is no toggle or names no off value.
const std::string& veru_ask_pref_toggle_off(const VERU_pref* pref);
bool veru_ask_pref_restart(const VERU_pref* pref);
