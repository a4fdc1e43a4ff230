// A strict reader of the JSON that kvrn-prefs prints, for tests.
#include "json_reader.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>

namespace {

class Reader {
 public:
  explicit Reader(const std::string& text) : text_(text) {}

  bool document(JsonValue* value) {
    if (!read(value, 0)) return false;
    skip_space();
    return at_ == text_.size() || fail("text after the document");
  }
  const std::string& error() const { return error_; }

 private:
  bool fail(const std::string& what) {
    if (error_.empty()) error_ = what + " at byte " + std::to_string(at_);
    return false;
  }
  void skip_space() {
    while (at_ < text_.size() && std::strchr(" \t\r\n", text_[at_])) ++at_;
  }
  bool take(char c) {
    skip_space();
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  bool word(const char* expected) {
    const std::size_t length = std::strlen(expected);
    if (text_.compare(at_, length, expected) != 0) return fail("unknown word");
    at_ += length;
    return true;
  }
  bool read(JsonValue* value, int depth) {
    if (depth > 64) return fail("too deep");
    skip_space();
    if (at_ >= text_.size()) return fail("end of text");
    const char c = text_[at_];
    if (c == '{') return read_object(value, depth);
    if (c == '[') return read_array(value, depth);
    if (c == '"') {
      value->kind = JsonValue::string;
      return read_string(&value->text);
    }
    if (c == 't' || c == 'f') {
      value->kind = JsonValue::boolean;
      value->text = c == 't' ? "true" : "false";
      return word(c == 't' ? "true" : "false");
    }
    if (c == 'n') return word("null");
    value->kind = JsonValue::number;
    return read_number(&value->text);
  }
  bool read_object(JsonValue* value, int depth) {
    value->kind = JsonValue::object;
    ++at_;
    if (take('}')) return true;
    do {
      std::string key;
      skip_space();
      if (!read_string(&key) || !take(':')) return fail("bad object member");
      JsonValue member;
      if (!read(&member, depth + 1)) return false;
      if (!value->fields.emplace(key, member).second) return fail("key twice: " + key);
    } while (take(','));
    return take('}') || fail("object not closed");
  }
  bool read_array(JsonValue* value, int depth) {
    value->kind = JsonValue::array;
    ++at_;
    if (take(']')) return true;
    do {
      value->items.emplace_back();
      if (!read(&value->items.back(), depth + 1)) return false;
    } while (take(','));
    return take(']') || fail("array not closed");
  }
  bool read_number(std::string* number) {
    const std::size_t start = at_;
    if (at_ < text_.size() && text_[at_] == '-') ++at_;
    auto digits = [&] {
      const std::size_t from = at_;
      while (at_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[at_]))) ++at_;
      return at_ > from;
    };
    if (!digits()) return fail("not a number");
    if (at_ < text_.size() && text_[at_] == '.' && (++at_, !digits())) return fail("bad fraction");
    if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
      ++at_;
      if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
      if (!digits()) return fail("bad exponent");
    }
    *number = text_.substr(start, at_ - start);
    return true;
  }
  bool read_string(std::string* value) {
    if (at_ >= text_.size() || text_[at_] != '"') return fail("not a string");
    ++at_;
    while (at_ < text_.size()) {
      const auto c = static_cast<unsigned char>(text_[at_++]);
      if (c == '"') return true;
      if (c < 0x20) return fail("control character in a string");
      if (c != '\\') {
        *value += static_cast<char>(c);
        continue;
      }
      if (at_ >= text_.size()) break;
      const char escape = text_[at_++];
      const char* simple = std::strchr("\"\\/bfnrt", escape);
      if (simple && escape) {
        *value += "\"\\/\b\f\n\r\t"[simple - "\"\\/bfnrt"];
      } else if (escape == 'u' && at_ + 4 <= text_.size()) {
        const unsigned code = std::stoul(text_.substr(at_, 4), nullptr, 16);
        at_ += 4;
        if (code >= 0xD800 && code <= 0xDFFF) return fail("surrogate");  // never written
        if (code < 0x80) {
          *value += static_cast<char>(code);
        } else if (code < 0x800) {
          *value += static_cast<char>(0xC0 | (code >> 6));
          *value += static_cast<char>(0x80 | (code & 0x3F));
        } else {
          *value += static_cast<char>(0xE0 | (code >> 12));
          *value += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
          *value += static_cast<char>(0x80 | (code & 0x3F));
        }
      } else {
        return fail("bad escape");
      }
    }
    return fail("string not closed");
  }

  const std::string& text_;
  std::size_t at_ = 0;
  std::string error_;
};

}  // namespace

const JsonValue& JsonValue::operator[](const std::string& key) const {
  static const JsonValue none;
  auto found = fields.find(key);
  if (found != fields.end()) return found->second;
  ADD_FAILURE() << "no field " << key;
  return none;
}

bool parse_json(const std::string& text, JsonValue* value, std::string* error) {
  Reader reader(text);
  const bool read = reader.document(value);
  if (error) *error = reader.error();
  return read;
}
