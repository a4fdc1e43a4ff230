// kvrn-prefs on a copy of the example installation: reading values, a saved change, and the
// command line's refusals.
#include "tool_run.h"

TEST(ToolBasics, GetsSetsAndRefuses) {
  ExampleCopy copy;
  ToolResult get = run_tool(copy, {"get", "Drafting_Standard_Default"});
  EXPECT_EQ(get.status, 0) << get.err;
  EXPECT_EQ(get.out, "ASME\n");

  ToolResult set = run_tool(copy, {"set", "Gateway_Autosave_Interval", "7", "--level", "user"});
  EXPECT_EQ(set.status, 0) << set.err;
  EXPECT_EQ(run_tool(copy, {"get", "Gateway_Autosave_Interval"}).out, "7\n");

  EXPECT_EQ(run_tool(copy, {"no-such-command"}).status, 2);
  EXPECT_EQ(run_tool(copy, {"get", "No_Such_Preference"}).status, 1);
}
