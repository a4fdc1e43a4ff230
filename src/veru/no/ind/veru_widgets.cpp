// The widget table, and what the rules read from a preference's Data element. An absent
// attribute matches no value.
#include "veru_widgets.h"

#include <cstring>
#include <iterator>
#include <vector>

#include "veru_validate.h"

namespace {

bool equal(const char* value, const char* other) {
  return value && other && std::strcmp(value, other) == 0;
}

// What a rule reads: the preference's type, its widget element and its Data element.
struct widget_facts_s {
  const char* pref_type = nullptr;
  XERCES_DOM_node* widget = nullptr;
  bool present = false;        // the preference has a Data element
  const char* type = nullptr;  // its "type" attribute
  bool has_bounds = false;     // its last LowerBound and last UpperBound both have a value
  std::vector<const char*> enum_values;  // the "value" of each EnumElem, null when absent

  bool is_type(const char* name) const { return equal(pref_type, name); }
  bool range_or_none() const { return !present || equal(type, "range"); }
  bool bounded_range() const { return equal(type, "range") && has_bounds; }
};

widget_facts_s facts_of(XERCES_DOM_node* widget, XERCES_DOM_node* data, const char* pref_type) {
  widget_facts_s facts;
  facts.pref_type = pref_type;
  facts.widget = widget;
  if (!data) return facts;
  facts.present = true;
  facts.type = veru_attribute(data, "type");
  XERCES_DOM_node* lower = nullptr;
  XERCES_DOM_node* upper = nullptr;
  for (XERCES_DOM_node* child = pvtbl_kvxml->XERCES_DOM_getFirstChild(data); child;
       child = pvtbl_kvxml->XERCES_DOM_getNextSibling(child)) {
    if (veru_is_named(child, "LowerBound")) {
      lower = child;
    } else if (veru_is_named(child, "UpperBound")) {
      upper = child;
    } else if (veru_is_named(child, "EnumElem")) {
      facts.enum_values.push_back(veru_attribute(child, "value"));
    }
  }
  facts.has_bounds = lower && upper && veru_has_text(veru_attribute(lower, "value")) &&
                     veru_has_text(veru_attribute(upper, "value"));
  return facts;
}

// Whether no enum value occurs twice; stops at the first repeat. Absent values repeat nothing.
bool are_unique(const std::vector<const char*>& values) {
  veru_string_set seen(nullptr);
  for (const char* value : values) {
    if (!value) continue;
    OM_string* string = OM_create_string(value);
    if (OM_insert_into_set(seen.get(), string)) {
      OM_delete_object(string);
      return false;
    }
  }
  return true;
}

// Option menus and radio boxes choose among the members of an enumeration.
int enum_choice(const widget_facts_s& facts, int not_enum_code) {
  if (!equal(facts.type, "enum")) return not_enum_code;
  return are_unique(facts.enum_values) ? 0 : VERU_ERROR_DUPLICATE_OPTIONS;
}

// Colour widgets of int preferences choose among the members of a colour enumeration; fits
// says whether that many members suit the widget.
int color_choice(const widget_facts_s& facts, bool fits, int code) {
  if (!facts.is_type("int") || !equal(facts.type, "color")) return code;
  if (!are_unique(facts.enum_values)) return VERU_ERROR_DUPLICATE_OPTIONS;
  return fits ? 0 : code;
}

// A text field of a string preference without a constraint.
int plain_string(const widget_facts_s& facts, int code) {
  return facts.is_type("string") && !facts.present ? 0 : code;
}

struct widget_s {
  const char* name;  // the element name
  int (*rule)(const widget_facts_s& facts);
};

// In the order of VERU_WIDGET_* from 1.
const widget_s WIDGETS[] = {
    {"Integer",
     [](const widget_facts_s& f) {
       return f.is_type("int") && f.range_or_none() ? 0 : VERU_ERROR_BAD_INTEGER_WIDGET;
     }},
    {"IntegerScale",
     [](const widget_facts_s& f) {
       return f.is_type("int") && f.bounded_range() ? 0 : VERU_ERROR_BAD_INTEGER_SCALE_WIDGET;
     }},
    {"Real",
     [](const widget_facts_s& f) {
       return f.is_type("real") && f.range_or_none() ? 0 : VERU_ERROR_BAD_REAL_WIDGET;
     }},
    {"RealScale",
     [](const widget_facts_s& f) {
       return f.is_type("real") && f.bounded_range() ? 0 : VERU_ERROR_BAD_REAL_SCALE_WIDGET;
     }},
    {"Toggle",
     [](const widget_facts_s& f) {
       // Any preference with a toggle needs exactly two values, one of them the "off" value.
       const char* off = veru_attribute(f.widget, "off");
       const std::vector<const char*>& values = f.enum_values;
       const bool fits =
           f.present && values.size() == 2 && (equal(off, values[0]) || equal(off, values[1]));
       return fits ? 0 : VERU_ERROR_BAD_TOGGLE_WIDGET;
     }},
    {"OptionMenu",
     [](const widget_facts_s& f) { return enum_choice(f, VERU_ERROR_BAD_OPTION_MENU_WIDGET); }},
    {"RadioBox",
     [](const widget_facts_s& f) { return enum_choice(f, VERU_ERROR_BAD_RADIO_BOX_WIDGET); }},
    {"Color",
     [](const widget_facts_s& f) { return f.is_type("int") ? 0 : VERU_ERROR_BAD_COLOR_WIDGET; }},
    {"ColorOption",
     [](const widget_facts_s& f) {
       return color_choice(f, !f.enum_values.empty(), VERU_ERROR_BAD_COLOR_OPTION_MENU_WIDGET);
     }},
    {"ColorToggle",
     [](const widget_facts_s& f) {
       return color_choice(f, f.enum_values.size() == 1, VERU_ERROR_BAD_COLOR_TOGGLE_WIDGET);
     }},
    {"String",
     [](const widget_facts_s& f) { return plain_string(f, VERU_ERROR_BAD_STRING_WIDGET); }},
    {"Widestring",
     [](const widget_facts_s& f) { return plain_string(f, VERU_ERROR_BAD_STRING_WIDGET); }},
    {"BrowseFileSel",
     [](const widget_facts_s& f) { return plain_string(f, VERU_ERROR_BAD_FILE_SELECTION_WIDGET); }},
    {"BrowseDirSel",
     [](const widget_facts_s& f) {
       return plain_string(f, VERU_ERROR_BAD_DIRECTORY_SELECTION_WIDGET);
     }},
    {"MultiLineText",
     [](const widget_facts_s& f) {
       return f.is_type("string_list") && !f.present ? 0 : VERU_ERROR_WIDGET_TYPE_MISMATCH;
     }},
};
static_assert(std::size(WIDGETS) == VERU_WIDGET_MULTI_LINE_TEXT, "one row per widget");

}  // namespace

int veru_widget_of(const char* element_name) {
  for (std::size_t i = 0; element_name && i < std::size(WIDGETS); ++i) {
    if (std::strcmp(WIDGETS[i].name, element_name) == 0) return static_cast<int>(i) + 1;
  }
  return VERU_WIDGET_NONE;
}

const char* VERU_ask_widget_name(int widget) {
  if (widget < 1 || widget > VERU_WIDGET_MULTI_LINE_TEXT) return nullptr;
  return WIDGETS[widget - 1].name;
}

int veru_check_widget(XERCES_DOM_node* widget, XERCES_DOM_node* data, const char* pref_type) {
  const int number = veru_widget_of(pvtbl_kvxml->XERCES_DOM_getNodeName(widget));
  if (equal(pref_type, "logical") && number != VERU_WIDGET_TOGGLE) {
    return VERU_ERROR_WIDGET_TYPE_MISMATCH;
  }
  if (number == VERU_WIDGET_NONE) return 0;
  return WIDGETS[number - 1].rule(facts_of(widget, data, pref_type));
}
