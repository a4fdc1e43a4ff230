// Debug tokens.
#include <vavadoz/rdebug.h>

#include <set>
#include <string>

namespace {

std::set<std::string>& tokens() {
  static std::set<std::string> registered;
  return registered;
}

}  // namespace

void RDEBUG_register_token(const char* name) {
  if (name) tokens().insert(name);
}

bool RDEBUG_is_token_registered(const char* name) {
  return name && tokens().count(name) != 0;
}
