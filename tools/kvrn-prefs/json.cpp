// JSON output of kvrn-prefs: texts, numbers, objects and arrays written as JSON.
#include "json.h"

#include <cmath>
#include <cstdio>

namespace {

// The length of the well-formed UTF-8 sequence that starts at text[at]; 0 when there is none
// (a stray continuation byte, an overlong form, a surrogate, a code point beyond U+10FFFF or a
// sequence cut short).
std::size_t utf8_length(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  std::size_t length = 0;
  unsigned char low = 0x80;  // the range of the second byte
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (length > text.size() - at) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[at + i]);
    if (byte < (i == 1 ? low : 0x80) || byte > (i == 1 ? high : 0xBF)) return 0;
  }
  return length;
}

}  // namespace

std::string json_string(std::string_view text) {
  std::string out = "\"";
  for (std::size_t at = 0; at < text.size();) {
    const auto byte = static_cast<unsigned char>(text[at]);
    if (byte == '"' || byte == '\\') {
      out += '\\';
      out += static_cast<char>(byte);
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else if (byte < 0x80) {
      out += static_cast<char>(byte);
    } else if (const std::size_t length = utf8_length(text, at)) {
      out.append(text.substr(at, length));
      at += length;
      continue;
    } else {
      out += "\\ufffd";
    }
    ++at;
  }
  out += '"';
  return out;
}

std::string json_bool(bool value) {
  return value ? "true" : "false";
}

std::string json_number(double value) {
  if (!std::isfinite(value)) return "null";
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

std::string json_object(const json_fields& fields) {
  std::string out = "{";
  for (std::size_t i = 0; i < fields.size(); ++i) {
    out += (i ? ", " : "") + json_string(fields[i].first) + ": " + fields[i].second;
  }
  return out + "}";
}

std::string json_array(const std::vector<std::string>& items, bool one_per_line) {
  if (items.empty()) return "[]";
  std::string out = "[";
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (one_per_line)
      out += i ? ",\n  " : "\n  ";
    else if (i)
      out += ", ";
    out += items[i];
  }
  return out + (one_per_line ? "\n]" : "]");
}
