// VERU_validate_result: the findings of a validation run, as three parallel arrays of code,
// file and text.
#include <veru.h>

#define VERU_SOURCE "src/veru/no/ind/veru_validate_result_definitions"

void VERU_validate_result::init_methods(OM_class_descriptor* table) {
  OM_set_constructor<VERU_validate_result>(table);
}

int VERU_validate_result::ask_result(int index, const char** filename,
                                     const char** error_text) const {
  const int code = OM_ask_int_elem(this, ATT_error_co__VERU_VALIDATE3900, index);
  if (filename) *filename = OM_ask_string_elem(this, ATT_filename__VERU_VALIDATE2067, index);
  if (error_text) *error_text = OM_ask_string_elem(this, ATT_error_te__VERU_VALIDATE1776, index);
  return code;
}

int VERU_validate_result::ask_n_results() const {
  return OM_ask_array_length(this, ATT_error_co__VERU_VALIDATE3900);
}

void VERU_validate_result::add_result(const char* filename, int error_code,
                                      const char* error_text) {
  if (MACH__checking_level != 0 && !VERU_is_veru_error(error_code)) {
    ERROR_assertion_failed(VERU_SOURCE, __LINE__, "%s", "VERU_is_veru_error(error_code)");
  }
  const int index = ask_n_results();
  for (int attribute : {ATT_error_co__VERU_VALIDATE3900, ATT_error_te__VERU_VALIDATE1776,
                        ATT_filename__VERU_VALIDATE2067}) {
    OM_set_array_length(this, attribute, index + 1);
  }
  OM_set_int_elem(this, ATT_error_co__VERU_VALIDATE3900, index, error_code);
  OM_set_string_elem(this, ATT_error_te__VERU_VALIDATE1776, index, error_text);
  OM_set_string_elem(this, ATT_filename__VERU_VALIDATE2067, index, filename);
}
