// kvrn-prefs validate: the example installation validates clean, each mistake gives one line,
// --json prints valid JSON, and the command works where the module could not start.
#include <cctype>
#include <cstring>
#include <map>
#include <sstream>

#include "json.h"
#include "tool_run.h"

namespace {

using JsonObject = std::map<std::string, std::string>;

// A strict reader of what validate --json prints: an array of objects whose values are strings
// or integers (kept as their text). Anything else, or anything after the array, fails.
class JsonReader {
 public:
  explicit JsonReader(const std::string& text) : text_(text) {}

  bool read_array(std::vector<JsonObject>* objects) {
    if (!take('[')) return false;
    if (!take(']')) {
      do {
        JsonObject object;
        if (!read_object(&object)) return false;
        objects->push_back(object);
      } while (take(','));
      if (!take(']')) return false;
    }
    skip_space();
    return at_ == text_.size();
  }

 private:
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
  bool read_object(JsonObject* object) {
    if (!take('{')) return false;
    do {
      std::string key, value;
      if (!read_string(&key) || !take(':')) return false;
      skip_space();
      if (at_ < text_.size() && text_[at_] == '"') {
        if (!read_string(&value)) return false;
      } else if (!read_integer(&value)) {
        return false;
      }
      if (!object->emplace(key, value).second) return false;
    } while (take(','));
    return take('}');
  }
  bool read_integer(std::string* value) {
    const std::size_t start = at_;
    if (at_ < text_.size() && text_[at_] == '-') ++at_;
    while (at_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[at_]))) ++at_;
    *value = text_.substr(start, at_ - start);
    return !value->empty() && *value != "-";
  }
  bool read_string(std::string* value) {
    if (!take('"')) return false;
    while (at_ < text_.size()) {
      const auto c = static_cast<unsigned char>(text_[at_++]);
      if (c == '"') return true;
      if (c < 0x20) return false;
      if (c != '\\') {
        *value += static_cast<char>(c);
        continue;
      }
      if (at_ >= text_.size()) return false;
      const char escape = text_[at_++];
      const char* simple = std::strchr("\"\\/bfnrt", escape);
      if (simple && escape) {
        *value += "\"\\/\b\f\n\r\t"[simple - "\"\\/bfnrt"];
      } else if (escape == 'u' && at_ + 4 <= text_.size()) {
        const unsigned code = std::stoul(text_.substr(at_, 4), nullptr, 16);
        at_ += 4;
        if (code >= 0xD800 && code <= 0xDFFF) return false;  // never written
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
        return false;
      }
    }
    return false;
  }

  const std::string& text_;
  std::size_t at_ = 0;
};

// A file with one mistake of each kind that a single file can have.
const char* const MISTAKES =
    "<PrefDefinitions>\n"
    "  <Application name=\"App\" csh=\"app\">\n"
    "    <Category name=\"C\">\n"
    "      <Tab name=\"T\">\n"
    "        <Pref name=\"Same\" type=\"int\" value=\"1\" title=\"Same\"><Integer/></Pref>\n"
    "        <Pref name=\"Flag\" type=\"logical\" value=\"true\"><OptionMenu/></Pref>\n"
    "        <Pref name=\"Size_WIN\" type=\"int\" value=\"1\" title=\"Größe\"><Color/></Pref>\n"
    "        <Pref name=\"Size_UNX\" type=\"int\" value=\"1\" title=\"Größe\"><Color/></Pref>\n"
    "        <Pref name=\"Q&quot;\\x\" type=\"string\" value=\"a\" title=\"Größe\">\n"
    "          <Toggle off=\"c\"/>\n"
    "          <Data type=\"enum\"><EnumElem value=\"a\"/><EnumElem value=\"b\"/></Data>\n"
    "        </Pref>\n"
    "      </Tab>\n"
    "      <Tab name=\"T\"/>\n"
    "    </Category>\n"
    "    <Category name=\"C\"/>\n"
    "  </Application>\n"
    "</PrefDefinitions>\n";

const char* const AGAIN =
    "<PrefDefinitions><Application name=\"App\"><Category name=\"K\"><Tab name=\"U\">"
    "<Pref name=\"Same\" type=\"int\" value=\"1\" title=\"Other\"/>"
    "</Tab></Category></Application></PrefDefinitions>\n";

}  // namespace

TEST(ValidateCommand, ExampleInstallationValidatesClean) {
  ExampleCopy copy;
  ToolResult lines = run_tool(copy, {"validate"});
  EXPECT_EQ(lines.status, 0) << lines.out << lines.err;
  EXPECT_EQ(lines.out, "");
  EXPECT_NE(lines.err.find("27 files validated, 0 findings"), std::string::npos) << lines.err;
  ToolResult json = run_tool(copy, {"validate", "--json"});
  EXPECT_EQ(json.status, 0) << json.err;
  EXPECT_EQ(json.out, "[]\n");
}

TEST(ValidateCommand, EachMistakeIsOneLineAndTheRunGoesOn) {
  TempDir dir;
  write_file(dir / "mistakes.dpx", MISTAKES);
  write_file(dir / "broken.dpx", "<PrefDefinitions><Application>\n</PrefDefinitions>\n");
  write_file(dir / "again.dpx", AGAIN);
  const std::string m = dir / "mistakes.dpx";
  const std::string b = dir / "broken.dpx";
  const std::string a = dir / "again.dpx";
  // No installation at all: validate does not need one when it is given files.
  ToolResult result = run_tool({"KVRN_BASE_DIR=" + (dir / "nowhere")}, {"validate", m, b, a});
  EXPECT_EQ(result.status, 1) << result.err;
  std::vector<std::string> lines;
  std::istringstream out(result.out);
  for (std::string line; std::getline(out, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 10u) << result.out;
  // The unreadable file is reported in its place with the parser's message.
  const std::string broken =
      b + ": 3550025 The preferences file does not have a valid root node.: ";
  EXPECT_EQ(lines[7].substr(0, broken.size()), broken);
  EXPECT_GT(lines[7].size(), broken.size());
  lines[7] = "(broken)";
  std::string joined;
  for (const std::string& line : lines) joined += line + "\n";
  EXPECT_EQ(joined,
            m + ": 3550023 The preference name and title are identical.: Same\n" + m +
                ": 3550038 A preference must have a title.: Flag\n" + m +
                ": 3550026 The preference type is incompatible with the specified user interface"
                " widget.: Flag\n" +
                m +
                ": 3550039 The preference title must be unique within a tab.: Q\"\\x, Size_WIN - "
                "Größe\n" +
                m +
                ": 3550037 A toggle widget must have an upper and lower bound. The OFF value must"
                " be equal to one of the bounds.: Q\"\\x\n" +
                m +
                ": 3550022 The tab name must be unique within a category.: T appears multiple "
                "times under C\n" +
                m +
                ": 3550021 The category name must be unique within an application.: C appears "
                "multiple times under App\n" +
                "(broken)\n" + m +
                ": 3550020 The application name must be unique.: App appears in " + m + " " + a +
                "\n" + m + ": 3550019 The preference name must be unique.: Same appears in " + m +
                " " + a + "\n");

  ToolResult json = run_tool(std::vector<std::string>{}, {"validate", "--json", m, b, a});
  EXPECT_EQ(json.status, 1);
  std::vector<JsonObject> objects;
  ASSERT_TRUE(JsonReader(json.out).read_array(&objects)) << json.out;
  ASSERT_EQ(objects.size(), 10u);
  for (const JsonObject& object : objects) {
    EXPECT_EQ(object.size(), 4u);
    EXPECT_EQ(object.count("file") + object.count("code") + object.count("message") +
                  object.count("text"),
              4u);
  }
  EXPECT_EQ(objects[4].at("code"), "3550037");
  EXPECT_EQ(objects[4].at("message"),
            "A toggle widget must have an upper and lower bound.\nThe OFF value must be equal to "
            "one of the bounds.");
  EXPECT_EQ(objects[3].at("text"), "Q\"\\x, Size_WIN - Größe");
  EXPECT_EQ(objects[7].at("file"), b);
}

TEST(ValidateCommand, RefusesWrongLinesAndMissingInstallations) {
  TempDir dir;
  ToolResult missing = run_tool({"KVRN_BASE_DIR=" + (dir / "nowhere")}, {"validate"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("cannot find the definition files"), std::string::npos) << missing.err;
  EXPECT_EQ(run_tool(std::vector<std::string>{}, {"validate", "--jsn"}).status, 2);
}

TEST(JsonString, EscapesWhatJsonNeedsAndKeepsOnlyUtf8) {
  EXPECT_EQ(json_string(""), "\"\"");
  EXPECT_EQ(json_string("a\"b\\c/d"), "\"a\\\"b\\\\c/d\"");
  EXPECT_EQ(json_string(std::string("\n\t\x01\x1f", 4) + std::string(1, '\0')),
            "\"\\u000a\\u0009\\u0001\\u001f\\u0000\"");
  EXPECT_EQ(json_string("Größe €𝄞"), "\"Größe €𝄞\"");
  // Stray continuation bytes, overlong forms, surrogates, cut sequences and bytes beyond
  // U+10FFFF each become U+FFFD.
  EXPECT_EQ(json_string("a\x80z"), "\"a\\ufffdz\"");
  EXPECT_EQ(json_string("\xC0\xAF"), "\"\\ufffd\\ufffd\"");
  EXPECT_EQ(json_string("\xED\xA0\x80"), "\"\\ufffd\\ufffd\\ufffd\"");
  EXPECT_EQ(json_string("x\xE2\x82"), "\"x\\ufffd\\ufffd\"");
  EXPECT_EQ(json_string("\xF4\x90\x80\x80"), "\"\\ufffd\\ufffd\\ufffd\\ufffd\"");
}
