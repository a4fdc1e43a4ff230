// kvrn-prefs lint: the example installation's findings, each kind of finding on a small broken
// installation, its JSON, a clean installation, and the command line's refusals.
#include <cstdio>

#include "json_reader.h"
#include "tool_run.h"

namespace {

std::string values(const std::string& lock, const std::string& entries) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PrefValues defaultLockStatus=\"" + lock +
         "\">\n" + entries + "</PrefValues>\n";
}

}  // namespace

TEST(LintCommand, TheExampleInstallationHasTheFindingsItsReadmeExplains) {
  ExampleCopy copy;
  const ToolResult lint = run_tool(copy, {"lint"});
  EXPECT_EQ(lint.status, 1);
  EXPECT_EQ(lint.err, "kvrn-prefs: 3 value files checked, 10 findings\n");
  const std::string site = "site " + copy.value_file(1) + ": ";
  const std::string group = "group " + copy.value_file(2) + ": ";
  const std::string user = "user " + copy.value_file(3) + ": ";
  const std::string hidden = ": the entry counts for nothing while that lock stands\n";
  EXPECT_EQ(
      lint.out,
      site +
          "Gateway_Units_System: same-as-inherited: its value 1 is the one level 0 (defaults) "
          "gives, and it locks nothing the level's default does not: the entry changes nothing\n" +
          group + "Drafting_Standard_Default: hidden-by-lock: locked at level 1 (site)" + hidden +
          user + "Gateway_Display_Background_Color: hidden-by-lock: locked at level 2 (group)" +
          hidden + user +
          "Gateway_Startup_Template_Part: hidden-by-lock: locked at level 2 (group)" + hidden +
          user + "Drafting_Sheet_Default_Size: hidden-by-lock: locked at level 2 (group)" + hidden +
          user + "Drafting_Standard_Default: hidden-by-lock: locked at level 1 (site)" + hidden +
          user +
          "Rendering_Samples_Per_Pixel: hidden-by-lock: locked at level 1 (site) by that "
          "level's default lock" +
          hidden + user +
          "Modeling_Tolerance_Distance: invalid-value: 0.5 is outside [>0.0 <=0.1]; start-up "
          "ignores the entry\n" +
          user +
          "Sketcher_Snap_To_Grid: invalid-value: the value yes is not valid: The value entered "
          "must be a logical.; start-up ignores the entry\n" +
          user +
          "Gateway_Startup_Splash_Screen: unknown-preference: no preference has this name; "
          "start-up ignores the entry and saves keep it\n");
}

TEST(LintCommand, EachKindOfFindingOnABrokenInstallation) {
  ExampleCopy copy;
  write_file(copy.value_file(1),
             values("unlocked",
                    "<Pref name=\"Gateway_Autosave_Interval\" value=\"30\" locked=\"yes\"/>\n"
                    "<Pref name=\"Gateway_Recent_Files_Count\" value=\"7\"/>\n"
                    "<Pref name=\"Gateway_Recent_Files_Count\" value=\"9\" modified=\"monday\"/>\n"
                    "<Pref name=\"Old_Setting\" value=\"1\"/>\n"));
  write_file(copy.value_file(2),
             values("unlocked",
                    "<Pref name=\"Gateway_Autosave_Interval\" value=\"20\"/>\n"
                    "<Pref name=\"Modeling_Tolerance_Distance\" value=\"0.5\"/>\n"
                    "<Pref name=\"Drafting_Standard_Default\" value=\"ISO\"/>\n"));
  write_file(copy.value_file(3),
             values("unlocked",
                    "<Pref name=\"Gateway_Units_System\" value=\"2\" locked=\"yes\"/>\n"
                    "<Pref value=\"no name\"/>\n"));
  const ToolResult lint = run_tool(copy, {"lint", "--json"});
  EXPECT_EQ(lint.status, 1);
  EXPECT_EQ(lint.err, "kvrn-prefs: 3 value files checked, 8 findings\n");
  JsonValue findings;
  ASSERT_TRUE(parse_json(lint.out, &findings)) << lint.out;
  std::vector<std::string> seen;
  for (const JsonValue& finding : findings.items) {
    EXPECT_EQ(finding.size(), 7u);
    seen.push_back(finding["level_name"].text + " " + finding["entry"].text + " " +
                   finding["name"].text + " " + finding["finding"].text);
  }
  EXPECT_EQ(seen, (std::vector<std::string>{
                      "site 3 Gateway_Recent_Files_Count unreadable-date",
                      "site 4 Old_Setting unknown-preference",
                      "site 3 Gateway_Recent_Files_Count duplicate-entry",
                      "group 1 Gateway_Autosave_Interval hidden-by-lock",
                      "group 2 Modeling_Tolerance_Distance invalid-value",
                      "group 3 Drafting_Standard_Default same-as-inherited",
                      "user 1 Gateway_Units_System useless-lock",
                      "user 2  unknown-preference",
                  }))
      << lint.out;
  EXPECT_EQ(findings[0]["file"].text, copy.value_file(1));
  EXPECT_EQ(findings[2]["text"].text,
            "entries 2 and 3 set it; entry 3, read last, gives the value");
  EXPECT_EQ(findings[3]["text"].text,
            "locked at level 1 (site): the entry counts for nothing while that lock stands");
  EXPECT_EQ(findings[4]["text"].text, "0.5 is outside [>0.0 <=0.1]; start-up ignores the entry");
  EXPECT_EQ(findings[3]["level"].text, "2");

  // A file that fails to load, and a user file that locks by default.
  write_file(copy.value_file(2), "<PrefValues><Pref name=\"x\" value=\"1\"></PrefValues>\n");
  write_file(copy.value_file(3), values("locked", ""));
  const ToolResult broken = run_tool(copy, {"lint"});
  EXPECT_EQ(broken.status, 1);
  EXPECT_NE(broken.out.find("group " + copy.value_file(2) +
                            ": -: load-failed: " + copy.value_file(2) + ":"),
            std::string::npos)
      << broken.out;
  EXPECT_NE(broken.out.find("user " + copy.value_file(3) +
                            ": -: useless-lock: defaultLockStatus=\"locked\" changes nothing"),
            std::string::npos)
      << broken.out;
}

TEST(LintCommand, ACleanInstallationHasNoFindings) {
  ExampleCopy copy;
  std::remove(copy.value_file(2).c_str());
  write_file(copy.value_file(3),
             values("unlocked", "<Pref name=\"Gateway_Autosave_Interval\" value=\"7\"/>\n"));
  const ToolResult lint = run_tool(copy, {"lint"});
  EXPECT_EQ(lint.status, 1);  // the site's Gateway_Units_System, kept on purpose
  write_file(copy.value_file(1), values("unlocked", ""));
  const ToolResult clean = run_tool(copy, {"lint"});
  EXPECT_EQ(clean.status, 0) << clean.out;
  EXPECT_EQ(clean.out, "");
  EXPECT_EQ(clean.err, "kvrn-prefs: 2 value files checked, 0 findings\n");
  const ToolResult json = run_tool(copy, {"lint", "--json"});
  EXPECT_EQ(json.status, 0);
  EXPECT_EQ(json.out, "[]\n");
  EXPECT_EQ(run_tool(copy, {"lint", "extra"}).status, 2);
  EXPECT_EQ(run_tool(copy, {"lint", "--level", "user"}).status, 2);
}

TEST(LintCommand, WhatAPersonMayHaveMistypedIsNamedWithWhatItIsReadAs) {
  ExampleCopy copy;
  write_file(copy.value_file(1),
             values("Locked",
                    "<Pref name=\"Gateway_Recent_Files_Count\" value=\"1O\"/>\n"
                    "<Pref name=\"Gateway_Autosave_Interval\" value=\"15\" locked=\"Yes\"/>\n"
                    "<Pref name=\"Gateway_Session_Undo_Levels\" valeu=\"100\" value=\"50\"/>\n"
                    "<Pref name=\"Gateway_Sesion_Undo_Levels\" value=\"100\"/>\n"));
  std::remove(copy.value_file(2).c_str());
  std::remove(copy.value_file(3).c_str());
  const ToolResult lint = run_tool(copy, {"lint"});
  EXPECT_EQ(lint.status, 1);
  const std::string site = "site " + copy.value_file(1) + ": ";
  const std::string expected[] = {
      site + "-: unclear-default-lock: defaultLockStatus=\"Locked\" counts as unlocked",
      site +
          "Gateway_Recent_Files_Count: read-differently: value \"1O\" is read as 1, but an "
          "edit would refuse it",
      site + "Gateway_Autosave_Interval: unclear-lock: locked=\"Yes\" counts as no",
      site +
          "Gateway_Session_Undo_Levels: unknown-attribute: a Pref entry has no attribute "
          "valeu (did you mean value?)",
      site +
          "Gateway_Sesion_Undo_Levels: unknown-preference: no preference has this name; "
          "start-up ignores the entry and saves keep it (did you mean "
          "Gateway_Session_Undo_Levels?)",
  };
  for (const std::string& finding : expected) {
    EXPECT_NE(lint.out.find(finding), std::string::npos) << finding << "\n" << lint.out;
  }
}

TEST(LintCommand, EntriesWaitingForARenameAndFormerNamesStillInUse) {
  ExampleCopy copy;
  const std::string definitions = copy.path("base/kvrn/kv_gateway.dpx");
  std::string gateway = read_file(definitions);
  const std::string interval = "<Pref name=\"Gateway_Autosave_Interval\" ";
  gateway.replace(gateway.find(interval), interval.size(),
                  interval + "formerly=\"Gateway_Autosave_Period\" ");
  write_file(definitions, gateway);
  write_file(copy.value_file(3),
             values("unlocked", "<Pref name=\"Gateway_Autosave_Period\" value=\"7\"/>\n"));
  const ToolResult lint = run_tool(copy, {"lint"});
  EXPECT_NE(lint.out.find("Gateway_Autosave_Period: renamed: read as Gateway_Autosave_Interval"),
            std::string::npos)
      << lint.out;
  EXPECT_EQ(run_tool(copy, {"get", "Gateway_Autosave_Interval"}).out, "7\n");
  EXPECT_EQ(run_tool(copy, {"validate"}).status, 0);

  // A former name that a preference still has.
  gateway.replace(gateway.find("Gateway_Autosave_Period"), 23, "Gateway_Recent_Files_Count");
  write_file(definitions, gateway);
  const ToolResult validate = run_tool(copy, {"validate"});
  EXPECT_EQ(validate.status, 1);
  EXPECT_NE(validate.out.find("Gateway_Autosave_Interval was formerly Gateway_Recent_Files_Count, "
                              "which is also the name of a preference"),
            std::string::npos)
      << validate.out;
}
