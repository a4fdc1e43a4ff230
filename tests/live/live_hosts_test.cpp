// Hosts that follow the preferences as a person uses them: the documentation's example host and
// kvrn-prefs watch, on a copy of the example installation, with kvrn-prefs locking a preference
// at the site level beside them.
#include <signal.h>

#include "tool_run.h"

namespace {

const std::string COLOUR = "Collaboration_Markup_Color";

void lock_at_site(const ExampleCopy& copy) {
  const ToolResult locked = run_tool(copy, {"lock", COLOUR, "--level", "site"});
  ASSERT_EQ(locked.status, 0) << locked.err;
}

}  // namespace

TEST(LiveHosts, TheExampleHostAndWatchAreToldOfASiteLockOnce) {
  ExampleCopy copy;
  ASSERT_EQ(run_tool(copy, {"get", COLOUR}).out, "205\n");
  RunningProgram host(LIVE_HOST_EXAMPLE, copy.environment(), {COLOUR, "1"});
  RunningProgram watch(tool_path(), copy.environment(),
                       {"watch", "Collaboration_", "--count", "1"});
  RunningProgram json(tool_path(), copy.environment(), {"watch", "--json", "--timeout", "20"});
  ASSERT_TRUE(host.wait_for_output("watching\n", 20000));
  ASSERT_TRUE(watch.wait_for_error("watching", 20000));
  ASSERT_TRUE(json.wait_for_error("watching", 20000));
  lock_at_site(copy);
  const ToolResult told = host.finish();
  EXPECT_EQ(told.status, 0);
  EXPECT_EQ(told.out,
            "watching\n" + COLOUR + ": 205 -> 180 (from level 3 to 1, locked at -1 -> 1)\n");
  const ToolResult watched = watch.finish();
  EXPECT_EQ(watched.status, 0);
  EXPECT_EQ(watched.out, COLOUR + ": 205 -> 180 (from site, locked at site)\n");
  ASSERT_TRUE(json.wait_for_output("\n", 5000));
  json.signal(SIGTERM);
  const ToolResult as_json = json.finish();
  EXPECT_EQ(as_json.status, 0);
  EXPECT_EQ(as_json.out, "{\"name\":\"" + COLOUR +
                             "\",\"what\":[\"value\",\"lock\",\"source\"],\"cause\":\"file\","
                             "\"level\":1,\"old\":\"205\",\"new\":\"180\",\"old_source\":3,"
                             "\"new_source\":1,\"old_lock\":null,\"new_lock\":1}\n");
}

TEST(LiveHosts, WatchEndsQuietlyAfterItsTimeOrWhenStopped) {
  ExampleCopy copy;
  const ToolResult timed = run_tool(copy, {"watch", "--timeout", "1"});
  EXPECT_EQ(timed.status, 0);
  EXPECT_EQ(timed.out, "");
  RunningProgram interrupted(tool_path(), copy.environment(), {"watch"});
  ASSERT_TRUE(interrupted.wait_for_error("watching", 20000));
  interrupted.signal(SIGINT);
  EXPECT_EQ(interrupted.finish().status, 0);
  EXPECT_EQ(run_tool(copy, {"watch", "--count", "0"}).status, 2);
}
