// The widgets of definition files: each one's element name, its number (VERU_WIDGET_*), and the
// rule saying which preference type and constraint suit it. Loading, validation and the editor
// model all read this one table.
#pragma once

#include <veru.h>

// The number of a widget element's name (VERU_WIDGET_*); VERU_WIDGET_NONE for any other name.
int veru_widget_of(const char* element_name);
// 0 when the widget element suits a preference of pref_type whose last Data element is data
// (null when it has none); otherwise the validation code that says why not.
int veru_check_widget(XERCES_DOM_node* widget, XERCES_DOM_node* data, const char* pref_type);
