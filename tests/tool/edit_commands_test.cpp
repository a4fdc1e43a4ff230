// kvrn-prefs reset, lock, unlock, comment and level-lock on a copy of the example installation:
// each saves its change and says what changed, or refuses and leaves every file as it was; and
// the strict command line, where -- ends the options and list values show as their items.
#include "tool_run.h"

namespace {

// The three value files as they lie now.
std::vector<std::string> files_of(const ExampleCopy& copy) {
  return {read_file(copy.value_file(1)), read_file(copy.value_file(2)),
          read_file(copy.value_file(3))};
}

// The line of the file that holds the preference's entry; "" when there is none.
std::string entry_line(const std::string& file, const std::string& name) {
  const std::size_t at = file.find("name=\"" + name + "\"");
  if (at == std::string::npos) return "";
  const std::size_t begin = file.rfind('\n', at) + 1;
  return file.substr(begin, file.find('\n', at) - begin);
}

// "<done> at the <level> level, saved in <file>" and nothing else.
std::string saved_line(const ExampleCopy& copy, const std::string& done, int level) {
  static const char* const NAMES[] = {"", "site", "group", "user"};
  return done + " at the " + NAMES[level] + " level, saved in " + copy.value_file(level) + "\n";
}

// The command is refused with the status, prints nothing on standard output, says why on
// standard error and changes no file.
void expect_refused(const std::vector<std::string>& command, int status, const std::string& why) {
  std::string shown;
  for (const std::string& word : command) shown += " " + word;
  SCOPED_TRACE(shown);
  ExampleCopy copy;
  const std::vector<std::string> before = files_of(copy);
  const ToolResult refused = run_tool(copy, command);
  EXPECT_EQ(refused.status, status);
  EXPECT_EQ(refused.out, "");
  EXPECT_TRUE(contains(refused.err, "kvrn-prefs: " + why + "\n")) << refused.err;
  EXPECT_EQ(files_of(copy), before);
}

}  // namespace

TEST(EditCommands, EachCommandSavesItsChangeAndSaysWhatChanged) {
  ExampleCopy copy;
  const std::string interval = "Gateway_Autosave_Interval";

  ToolResult done = run_tool(copy, {"lock", interval, "--level", "group"});
  EXPECT_EQ(done.status, 0) << done.err;
  EXPECT_EQ(done.out, saved_line(copy, interval + " locked with the value 20 (was unlocked)", 2));
  EXPECT_TRUE(
      contains(entry_line(read_file(copy.value_file(2)), interval), "value=\"20\" locked=\"yes\""))
      << read_file(copy.value_file(2));
  EXPECT_TRUE(contains(run_tool(copy, {"explain", interval}).out,
                       "locked at level 2 (group): levels above it cannot change it"));
  EXPECT_EQ(run_tool(copy, {"get", interval}).out, "20\n");

  done = run_tool(copy, {"unlock", interval, "--level", "group"});
  EXPECT_EQ(done.status, 0) << done.err;
  EXPECT_EQ(done.out, saved_line(copy, interval + " unlocked (was locked)", 2));
  EXPECT_FALSE(contains(entry_line(read_file(copy.value_file(2)), interval), "locked="));
  EXPECT_EQ(run_tool(copy, {"get", interval}).out, "5\n");

  done = run_tool(copy, {"comment", interval, "save more often", "--level", "user"});
  EXPECT_EQ(done.status, 0) << done.err;
  EXPECT_EQ(done.out, saved_line(copy,
                                 "the comment of " + interval +
                                     " set (was \"I would rather lose five minutes than twenty.\")",
                                 3));
  EXPECT_TRUE(contains(entry_line(read_file(copy.value_file(3)), interval),
                       "value=\"5\" modified=\"2026-"));
  EXPECT_TRUE(contains(entry_line(read_file(copy.value_file(3)), interval),
                       "<UserComment>save more often</UserComment></Pref>"));

  done = run_tool(copy, {"comment", interval, "", "--level", "user"});
  EXPECT_EQ(done.status, 0) << done.err;
  EXPECT_EQ(
      done.out,
      saved_line(copy, "the comment of " + interval + " removed (was \"save more often\")", 3));
  EXPECT_FALSE(contains(entry_line(read_file(copy.value_file(3)), interval), "UserComment"));
  EXPECT_TRUE(contains(entry_line(read_file(copy.value_file(3)), interval), "value=\"5\""));

  done = run_tool(copy, {"reset", interval, "--level", "user"});
  EXPECT_EQ(done.status, 0) << done.err;
  EXPECT_EQ(done.out,
            saved_line(copy, interval + " reset (value, lock and comment removed; was 5)", 3));
  EXPECT_EQ(entry_line(read_file(copy.value_file(3)), interval), "");
  EXPECT_EQ(run_tool(copy, {"get", interval}).out, "20\n");

  // An entry that start-up ignored goes too, even one whose name no preference has.
  const std::string retired = "Gateway_Startup_Splash_Screen";
  ASSERT_NE(entry_line(read_file(copy.value_file(3)), retired), "");
  done = run_tool(copy, {"reset", retired, "--level", "user"});
  EXPECT_EQ(done.status, 0) << done.err;
  EXPECT_EQ(done.out, saved_line(copy, retired + " reset (value, lock and comment removed)", 3));
  EXPECT_EQ(entry_line(read_file(copy.value_file(3)), retired), "");

  const std::string site = read_file(copy.value_file(1));
  done = run_tool(copy, {"level-lock", "locked", "--level", "site"});
  EXPECT_EQ(done.status, 0) << done.err;
  EXPECT_EQ(done.out, saved_line(copy, "already locked by default, nothing changed", 1));
  EXPECT_EQ(occurrences(read_file(copy.value_file(1)), "locked=\"yes\""),
            occurrences(site, "locked=\"yes\""));
  done = run_tool(copy, {"level-lock", "unlocked", "--level", "site", "--clear-exceptions"});
  EXPECT_EQ(done.status, 0) << done.err;
  EXPECT_TRUE(contains(done.out,
                       "unlocked by default (was locked); each entry's own lock flag "
                       "cleared, 16 exceptions removed: Gateway_Startup_Template_Part, "))
      << done.out;
  const std::string unlocked = read_file(copy.value_file(1));
  EXPECT_TRUE(contains(unlocked, "<PrefValues defaultLockStatus=\"unlocked\">")) << unlocked;
  EXPECT_FALSE(contains(unlocked, "locked=\"yes\"")) << unlocked;
  // Every entry stays, and what the site's default lock held is free now.
  EXPECT_EQ(occurrences(unlocked, "<Pref "), occurrences(site, "<Pref "));
  EXPECT_EQ(occurrences(unlocked, "<UserComment>"), occurrences(site, "<UserComment>"));
  EXPECT_TRUE(contains(run_tool(copy, {"explain", "Drafting_Standard_Default"}).out,
                       "not locked: the site, group and user levels may change it"));
}

TEST(EditCommands, EachCommandRefusesWithoutChangingAFile) {
  expect_refused({"reset", "Drafting_Projection_Angle", "--level", "group"}, 1,
                 "Drafting_Projection_Angle was not reset: nothing is recorded for "
                 "Drafting_Projection_Angle at level 2 (group)");
  expect_refused({"lock", "Gateway_Autosave_Interval", "--level", "user"}, 1,
                 "Gateway_Autosave_Interval was not locked: the user level cannot lock "
                 "preferences: no level is above it");
  expect_refused({"unlock", "Drafting_Standard_Default", "--level", "group"}, 1,
                 "Drafting_Standard_Default was not unlocked: locked at level 1 (site)");
  expect_refused({"comment", "Drafting_Projection_Angle", "hello", "--level", "user"}, 1,
                 "the comment of Drafting_Projection_Angle was not changed: locked at level 1 "
                 "(site)");
  expect_refused({"comment", "Gateway_Autosave_Interval", "bell\a", "--level", "user"}, 1,
                 "the comment of Gateway_Autosave_Interval was not changed: the comment holds "
                 "U+0007 at byte 5, which a value file cannot hold (control characters other "
                 "than tab and line breaks, and text that is not UTF-8)");
  expect_refused({"level-lock", "locked", "--level", "user"}, 1,
                 "the level's default lock was not changed: the user level cannot lock by "
                 "default: no level is above it");
  expect_refused({"set", "Gateway_Autosave_Interval", "500", "--level", "user"}, 1,
                 "Gateway_Autosave_Interval was not changed: 500 is outside [>=1 <=120]");
  expect_refused({"set", "Drafting_Standard_Default", "ABC", "--level", "site"}, 1,
                 "Drafting_Standard_Default was not changed: ABC is not allowed: must be one of "
                 "ISO, ASME, JIS, DIN, GB");
  // A value that starts with "-" follows --, and is then checked as any other.
  expect_refused({"set", "Gateway_Autosave_Interval", "--level", "user", "--", "-5"}, 1,
                 "Gateway_Autosave_Interval was not changed: -5 is outside [>=1 <=120]");
  // Items that the list's encoding would read back as other items.
  expect_refused({"set", "Knowledge_Search_Paths", "a\"\\\"b", "c", "--level", "user"}, 1,
                 "Knowledge_Search_Paths was not changed: a string list cannot hold these items "
                 "as typed; they would read back as a, b, c");
  expect_refused({"set", "Knowledge_Search_Paths", "\"quoted\"", "--level", "user"}, 1,
                 "Knowledge_Search_Paths was not changed: a string list cannot hold these items "
                 "as typed; they would read back as quoted");
  // Without --level, or with a level the command cannot take, the command line is wrong.
  expect_refused({"reset", "Gateway_Autosave_Interval"}, 2,
                 "reset needs --level site, group or user");
  expect_refused({"level-lock", "maybe", "--level", "site"}, 2,
                 "level-lock takes locked or unlocked");
  expect_refused({"comment", "Gateway_Autosave_Interval", "--level", "user"}, 2,
                 "comment takes a name and a text");
}

TEST(EditCommands, ANegativeNumberIsAValueNotAnOption) {
  ExampleCopy copy;
  // Read as the value, which the library then judges: the range starts at 1.
  const ToolResult refused =
      run_tool(copy, {"set", "Gateway_Autosave_Interval", "-5", "--level", "user"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(contains(refused.err, "-5 is outside [>=1 <=120]")) << refused.err;
  // A word that only starts like one is still an option.
  EXPECT_EQ(run_tool(copy, {"set", "Gateway_Autosave_Interval", "-x5", "--level", "user"}).status,
            2);
}

TEST(EditCommands, AnUnknownOptionAnywhereChangesNothing) {
  const std::string list = "Knowledge_Search_Paths";
  // Not stored as the items "a", "b", "--commnt" and "hello".
  expect_refused(
      {"set", list, "a", "b", "--commnt", "hello", "--level", "user"}, 2,
      "unknown option --commnt (did you mean --comment or --count?) (see kvrn-prefs help; put -- "
      "before a value that "
      "starts with -)");
  expect_refused({"set", list, "a", "--level", "user", "-b"}, 2,
                 "unknown option -b (see kvrn-prefs help; put -- before a value that starts "
                 "with -)");
  expect_refused({"--bogus", "reset", list, "--level", "user"}, 2,
                 "unknown option --bogus (see kvrn-prefs help; put -- before a value that "
                 "starts with -)");
  expect_refused({"lock", list, "--lvl", "site"}, 2,
                 "unknown option --lvl (did you mean --level?) (see kvrn-prefs help; put -- before "
                 "a value that starts "
                 "with -)");
  expect_refused({"comment", list, "text", "--level", "user", "--Comment"}, 2,
                 "unknown option --Comment (did you mean --comment?) (see kvrn-prefs help; put -- "
                 "before a value that "
                 "starts with -)");
  expect_refused({"level-lock", "-locked", "--level", "site"}, 2,
                 "unknown option -locked (see kvrn-prefs help; put -- before a value that "
                 "starts with -)");
}

TEST(EditCommands, ListItemsMayStartWithADashAfterDashDashAndShowAsItems) {
  ExampleCopy copy;
  const std::string list = "Knowledge_Search_Paths";
  const ToolResult set =
      run_tool(copy, {"set", list, "--level", "user", "--comment", "mine", "--", "-a", "b c"});
  EXPECT_EQ(set.status, 0) << set.err;
  EXPECT_EQ(set.out,
            saved_line(copy,
                       list + " = -a, b c (was /srv/kvrn/knowledge/rules, ${HOME}/kvrn/rules, "
                              "/proj/gearbox/rules), with its comment",
                       3));
  EXPECT_TRUE(contains(entry_line(read_file(copy.value_file(3)), list),
                       "name=\"" + list + "\" value=\"&quot;-a&quot;\\&quot;b c&quot;\""))
      << entry_line(read_file(copy.value_file(3)), list);
  // The words after -- are items, even when they look like options.
  const ToolResult options_as_items =
      run_tool(copy, {"set", list, "--level", "user", "--", "--level", "x"});
  EXPECT_EQ(options_as_items.status, 0) << options_as_items.err;
  EXPECT_EQ(options_as_items.out, saved_line(copy, list + " = --level, x (was -a, b c)", 3));
  ASSERT_EQ(run_tool(copy, {"set", list, "--level", "user", "--", "-a", "b c"}).status, 0);

  EXPECT_EQ(run_tool(copy, {"get", list}).out, "-a\nb c\n");
  const std::string explained = run_tool(copy, {"explain", list}).out;
  EXPECT_TRUE(contains(explained, "  1 site     /srv/kvrn/knowledge/rules  unlocked")) << explained;
  EXPECT_TRUE(contains(explained, "  3 user     -a, b c  modified")) << explained;
  EXPECT_TRUE(contains(explained, "effective value -a, b c, from level 3 (user)\n")) << explained;
  EXPECT_TRUE(contains(explained, "queries answer -a, b c\n")) << explained;
  EXPECT_FALSE(contains(explained, "&quot;")) << explained;
  EXPECT_FALSE(contains(explained, "\"-a\"")) << explained;
  EXPECT_TRUE(contains(run_tool(copy, {"list", "Knowledge"}).out,
                       list + " \"Rule Library Folders\" = -a, b c\n"));

  // A lock takes the list as it is, and says so as items.
  const ToolResult locked = run_tool(copy, {"lock", list, "--level", "group"});
  EXPECT_EQ(locked.status, 0) << locked.err;
  EXPECT_EQ(locked.out,
            saved_line(
                copy, list + " locked with the value /srv/kvrn/knowledge/rules (was unlocked)", 2));
}

TEST(EditCommands, LevelLockThereAndBackKeepsEveryEffectiveValueAndLock) {
  ExampleCopy copy;
  // Every preference with its value and lock at each level, without the time it was made.
  const auto report = [&] {
    const std::string text = run_tool(copy, {"report"}).out;
    return text.substr(text.find('\n'));
  };
  const std::string before = report();
  const std::string site = read_file(copy.value_file(1));
  const ToolResult unlocked = run_tool(copy, {"level-lock", "unlocked", "--level", "site"});
  EXPECT_EQ(unlocked.status, 0) << unlocked.err;
  EXPECT_TRUE(contains(unlocked.out, "(24 entries' own lock flags turned over)")) << unlocked.out;
  EXPECT_TRUE(contains(read_file(copy.value_file(1)), "defaultLockStatus=\"unlocked\""));
  // A preference without an entry follows the new default: the user's entry counts now.
  EXPECT_TRUE(contains(unlocked.err,
                       "the user level's entry for Rendering_Samples_Per_Pixel (256) now takes "
                       "effect"))
      << unlocked.err;
  const ToolResult locked = run_tool(copy, {"level-lock", "locked", "--level", "site"});
  EXPECT_EQ(locked.status, 0) << locked.err;
  EXPECT_TRUE(report() == before);
  EXPECT_EQ(occurrences(read_file(copy.value_file(1)), "locked=\"yes\""),
            occurrences(site, "locked=\"yes\""));
}

TEST(EditCommands, UnlockAndResetWarnAboutEachEntryAboveThatNowTakesEffect) {
  const struct {
    std::vector<std::string> command;
    std::vector<std::string> warnings;
  } cases[] = {
      {{"unlock", "Drafting_Standard_Default", "--level", "site"},
       {"the group level's entry for Drafting_Standard_Default (ISO) now takes effect",
        "the user level's entry for Drafting_Standard_Default (JIS) now takes effect"}},
      {{"reset", "Gateway_Display_Background_Color", "--level", "group"},
       {"the user level's entry for Gateway_Display_Background_Color ("}},
      {{"reset", "Gateway_Autosave_Interval", "--level", "user"}, {}},
  };
  for (const auto& one : cases) {
    ExampleCopy copy;
    const ToolResult done = run_tool(copy, one.command);
    EXPECT_EQ(done.status, 0) << done.err;
    EXPECT_EQ(occurrences(done.err, "now takes effect"), static_cast<int>(one.warnings.size()))
        << done.err;
    for (const std::string& warning : one.warnings) {
      EXPECT_TRUE(contains(done.err, "kvrn-prefs: warning: " + warning)) << done.err;
    }
  }
}
