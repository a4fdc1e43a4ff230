// String utilities: the one-string encoding of string lists, and the two forms of references
// to environment variables (${NAME} and %NAME%).
#include <veru.h>

#include <cstring>
#include <string>
#include <vector>

#define VERU_SOURCE "src/veru/no/ind/veru_string_utils"

namespace {

// Between two items of an encoded list: double quote, backslash, double quote.
const char* const SEPARATOR = "\"\\\"";

// Positions of the separators: each search starts one character after the previous match's
// first character, so separators may overlap.
std::vector<const char*> find_separators(const char* text) {
  std::vector<const char*> matches;
  for (const char* match = std::strstr(text, SEPARATOR); match;
       match = std::strstr(match + 1, SEPARATOR)) {
    matches.push_back(match);
  }
  return matches;
}

// Length of the character at text: its UTF-8 sequence, or one byte where there is none. An
// item's first character is skipped as its opening quote; when it is something else, it goes
// whole, so that no item starts in the middle of a character.
std::size_t character_length(const char* text) {
  const auto lead = static_cast<unsigned char>(*text);
  const std::size_t length = lead < 0xC0   ? 1
                             : lead < 0xE0 ? 2
                             : lead < 0xF0 ? 3
                             : lead < 0xF8 ? 4
                                           : 1;
  for (std::size_t i = 1; i < length; ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return 1;
  }
  return length;
}

// The last piece of a list: without its quotes when it is enclosed in them. A lone double
// quote is an empty quoted item.
char* last_item(const char* piece) {
  const std::size_t length = std::strlen(piece);
  if (length == 1 && piece[0] == '"') return SM_string_copy("");
  if (length >= 2 && piece[0] == '"' && piece[length - 1] == '"') {
    return SM_string_ncopy(piece + 1, length - 2);
  }
  return SM_string_copy(piece);
}

}  // namespace

char* VERU_encode_string_list(int count, const char* const* items) {
  if (count <= 0 || !items) return nullptr;
  auto item = [items](int i) { return items[i] ? items[i] : ""; };
  if (count == 1) return SM_string_copy(item(0));
  std::string encoded = std::string("\"") + item(0) + "\"";
  for (int i = 1; i < count; ++i) encoded += std::string("\\\"") + item(i) + "\"";
  return SM_string_ncopy(encoded.data(), encoded.size());
}

int VERU_string_breakup_lines_separated_by_slash(const char* text, char*** list) {
  if (!text || !*text) {
    if (list) {
      *list = static_cast<char**>(SM_alloc(sizeof(char*)));
      (*list)[0] = nullptr;
    }
    return 0;
  }
  const std::vector<const char*> matches = find_separators(text);
  const int count = static_cast<int>(matches.size()) + 1;
  if (!list) return count;
  char** items = static_cast<char**>(SM_alloc((matches.size() + 2) * sizeof(char*)));
  const char* item_start = text;
  std::size_t index = 0;
  for (const char* match : matches) {
    if (MACH__checking_level != 0) {
      if (*item_start != '"') {
        for (std::size_t i = 0; i < index; ++i) SM_free(items[i]);
        SM_free(items);
        ERROR_assertion_failed(VERU_SOURCE, __LINE__, "%s", "*substr_start == '\"'");
      }
    }
    const char* content = item_start + character_length(item_start);
    items[index++] = match > content
                         ? SM_string_ncopy(content, static_cast<std::size_t>(match - content))
                         : SM_string_copy("");
    item_start = match + 2;
  }
  items[index++] = last_item(item_start);
  items[index] = nullptr;
  *list = items;
  return count;
}

char* VERU__remove_quotes_and_backslash(const char* text) {
  if (!text) return nullptr;
  if (!*text || !std::strchr(text, '"')) return SM_string_copy(text);
  char** items = nullptr;
  const int count = VERU_string_breakup_lines_separated_by_slash(text, &items);
  std::string flattened;
  for (int i = 0; i < count; ++i) {
    if (i > 0) flattened += ' ';
    flattened += items[i];
    SM_free(items[i]);
  }
  SM_free(items);
  return count > 0 ? SM_string_ncopy(flattened.data(), flattened.size()) : nullptr;
}

char* VERU_add_percent_chars_to_string(const char* text) {
  if (!text) return nullptr;
  if (!std::strchr(text, '$')) return SM_string_copy(text);
  std::string converted;
  bool open = false;
  for (const char* p = text; *p; ++p) {
    if (*p == '$') {
      if (p[1] != '{') return SM_string_copy(text);
      converted += '%';
      open = true;
      ++p;
    } else if (*p == '}') {
      if (!open) return SM_string_copy(text);
      converted += '%';
      open = false;
    } else {
      converted += *p;
    }
  }
  return SM_string_ncopy(converted.data(), converted.size());
}

char* VERU_remove_percent_chars_from_string(const char* text) {
  if (!text) return nullptr;
  if (!std::strchr(text, '%')) return SM_string_copy(text);
  std::string converted;
  bool opening = true;
  for (const char* p = text; *p; ++p) {
    if (*p == '%') {
      converted += opening ? "${" : "}";
      opening = !opening;
    } else {
      converted += *p;
    }
  }
  return SM_string_ncopy(converted.data(), converted.size());
}
