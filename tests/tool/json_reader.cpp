// A strict reader of the JSON that kvrn-prefs prints, for tests, on nlohmann-json's parser.
#include "json_reader.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

JsonValue converted(const nlohmann::json& json) {
  JsonValue value;
  switch (json.type()) {
    case nlohmann::json::value_t::null:
      break;
    case nlohmann::json::value_t::boolean:
      value.kind = JsonValue::boolean;
      value.text = json.get<bool>() ? "true" : "false";
      break;
    case nlohmann::json::value_t::string:
      value.kind = JsonValue::string;
      value.text = json.get<std::string>();
      break;
    case nlohmann::json::value_t::array:
      value.kind = JsonValue::array;
      for (const nlohmann::json& item : json) value.items.push_back(converted(item));
      break;
    case nlohmann::json::value_t::object:
      value.kind = JsonValue::object;
      for (const auto& field : json.items()) value.fields[field.key()] = converted(field.value());
      break;
    default:
      value.kind = JsonValue::number;
      value.text = json.dump();
      break;
  }
  return value;
}

}  // namespace

const JsonValue& JsonValue::operator[](const std::string& key) const {
  static const JsonValue missing;
  auto field = fields.find(key);
  if (field != fields.end()) return field->second;
  ADD_FAILURE() << "no field " << key;
  return missing;
}

bool parse_json(const std::string& text, JsonValue* value, std::string* error) {
  try {
    *value = converted(nlohmann::json::parse(text));
    return true;
  } catch (const nlohmann::json::parse_error& failure) {
    if (error) *error = failure.what();
    return false;
  }
}
