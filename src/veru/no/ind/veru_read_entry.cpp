// Reading one Pref entry of a value file into a preference, with a refusal instead of a raise.
#include "veru_read_entry.h"

#include <cstring>

#include "veru_data_check.h"
#include "veru_edit.h"
#include "veru_pref_typed.h"
#include "veru_xml.h"

namespace {

// The code that reading an entry without a value raises for the library's preference classes
// (a logical preference refuses it as any other text that is not true or false); 0 for a class
// of the host's.
int missing_value_code(int class_id, int level) {
  if (class_id == VERU_pref_logical_c) return VERU_ERROR_NOT_LOGICAL;
  if (class_id == VERU_pref_int_c || class_id == VERU_pref_real_c ||
      class_id == VERU_pref_string_c || class_id == VERU_pref_list_c ||
      class_id == VERU_pref_string_list_c) {
    return veru_missing_value_code(level);
  }
  return 0;
}

// The value of the entry's text for a preference of the library's classes; null with *code when
// the type refuses it (only a logical preference refuses text: true or false, any letter case).
VERU_value* value_of(VERU_pref* pref, const char* text, int* code) {
  if (pref->class_id() != VERU_pref_logical_c) return pref->create_veru_value(text);
  const bool is_true = STR_compare_i(text, "true") == 0;
  if (!is_true && STR_compare_i(text, "false") != 0) {
    *code = VERU_ERROR_NOT_LOGICAL;
    return nullptr;
  }
  return VERU_logical_value::create(is_true);
}

}  // namespace

std::string veru_invalid_entry_reason(VERU_pref* pref, const char* text, int code) {
  if (!text) return "the entry has no value";
  // The constraint's own words, when it is the constraint that refuses.
  try {
    VERU_value* value = pref->create_veru_value(text);
    const veru_refusal_s refusal = veru_constraint_refusal(pref, value);
    OM_delete_object(value);
    if (refusal && refusal.code == code) return refusal.reason;
  } catch (const TQS::Error::Exception&) {
    // Not even of the preference's type: the code says so below.
  }
  const char* meaning = ERROR_decode(code);
  return "the value " + veru_quoted(text) + " is not valid" +
         (meaning ? std::string(": ") + meaning : std::string());
}

void veru_read_entry_details(VERU_pref* pref, VERU_recorded_value* recorded,
                             const veru_entry_attributes_s& entry) {
  if (entry.locked && std::strcmp(entry.locked, "yes") == 0) recorded->set_locked(true);
  if (const char* modified = entry.modified) {
    if (entry.has_modified_time) {
      recorded->set_modification_date(entry.modified_time);
    } else {
      ERROR_lprintf("\tDefault %s has a modification date %s that cannot be read. Date ignored\n",
                    veru_quoted(pref->ask_name()).c_str(), veru_quoted(modified).c_str());
    }
  }
  if (entry.comment) {
    TEXT_s* comment = TEXT_create_string(entry.comment);
    recorded->set_comment(comment);
    TEXT_free(comment);
  }
}

int veru_read_entry(VERU_pref* pref, const veru_entry_attributes_s& entry, int level,
                    const std::function<XERCES_DOM_node*()>& element) {
  const int class_id = pref->class_id();
  const int missing_code = missing_value_code(class_id, level);
  if (missing_code == 0) {
    pref->read_dom_node(element(), level);
    return 0;
  }
  if (!entry.value) return missing_code;
  int code = 0;
  VERU_value* value = value_of(pref, entry.value, &code);
  if (!value) return code;
  // Logical and list preferences are not checked against a constraint.
  const bool checked =
      class_id == VERU_pref_int_c || class_id == VERU_pref_real_c || class_id == VERU_pref_string_c;
  const VERU_data* data = checked ? pref->ask_data() : nullptr;
  if (data && (code = veru_data_refusal_code(data, value)) != 0) {
    OM_delete_object(value);
    return code;
  }
  pref->set_value(value, level);
  if (VERU_recorded_value* recorded = pref->VERU_pref::ask_recorded_value(level)) {
    veru_read_entry_details(pref, recorded, entry);
  }
  return 0;
}
