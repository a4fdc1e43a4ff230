// A strict reader of the JSON that kvrn-prefs prints, for tests: anything that is not one valid
// JSON document fails.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

struct JsonValue {
  enum Kind { null, boolean, number, string, array, object } kind = null;
  std::string text;  // a number as written, a string's decoded text, "true" or "false"
  std::vector<JsonValue> items;
  std::map<std::string, JsonValue> fields;

  // The field of an object; a test failure and null when there is none.
  const JsonValue& operator[](const std::string& key) const;
  const JsonValue& operator[](std::size_t index) const { return items.at(index); }
  std::size_t size() const { return kind == array ? items.size() : fields.size(); }
  bool is_null() const { return kind == null; }
};

// Reads text as one JSON document; false (with *error) when it is not one.
bool parse_json(const std::string& text, JsonValue* value, std::string* error = nullptr);
