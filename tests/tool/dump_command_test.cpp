// kvrn-prefs dump: a level's entries as set commands that, run on an empty level, record the same
// entries again; ignored entries marked and skipped; JSON; refusals.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "json_reader.h"
#include "tool_run.h"

namespace {

// The dump's command lines without their notes (dates differ after a replay) and header, sorted
// (a save writes entries in its own order).
std::vector<std::string> commands_of(const std::string& dump) {
  std::vector<std::string> commands;
  std::istringstream lines(dump);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("# the ", 0) == 0) continue;
    const std::size_t note = line.find("  # modified");
    commands.push_back(line.substr(0, note));
  }
  std::sort(commands.begin(), commands.end());
  return commands;
}

std::string directory_of(const std::string& path) {
  return path.substr(0, path.rfind('/'));
}

}  // namespace

TEST(DumpCommand, ReplayingTheDumpRecordsTheSameEntries) {
  ExampleCopy original;
  // Words the shell must read back exactly: a leading dash, quotes, a line break, list items.
  write_file(original.value_file(2),
             "<PrefValues defaultLockStatus=\"unlocked\">\n"
             "<Pref name=\"Gateway_Startup_Template_Part\" value=\"-it's here\" locked=\"yes\" "
             "modified=\"2026-11-16T14:00:00Z\"><UserComment>two\nlines \"quoted\"</UserComment>"
             "</Pref>\n"
             "<Pref name=\"Knowledge_Search_Paths\" value=\"&quot;a b&quot;\\&quot;-c&quot;\"/>\n"
             "<Pref name=\"Gateway_Autosave_Interval\" value=\"25\"/>\n"
             "<Pref name=\"Drafting_Standard_Default\" value=\"ISO\"/>\n"
             "</PrefValues>\n");
  for (const int level : {1, 2}) {
    const std::string name = level == 1 ? "site" : "group";
    SCOPED_TRACE(name);
    const ToolResult dump = run_tool(original, {"dump", "--level", name});
    EXPECT_EQ(dump.status, 0) << dump.err;
    EXPECT_EQ(dump.out.rfind("# the " + name + " level's file " + original.value_file(level), 0),
              0u)
        << dump.out;

    ExampleCopy replayed;
    std::remove(replayed.value_file(level).c_str());
    std::vector<std::string> environment = replayed.environment();
    environment.push_back("PATH=" + directory_of(tool_path()) + ":/usr/bin:/bin");
    const ToolResult replay = run_program("/bin/bash", environment, {"-e", "-c", dump.out});
    EXPECT_EQ(replay.status, 0) << replay.out << replay.err;
    const ToolResult again = run_tool(replayed, {"dump", "--level", name});
    // What start-up ignored is marked, and running the dump skipped it.
    std::vector<std::string> expected;
    for (const std::string& line : commands_of(dump.out)) {
      if (line.rfind("# ignored (", 0) != 0) expected.push_back(line);
    }
    EXPECT_EQ(commands_of(again.out), expected) << dump.out << again.out;
  }
  const std::string group = run_tool(original, {"dump", "--level", "group"}).out;
  EXPECT_NE(group.find("kvrn-prefs set --level group --lock --comment 'two\nlines \"quoted\"' "
                       "-- Gateway_Startup_Template_Part '-it'\\''s here'  # modified "
                       "2026-11-16T14:00:00Z\n"),
            std::string::npos)
      << group;
  EXPECT_NE(group.find("kvrn-prefs set --level group -- Knowledge_Search_Paths 'a b' -c\n"),
            std::string::npos)
      << group;
  EXPECT_NE(group.find("\n# ignored (locked at level 1 (site)): kvrn-prefs set "
                       "Drafting_Standard_Default ISO --level group\n"),
            std::string::npos)
      << group;
  const std::string site = run_tool(original, {"dump", "--level", "site"}).out;
  EXPECT_NE(site.find("\nkvrn-prefs level-lock locked --level site\n"), std::string::npos);
  EXPECT_NE(site.find("\nkvrn-prefs set Gateway_Autosave_Interval 15 --level site --unlock  #"),
            std::string::npos)
      << site;
}

TEST(DumpCommand, JsonAndRefusals) {
  ExampleCopy copy;
  const ToolResult dump = run_tool(copy, {"dump", "--level", "user", "--json"});
  EXPECT_EQ(dump.status, 0) << dump.err;
  JsonValue level;
  ASSERT_TRUE(parse_json(dump.out, &level)) << dump.out;
  EXPECT_EQ(level["level"].text, "3");
  EXPECT_EQ(level["file"].text, copy.value_file(3));
  ASSERT_EQ(level["entries"].size(), 18u);
  const JsonValue& first = level["entries"][0];
  EXPECT_EQ(first["position"].text, "1");
  EXPECT_EQ(first["name"].text, "Gateway_Autosave_Interval");
  EXPECT_EQ(first["value"].text, "5");
  EXPECT_EQ(first["ignored"].text, "false");
  EXPECT_TRUE(first["reason"].is_null());
  EXPECT_EQ(first["comment"].text, "I would rather lose five minutes than twenty.");
  const JsonValue& last = level["entries"][17];
  EXPECT_EQ(last["name"].text, "Gateway_Startup_Splash_Screen");
  EXPECT_EQ(last["ignored"].text, "true");
  EXPECT_EQ(last["reason"].text, "no preference has this name");
  EXPECT_EQ(last["command"].text,
            "kvrn-prefs set Gateway_Startup_Splash_Screen false --level user");

  std::remove(copy.value_file(1).c_str());
  const ToolResult none = run_tool(copy, {"dump", "--level", "site"});
  EXPECT_EQ(none.status, 0);
  EXPECT_EQ(none.out, "# the site level's file " + copy.value_file(1) + " (none yet)\n");
  JsonValue empty;
  ASSERT_TRUE(parse_json(run_tool(copy, {"dump", "--level", "site", "--json"}).out, &empty));
  EXPECT_EQ(empty["exists"].text, "false");
  EXPECT_EQ(empty["entries"].size(), 0u);

  EXPECT_EQ(run_tool(copy, {"dump"}).status, 2);
  EXPECT_EQ(run_tool(copy, {"dump", "--level", "defaults"}).status, 2);
  EXPECT_EQ(run_tool(copy, {"dump", "--level", "user", "--lock"}).status, 2);
  write_file(copy.value_file(2), "<PrefValues>");
  const ToolResult broken = run_tool(copy, {"dump", "--level", "group"});
  EXPECT_EQ(broken.status, 1);
  EXPECT_NE(broken.err.find("the group level's file failed to load"), std::string::npos);
  std::vector<std::string> no_user = copy.environment();
  no_user[3] = "KVRN_USER_DIR=" + copy.path("nowhere");
  EXPECT_EQ(run_tool(no_user, {"dump", "--level", "user"}).status, 1);
}

namespace {

// Words with every character that a shell reads specially, and the line breaks and tab that a
// value file can hold.
const std::vector<std::string> AWKWARD = {
    "a'; touch PWNED #\n",
    "it's",
    "\"double\" \\back\\",
    "$HOME `id` $(touch PWNED)",
    "!*?[a]{b,c}~;|&<>()#",
    "-leading dash",
    "line\nbreak",
    "carriage\rreturn",
    "tab\there",
    "caf\xC3\xA9 ",
    "",
};

std::string xml_escaped(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    escaped += c == '&'    ? "&amp;"
               : c == '<'  ? "&lt;"
               : c == '"'  ? "&quot;"
               : c == '\n' ? "&#10;"
               : c == '\r' ? "&#13;"
               : c == '\t' ? "&#9;"
                           : std::string(1, c);
  }
  return escaped;
}

// The comments of the kvrn-prefs set commands that a stub received: it prints each of its
// arguments ended by a NUL.
std::vector<std::string> comments_received(const std::string& printed) {
  std::vector<std::string> comments;
  for (std::size_t at = printed.find(std::string("--comment") + '\0'); at != std::string::npos;
       at = printed.find(std::string("--comment") + '\0', at + 1)) {
    const std::size_t start = at + 10;
    comments.push_back(printed.substr(start, printed.find('\0', start) - start));
  }
  return comments;
}

}  // namespace

TEST(DumpCommand, AnyPosixShellReplaysEveryWordExactly) {
  ExampleCopy copy;
  std::string entries;
  for (const std::string& word : AWKWARD) {
    entries += "<Pref name=\"Gateway_Startup_Template_Part\" value=\"" + xml_escaped(word) +
               "\"><UserComment>" + xml_escaped(word) + "</UserComment></Pref>\n";
  }
  // An ignored entry stays a comment whatever its words hold.
  entries +=
      "<Pref name=\"No_Such_Preference\" value=\"1\"><UserComment>x\ntouch PWNED #\n"
      "</UserComment></Pref>\n";
  write_file(copy.value_file(2),
             "<PrefValues defaultLockStatus=\"unlocked\">\n" + entries + "</PrefValues>\n");
  const ToolResult dump = run_tool(copy, {"dump", "--level", "group"});
  ASSERT_EQ(dump.status, 0) << dump.err;
  write_file(copy.path("dump.sh"), dump.out);
  make_directories(copy.path("stub"));
  write_file(copy.path("stub/kvrn-prefs"), "#!/bin/sh\nprintf '%s\\0' \"$@\"\n");
  chmod(copy.path("stub/kvrn-prefs").c_str(), 0755);
  for (const char* shell : {"/bin/dash", "/bin/bash"}) {
    SCOPED_TRACE(shell);
    if (!file_exists(shell)) GTEST_SKIP() << shell << " is not installed";
    const ToolResult replay = run_program(shell, {"PATH=" + copy.path("stub") + ":/usr/bin:/bin"},
                                          {"-c", "cd \"$0\" && . ./dump.sh", copy.root()});
    EXPECT_EQ(replay.status, 0) << replay.err;
    EXPECT_EQ(comments_received(replay.out), AWKWARD) << dump.out;
    // The values went through the same quoting, the ones with a leading dash after "--".
    EXPECT_NE(replay.out.find(std::string("--") + '\0' + "Gateway_Startup_Template_Part" + '\0' +
                              "-leading dash" + '\0'),
              std::string::npos);
    EXPECT_FALSE(file_exists(copy.path("PWNED")));
  }
}
