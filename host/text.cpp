// International text of the host.
#include <vavadoz/text.h>

#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>

#include <vavadoz/sm.h>

// The characters follow the header in the same pool block; stripping may shorten a text, so
// the block's size is kept beside the length.
struct TEXT_s {
  std::uint32_t length;
  std::uint32_t capacity;
  char* chars() { return reinterpret_cast<char*>(this + 1); }
  const char* chars() const { return reinterpret_cast<const char*>(this + 1); }
};

namespace {

TEXT_s* make_text(const char* bytes, std::size_t length) {
  if (length >= UINT32_MAX) throw std::bad_alloc();
  auto* text = static_cast<TEXT_s*>(SM_pool_alloc(sizeof(TEXT_s) + length + 1));
  text->length = static_cast<std::uint32_t>(length);
  text->capacity = static_cast<std::uint32_t>(length);
  std::memcpy(text->chars(), bytes, length);
  text->chars()[length] = '\0';
  return text;
}

// The locale's narrow encoding when it is one that UTF-8 must be converted to; null when the
// locale is UTF-8 or plain ASCII, which we treat as UTF-8.
const char* foreign_codeset() {
  const char* codeset = nl_langinfo(CODESET);
  if (!codeset || !*codeset || std::strcmp(codeset, "UTF-8") == 0 ||
      std::strcmp(codeset, "ANSI_X3.4-1968") == 0) {
    return nullptr;
  }
  return codeset;
}

// Converts with iconv; characters that the target cannot hold become '?'. Null when the
// conversion is not available.
char* convert(const char* bytes, std::size_t length, const char* to, const char* from) {
  iconv_t converter = iconv_open(to, from);
  if (converter == reinterpret_cast<iconv_t>(-1)) return nullptr;
  std::string out;
  char buffer[256];
  auto* in = const_cast<char*>(bytes);
  std::size_t in_left = length;
  while (in_left > 0) {
    char* out_pos = buffer;
    std::size_t out_left = sizeof buffer;
    std::size_t done = iconv(converter, &in, &in_left, &out_pos, &out_left);
    out.append(buffer, static_cast<std::size_t>(out_pos - buffer));
    if (done == static_cast<std::size_t>(-1) && errno != E2BIG) {
      out.push_back('?');  // a character the target cannot hold, or a broken sequence
      ++in;
      --in_left;
    }
  }
  iconv_close(converter);
  return SM_string_ncopy(out.data(), out.size());
}

}  // namespace

TEXT_s* TEXT_create_string(const char* utf8) {
  return utf8 ? make_text(utf8, std::strlen(utf8)) : nullptr;
}

TEXT_s* TEXT_create_string_n(const char* utf8, std::size_t length) {
  return utf8 ? make_text(utf8, strnlen(utf8, length)) : nullptr;
}

TEXT_s* TEXT_create_from_locale(const char* text) {
  if (!text) return nullptr;
  const char* codeset = foreign_codeset();
  char* utf8 = codeset ? convert(text, std::strlen(text), "UTF-8", codeset) : nullptr;
  TEXT_s* result = TEXT_create_string(utf8 ? utf8 : text);
  SM_free(utf8);
  return result;
}

TEXT_s* TEXT_copy(const TEXT_s* text) {
  return text ? make_text(text->chars(), text->length) : nullptr;
}

void TEXT_free(TEXT_s* text) {
  if (text) SM_pool_free(text, sizeof(TEXT_s) + text->capacity + 1);
}

const char* TEXT_ask_utf8(const TEXT_s* text) {
  return text ? text->chars() : "";
}

char* TEXT_to_utf8(const TEXT_s* text) {
  return SM_string_copy(TEXT_ask_utf8(text));
}

char* TEXT_to_locale(const TEXT_s* text) {
  const char* codeset = foreign_codeset();
  if (text && codeset) {
    std::string target = std::string(codeset) + "//TRANSLIT";
    if (char* converted = convert(text->chars(), text->length, target.c_str(), "UTF-8")) {
      return converted;
    }
  }
  return TEXT_to_utf8(text);
}

bool TEXT_is_null_text(const TEXT_s* text) {
  return !text || text->length == 0;
}

void TEXT_strip_spaces(TEXT_s* text) {
  if (!text) return;
  auto is_space = [](char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
  };
  std::size_t begin = 0;
  std::size_t end = text->length;
  while (begin < end && is_space(text->chars()[begin])) ++begin;
  while (end > begin && is_space(text->chars()[end - 1])) --end;
  std::memmove(text->chars(), text->chars() + begin, end - begin);
  text->length = static_cast<std::uint32_t>(end - begin);
  text->chars()[text->length] = '\0';
}
