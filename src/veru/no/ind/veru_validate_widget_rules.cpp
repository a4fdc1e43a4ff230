// The widget rules of preferences: which widget element suits which preference type and which
// Data element. An absent attribute matches no value.
#include <cstring>
#include <vector>

#include "veru_validate.h"

namespace {

bool equal(const char* value, const char* other) {
  return value && other && std::strcmp(value, other) == 0;
}

// What the rules read from a preference's Data element.
struct data_facts_s {
  bool present = false;        // the preference has a Data element
  const char* type = nullptr;  // its "type" attribute
  bool has_bounds = false;     // its last LowerBound and last UpperBound both have a value
  std::vector<const char*> enum_values;  // the "value" of each EnumElem, null when absent
};

data_facts_s facts_of(XERCES_DOM_node* data) {
  data_facts_s facts;
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
int enum_choice(const data_facts_s& data, int not_enum_code) {
  if (!equal(data.type, "enum")) return not_enum_code;
  return are_unique(data.enum_values) ? 0 : VERU_ERROR_DUPLICATE_OPTIONS;
}

// Colour widgets of int preferences choose among the members of a colour enumeration; count
// says how many members suit the widget.
int color_choice(const char* pref_type, const data_facts_s& data, bool (*count_fits)(size_t),
                 int code) {
  if (!equal(pref_type, "int") || !equal(data.type, "color")) return code;
  if (!are_unique(data.enum_values)) return VERU_ERROR_DUPLICATE_OPTIONS;
  return count_fits(data.enum_values.size()) ? 0 : code;
}

}  // namespace

int VERU_validate_pref::validate_widget(XERCES_DOM_node* widget, XERCES_DOM_node* data,
                                        const char* pref_type) {
  const char* widget_name = pvtbl_kvxml->XERCES_DOM_getNodeName(widget);
  auto is_widget = [widget_name](const char* name) { return equal(widget_name, name); };
  auto is_type = [pref_type](const char* type) { return equal(pref_type, type); };

  if (is_type("logical") && !is_widget("Toggle")) return VERU_ERROR_WIDGET_TYPE_MISMATCH;
  const data_facts_s facts = facts_of(data);
  const bool range_or_none = !facts.present || equal(facts.type, "range");
  const bool bounded_range = equal(facts.type, "range") && facts.has_bounds;

  if (is_widget("Integer"))
    return is_type("int") && range_or_none ? 0 : VERU_ERROR_BAD_INTEGER_WIDGET;
  if (is_widget("IntegerScale"))
    return is_type("int") && bounded_range ? 0 : VERU_ERROR_BAD_INTEGER_SCALE_WIDGET;
  if (is_widget("Real")) return is_type("real") && range_or_none ? 0 : VERU_ERROR_BAD_REAL_WIDGET;
  if (is_widget("RealScale"))
    return is_type("real") && bounded_range ? 0 : VERU_ERROR_BAD_REAL_SCALE_WIDGET;
  if (is_widget("String") || is_widget("Widestring")) {
    return is_type("string") && !facts.present ? 0 : VERU_ERROR_BAD_STRING_WIDGET;
  }
  if (is_widget("OptionMenu")) return enum_choice(facts, VERU_ERROR_BAD_OPTION_MENU_WIDGET);
  if (is_widget("RadioBox")) return enum_choice(facts, VERU_ERROR_BAD_RADIO_BOX_WIDGET);
  if (is_widget("BrowseFileSel"))
    return is_type("string") && !facts.present ? 0 : VERU_ERROR_BAD_FILE_SELECTION_WIDGET;
  if (is_widget("BrowseDirSel"))
    return is_type("string") && !facts.present ? 0 : VERU_ERROR_BAD_DIRECTORY_SELECTION_WIDGET;
  if (is_widget("Color")) return is_type("int") ? 0 : VERU_ERROR_BAD_COLOR_WIDGET;
  if (is_widget("ColorOption")) {
    return color_choice(
        pref_type, facts, [](size_t count) { return count >= 1; },
        VERU_ERROR_BAD_COLOR_OPTION_MENU_WIDGET);
  }
  if (is_widget("ColorToggle")) {
    return color_choice(
        pref_type, facts, [](size_t count) { return count == 1; },
        VERU_ERROR_BAD_COLOR_TOGGLE_WIDGET);
  }
  if (is_widget("Toggle")) {
    // Any preference with a toggle needs exactly two values, one of them the "off" value.
    const char* off = veru_attribute(widget, "off");
    const std::vector<const char*>& values = facts.enum_values;
    const bool fits =
        facts.present && values.size() == 2 && (equal(off, values[0]) || equal(off, values[1]));
    return fits ? 0 : VERU_ERROR_BAD_TOGGLE_WIDGET;
  }
  if (is_widget("MultiLineText")) {
    return is_type("string_list") && !facts.present ? 0 : VERU_ERROR_WIDGET_TYPE_MISMATCH;
  }
  return 0;
}
