// kvrn-prefs validate: the example installation validates clean, each mistake gives one line,
// --json prints valid JSON, and the command works where the module could not start.
#include <sstream>

#include "json.h"
#include "json_reader.h"
#include "tool_run.h"

namespace {

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
  JsonValue objects;
  ASSERT_TRUE(parse_json(json.out, &objects)) << json.out;
  ASSERT_EQ(objects.size(), 10u);
  for (const JsonValue& object : objects.items) {
    EXPECT_EQ(object.size(), 4u);
    EXPECT_EQ(object.fields.count("file") + object.fields.count("code") +
                  object.fields.count("message") + object.fields.count("text"),
              4u);
  }
  EXPECT_EQ(objects[4]["code"].kind, JsonValue::number);
  EXPECT_EQ(objects[4]["code"].text, "3550037");
  EXPECT_EQ(objects[4]["message"].text,
            "A toggle widget must have an upper and lower bound.\nThe OFF value must be equal to "
            "one of the bounds.");
  EXPECT_EQ(objects[3]["text"].text, "Q\"\\x, Size_WIN - Größe");
  EXPECT_EQ(objects[7]["file"].text, b);
}

TEST(ValidateCommand, RefusesWrongLinesAndMissingInstallations) {
  TempDir dir;
  ToolResult missing = run_tool({"KVRN_BASE_DIR=" + (dir / "nowhere")}, {"validate"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("cannot find the definition files"), std::string::npos) << missing.err;
  EXPECT_EQ(run_tool(std::vector<std::string>{}, {"validate", "--jsn"}).status, 2);
}

TEST(JsonText, AnyTextGivesJsonThatReadsBackAsUtf8) {
  // Each text with what a reader gets back: UTF-8 as it is, other bytes as U+FFFD.
  const std::string replaced = "\xEF\xBF\xBD";
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"a\"b\\c/d", "a\"b\\c/d"},
      {std::string("\n\t\x01\x1f\0", 5), std::string("\n\t\x01\x1f\0", 5)},
      {"Größe €𝄞", "Größe €𝄞"},
      {"a\x80z", "a" + replaced + "z"},
      {"x\xE2\x82", "x" + replaced},
  };
  for (const auto& [text, expected] : cases) {
    const std::string written = json_text(json_document::array({text, text}), true);
    JsonValue read;
    ASSERT_TRUE(parse_json(written, &read)) << written;
    EXPECT_EQ(read[1].text, expected) << written;
  }
  EXPECT_EQ(json_text(json_document(1.0 / 0.0)), "null");
}
