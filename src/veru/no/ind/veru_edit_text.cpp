// Reading what a person types for a preference strictly, and saying what is allowed.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "veru_data_check.h"
#include "veru_edit.h"
#include "veru_installation_names.h"
#include "veru_pref_types.h"
#include "veru_sm_string.h"
#include "veru_xml.h"

namespace {

std::string owned_text(char* text) {
  const veru_sm_string owned = veru_owned(text);
  return owned ? owned.get() : "";
}

std::string printed(const VERU_value* value) {
  return value ? owned_text(value->print()) : "";
}

std::string name_of(const VERU_enum_elem* elem) {
  return elem && elem->ask_name() ? TEXT_ask_utf8(elem->ask_name()) : "";
}

// "ISO, ASME, JIS", each member's value after its name when the two differ.
std::string members_of(const VERU_data_enum* enumeration) {
  std::string members;
  for (int i = 0; i < enumeration->ask_n_elems(); ++i) {
    const VERU_enum_elem* elem = enumeration->ask_nth_elem(i);
    const std::string name = name_of(elem);
    const std::string value = printed(elem->ask_value());
    if (!members.empty()) members += ", ";
    members += name == value || name.empty() ? value : name + " (" + value + ")";
  }
  return members;
}

const VERU_data_enum* enumeration_of(VERU_pref* pref) {
  const VERU_data* data = pref->ask_data();
  return data && OM_is_subclass(data->class_id(), VERU_data_enum_c)
             ? static_cast<const VERU_data_enum*>(data)
             : nullptr;
}

veru_refusal_s refused(int code, std::string reason) {
  return veru_refusal_s{code, std::move(reason)};
}

// Why the preference's enumeration or colour table refuses what shown stands for; no refusal
// when it has neither.
veru_refusal_s member_refusal(VERU_pref* pref, const std::string& shown) {
  const VERU_data_enum* enumeration = enumeration_of(pref);
  if (!enumeration) return {};
  const std::string members = members_of(enumeration);
  if (enumeration->class_id() == VERU_data_color_c) {
    return refused(VERU_ERROR_NOT_COLOR,
                   "not a colour: " + shown + " (a colour number from 1 to 216" +
                       (members.empty() ? "" : ", or one of " + members) + ")");
  }
  return refused(VERU_ERROR_NOT_IN_ENUM, shown + " is not allowed: must be one of " + members);
}

// The text as a reason shows it: cut after 200 bytes as log lines cut it, and in double quotes
// when it is empty or starts or ends with a blank, which would not show otherwise.
std::string shown_text(const std::string& whole) {
  const std::string text = veru_quoted(whole.c_str());
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  if (text.empty() || blank(text.front()) || blank(text.back())) return "\"" + text + "\"";
  return text;
}

enum class number_read { read, out_of_range, not_a_number };

// Reads the whole text as a decimal number, a sign first if any.
template <typename Number>
number_read read_number(const char* text, Number* number) {
  const char* start = *text == '+' && text[1] != '-' ? text + 1 : text;
  const char* end = text + std::strlen(text);
  const std::from_chars_result read = std::from_chars(start, end, *number);
  if (!*start || read.ptr != end) return number_read::not_a_number;
  if (read.ec == std::errc::result_out_of_range) return number_read::out_of_range;
  return read.ec == std::errc() ? number_read::read : number_read::not_a_number;
}

// The list's encoded text reads back as the same text: no item holds the separator, and a
// single item is not enclosed in quotes.
bool is_encoded_list(const char* text) {
  char** items = nullptr;
  const int count = VERU_string_breakup_lines_separated_by_slash(text, &items);
  char* encoded = VERU_encode_string_list(count, items);
  const bool same = std::strcmp(encoded ? encoded : "", text) == 0;
  SM_free(encoded);
  for (int i = 0; i < count; ++i) SM_free(items[i]);
  SM_free(items);
  return same;
}

}  // namespace

VERU_value* veru_member_named(VERU_pref* pref, const char* text) {
  const VERU_data_enum* enumeration = enumeration_of(pref);
  if (!enumeration || !text) return nullptr;
  for (int i = 0; i < enumeration->ask_n_elems(); ++i) {
    const VERU_enum_elem* elem = enumeration->ask_nth_elem(i);
    if (elem->ask_value() && name_of(elem) == text) {
      return static_cast<VERU_value*>(OM_copy_object(elem->ask_value()));
    }
  }
  return nullptr;
}

std::string veru_level_text(int level) {
  return "level " + std::to_string(level) + " (" +
         (level >= 0 && level <= 3 ? VERU_LEVEL_NAMES[level] : "none") + ")";
}

veru_refusal_s veru_unholdable_text(const char* text, const std::string& what, int code) {
  std::size_t offset = 0;
  if (KVXML_is_xml_text(text, &offset)) return {};
  const auto byte = static_cast<unsigned char>(text[offset]);
  char shown[16];
  std::snprintf(shown, sizeof shown, byte < 0x80 ? "U+%04X" : "byte 0x%02X", byte);
  return refused(code, what + " holds " + shown + " at byte " + std::to_string(offset + 1) +
                           ", which a value file cannot hold (control characters other than tab "
                           "and line breaks, and text that is not UTF-8)");
}

veru_refusal_s veru_check_edit_text(const char* text, const char* what, int code) {
  if (veru_refusal_s refusal = veru_unholdable_text(text, what, code)) return refusal;
  if (text && std::strlen(text) > VERU_MAX_EDIT_TEXT) {
    return refused(code, std::string(what) + " is longer than " +
                             std::to_string(VERU_MAX_EDIT_TEXT) + " bytes");
  }
  return {};
}

VERU_value* veru_read_value_text(VERU_pref* pref, const char* text, veru_refusal_s* refusal) {
  const int type = pref->class_id();
  const veru_pref_type_s* known = veru_pref_type_of(type);
  const int code = known ? known->not_code : VERU_ERROR_NOT_STRING;
  if (!text) {
    *refusal = refused(code, "no value given");
    return nullptr;
  }
  if ((*refusal = veru_check_edit_text(text, "the value", code))) return nullptr;
  const std::string shown = shown_text(text);
  if (type == VERU_pref_int_c) {
    int number = 0;
    const number_read read = read_number(text, &number);
    if (read == number_read::read) return VERU_int_value::create(number);
    *refusal = read == number_read::out_of_range
                   ? refused(code, shown +
                                       " is outside the range of an int, -2147483648 to "
                                       "2147483647")
                   : refused(code, "not an integer: " + shown);
  } else if (type == VERU_pref_real_c) {
    double number = 0.0;
    const number_read read = read_number(text, &number);
    if (read == number_read::read && std::isfinite(number)) return VERU_real_value::create(number);
    *refusal =
        read == number_read::out_of_range
            ? refused(code, shown + " is outside the range of a real number")
            : refused(code, "not a real number: " + shown + " (write it as 2.5, -0.75 or 1e-3)");
  } else if (type == VERU_pref_logical_c) {
    if (STR_compare_i(text, "true") == 0 || STR_compare_i(text, "false") == 0) {
      return VERU_logical_value::create(STR_compare_i(text, "true") == 0);
    }
    *refusal = refused(code, "not a logical: " + shown + " (write true or false)");
  } else if (type == VERU_pref_string_list_c && !is_encoded_list(text)) {
    *refusal = refused(code, "not a string list in its encoded form: " + shown +
                                 " (one item bare, or each item in double quotes with a "
                                 "backslash between them: \"a\"\\\"b\")");
  } else {
    return VERU_string_value::create(text);
  }
  // Not a number, nor the name of a member (which the caller tries): say which names there are.
  if (type == VERU_pref_int_c || type == VERU_pref_real_c) {
    if (veru_refusal_s members = member_refusal(pref, shown)) *refusal = members;
  }
  return nullptr;
}

veru_refusal_s veru_constraint_refusal(VERU_pref* pref, const VERU_value* value) {
  const VERU_data* data = pref->ask_data();
  const int type = pref->class_id();
  if (!data || type == VERU_pref_logical_c || OM_is_subclass(type, VERU_pref_list_c)) return {};
  const int code = veru_data_refusal_code(data, value);
  if (code == 0) return {};
  const std::string shown = shown_text(printed(value));
  if (veru_refusal_s refusal = member_refusal(pref, shown)) return refusal;
  std::string range = owned_text(data->print());
  while (!range.empty() && range.back() == ' ') range.pop_back();
  return refused(code, shown + " is outside " + range);
}
