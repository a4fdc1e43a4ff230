// JSON output of kvrn-prefs: texts written as JSON string literals.
#pragma once

#include <string>
#include <string_view>

// text as a JSON string, quotation marks included: quotation marks, backslashes and control
// characters are escaped, UTF-8 is kept as it is, and bytes that are not UTF-8 become U+FFFD,
// so that any text gives valid JSON.
std::string json_string(std::string_view text);
