// Environment of the host.
#include <vavadoz/env.h>

#include <cstdlib>
#include <string>

#include <vavadoz/sm.h>

namespace {

bool is_name_char(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

}  // namespace

char* ENV_translate_variable(const char* name) {
  if (!name || !*name) return nullptr;
  return SM_string_copy(std::getenv(name));
}

int ENV_expand_name(const char* text, char** expanded) {
  if (!expanded) return 1;
  *expanded = nullptr;
  if (!text) return 1;
  std::string result;
  for (const char* p = text; *p;) {
    if (*p != '$') {
      result.push_back(*p++);
      continue;
    }
    std::string name;
    if (p[1] == '{') {
      const char* end = p + 2;
      while (*end && *end != '}') ++end;
      if (*end != '}') return 2;
      name.assign(p + 2, end);
      p = end + 1;
    } else {
      const char* end = p + 1;
      while (is_name_char(*end)) ++end;
      name.assign(p + 1, end);
      p = end;
    }
    const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
    if (!value) return 3;
    result += value;
  }
  *expanded = SM_string_copy(result.c_str());
  return 0;
}

void ENV_ask_version(ENV_version_s* version) {
  if (!version) return;
  *version = ENV_version_s{"Kvrn", {1, 0, 0, 0}};
}
