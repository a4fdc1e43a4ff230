// JSON output of kvrn-prefs: texts, numbers, objects and arrays written as JSON.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// text as a JSON string, quotation marks included: quotation marks, backslashes and control
// characters are escaped, UTF-8 is kept as it is, and bytes that are not UTF-8 become U+FFFD,
// so that any text gives valid JSON.
std::string json_string(std::string_view text);

// The fields of a JSON object: each key with its value already written as JSON.
using json_fields = std::vector<std::pair<std::string, std::string>>;

std::string json_bool(bool value);
// A JSON number; null for a number JSON cannot hold (infinite, not a number).
std::string json_number(double value);
// {"key": value, ...} in the order given.
std::string json_object(const json_fields& fields);
// [a, b]; with one_per_line each item on its own indented line, as the commands print lists.
std::string json_array(const std::vector<std::string>& items, bool one_per_line = false);
