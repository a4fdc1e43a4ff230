// JSON output of kvrn-prefs: documents built with nlohmann-json, keeping their fields in the
// order given, and written so that any text gives valid JSON.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

using json_document = nlohmann::ordered_json;

// The document as JSON text: bytes that are not UTF-8 become U+FFFD, a number JSON cannot hold
// (infinite, not a number) becomes null. With one_per_line, an array's items each start a line
// of their own, as the commands print lists, so that line tools can read them too.
std::string json_text(const json_document& document, bool one_per_line = false);
// Prints the document and a line break on standard output.
void print_json_document(const json_document& document, bool one_per_line = false);
// A text, or null when there is none.
json_document json_optional(bool has, const std::string& text);
