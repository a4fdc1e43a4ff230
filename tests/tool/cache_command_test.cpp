// kvrn-prefs cache on a copy of the example installation: the images a start leaves, what each
// serves, their removal, and images turned off.
#include <algorithm>

#include "json_reader.h"
#include "tool_run.h"

namespace {

JsonValue json_of(const ToolResult& result) {
  JsonValue value;
  std::string error;
  EXPECT_TRUE(parse_json(result.out, &value, &error)) << error << "\n" << result.out;
  return value;
}

}  // namespace

TEST(CacheCommand, ListsTheImagesAStartLeavesAndClearsThem) {
  ExampleCopy copy;
  ASSERT_EQ(run_tool(copy, {"levels"}).status, 0);
  const JsonValue listed = json_of(run_tool(copy, {"cache", "--json"}));
  EXPECT_EQ(listed["folder"].text, copy.path("cache/vuzodod"));
  std::vector<std::string> roles;
  for (const JsonValue& image : listed["images"].items) {
    roles.push_back(image["role"].text);
    EXPECT_NE(image["installation"].text.find("KVRN_BASE_DIR=" + copy.path("base")),
              std::string::npos);
    EXPECT_NE(image["size"].text, "0");
  }
  std::sort(roles.begin(), roles.end());
  EXPECT_EQ(roles, (std::vector<std::string>{"definitions", "group", "site", "user"}));
  const ToolResult text = run_tool(copy, {"cache"});
  EXPECT_EQ(text.status, 0) << text.err;
  EXPECT_NE(text.out.find("4 images,"), std::string::npos) << text.out;

  const ToolResult cleared = run_tool(copy, {"cache", "--clear"});
  EXPECT_EQ(cleared.out, "4 images removed\n");
  EXPECT_EQ(json_of(run_tool(copy, {"cache", "--json"}))["images"].size(), 0u);
  EXPECT_EQ(run_tool(copy, {"cache", "extra"}).status, 2);
}

TEST(CacheCommand, OffLeavesNoImageAndSaysSo) {
  ExampleCopy copy;
  std::vector<std::string> environment = copy.environment();
  environment.push_back("KVRN_CACHE=off");
  ASSERT_EQ(run_tool(environment, {"levels"}).status, 0);
  EXPECT_TRUE(json_of(run_tool(environment, {"cache", "--json"}))["folder"].is_null());
  EXPECT_EQ(json_of(run_tool(copy, {"cache", "--json"}))["images"].size(), 0u);
}
