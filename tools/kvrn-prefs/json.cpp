// JSON output of kvrn-prefs: documents written as JSON text.
#include "json.h"

#include <cstdio>

namespace {

std::string dumped(const json_document& document) {
  return document.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace

std::string json_text(const json_document& document, bool one_per_line) {
  if (!one_per_line || !document.is_array() || document.empty()) return dumped(document);
  std::string out = "[";
  for (std::size_t i = 0; i < document.size(); ++i) {
    out += i ? ",\n  " : "\n  ";
    out += dumped(document[i]);
  }
  return out + "\n]";
}

void print_json_document(const json_document& document, bool one_per_line) {
  std::printf("%s\n", json_text(document, one_per_line).c_str());
}

json_document json_optional(bool has, const std::string& text) {
  return has ? json_document(text) : json_document(nullptr);
}
