// kvrn-prefs never loses a setting: a level file that failed to load is refused or moved aside,
// entries start-up ignored are shown and kept, load failures are warned about, concurrent sets
// on one level both land, and read-only files stay as they are.
#include "tool_run.h"

#include <sys/stat.h>

#include <cstdio>
#include <thread>

namespace {

const char* const LEVEL_NAMES[] = {"", "site", "group", "user"};

// The lines of text that begin with prefix.
std::vector<std::string> lines_starting(const std::string& text, const std::string& prefix) {
  std::vector<std::string> found;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    if (line.rfind(prefix, 0) == 0) found.push_back(line);
    start = end + 1;
  }
  return found;
}

// text with each mention of the folder root written as "ROOT".
std::string in_root(std::string text, const std::string& root) {
  for (std::size_t at = text.find(root); at != std::string::npos; at = text.find(root, at)) {
    text.replace(at, root.size(), "ROOT");
  }
  return text;
}

// Ways of breaking a value file.
enum class Fault { unclosed_quote, truncated };

void damage(const std::string& path, Fault fault) {
  std::string text = read_file(path);
  if (fault == Fault::truncated) {
    text.resize(text.size() - 40);
  } else {
    const std::size_t value = text.find("value=\"");
    text.erase(text.find('"', value + 7), 1);
  }
  write_file(path, text);
}

// The entry of the preference as the file holds it, with its value.
std::string entry_text(const std::string& name, const std::string& value) {
  return "name=\"" + name + "\" value=\"" + value + "\"";
}

}  // namespace

TEST(SetCommand, ABrokenLevelFileIsRefusedOrMovedAsideButNeverSavedOver) {
  struct Case {
    int level;
    Fault fault;
  };
  for (const Case& broken : {Case{3, Fault::unclosed_quote}, Case{1, Fault::truncated},
                             Case{2, Fault::unclosed_quote}, Case{3, Fault::truncated}}) {
    const std::string level = LEVEL_NAMES[broken.level];
    SCOPED_TRACE(level);
    ExampleCopy copy;
    const std::string path = copy.value_file(broken.level);
    damage(path, broken.fault);
    const std::string damaged = read_file(path);

    const ToolResult refused =
        run_tool(copy, {"set", "Gateway_Autosave_Interval", "8", "--level", level});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, "");
    EXPECT_TRUE(contains(refused.err, "kvrn-prefs: the " + level + " level's file failed to load"))
        << refused.err;
    EXPECT_TRUE(has_position_after(refused.err, "\n  " + path + ":")) << refused.err;
    EXPECT_TRUE(contains(refused.err, "--replace-broken")) << refused.err;
    EXPECT_EQ(read_file(path), damaged);

    // A change that is refused leaves the broken file where it is, even with the option.
    const ToolResult refused_change = run_tool(
        copy, {"set", "Gateway_Autosave_Interval", "8x", "--level", level, "--replace-broken"});
    EXPECT_EQ(refused_change.status, 1);
    EXPECT_FALSE(contains(refused_change.out, "moved aside")) << refused_change.out;
    EXPECT_EQ(read_file(path), damaged);

    const ToolResult replaced = run_tool(
        copy, {"set", "Gateway_Autosave_Interval", "8", "--level", level, "--replace-broken"});
    EXPECT_EQ(replaced.status, 0) << replaced.err;
    const std::string said = "moved aside to ";
    const std::size_t at = replaced.out.find(said);
    ASSERT_NE(at, std::string::npos) << replaced.out;
    const std::string moved =
        replaced.out.substr(at + said.size(), replaced.out.find('\n', at) - at - said.size());
    EXPECT_EQ(moved.rfind(path + ".broken-", 0), 0u) << moved;
    EXPECT_EQ(read_file(moved), damaged);
    EXPECT_TRUE(contains(read_file(path), entry_text("Gateway_Autosave_Interval", "8")));
    const ToolResult levels = run_tool(copy, {"levels"});
    EXPECT_FALSE(contains(levels.out, "failed")) << levels.out;
  }
}

TEST(SetCommand, ASetKeepsEveryEntryAndTheDefaultLockOfTheFile) {
  ExampleCopy copy;
  const std::string user = read_file(copy.value_file(3));
  const std::string site = read_file(copy.value_file(1));
  ASSERT_EQ(run_tool(copy, {"set", "Gateway_Autosave_Interval", "8", "--level", "user"}).status, 0);
  ASSERT_EQ(run_tool(copy, {"set", "Gateway_Units_System", "2", "--level", "site"}).status, 0);
  const std::string saved_user = read_file(copy.value_file(3));
  const std::string saved_site = read_file(copy.value_file(1));
  EXPECT_EQ(occurrences(saved_user, "<Pref "), occurrences(user, "<Pref "));
  EXPECT_EQ(occurrences(saved_user, "<UserComment>"), occurrences(user, "<UserComment>"));
  EXPECT_EQ(occurrences(saved_site, "<Pref "), occurrences(site, "<Pref "));
  EXPECT_TRUE(contains(saved_site, "defaultLockStatus=\"locked\""));
  // The entries start-up ignored went back unchanged.
  for (const char* name : {"Gateway_Startup_Splash_Screen", "Sketcher_Snap_To_Grid",
                           "Drafting_Standard_Default", "Rendering_Samples_Per_Pixel"}) {
    const std::size_t at = user.find(std::string("name=\"") + name + "\"");
    ASSERT_NE(at, std::string::npos) << name;
    const std::size_t begin = user.rfind('\n', at) + 1;
    const std::string original = user.substr(begin, user.find('\n', at) - begin);
    EXPECT_TRUE(contains(saved_user, original + "\n")) << original;
  }
}

TEST(SetCommand, LevelsShowsLoadStatesAndCarriedEntriesAndExplainNamesThem) {
  ExampleCopy copy;
  const ToolResult levels = run_tool(copy, {"-v", "levels"});
  EXPECT_EQ(levels.status, 0);
  // As many as the log said the user file's load ignored.
  const std::size_t user_log =
      levels.err.find("Processing customer default values file " + copy.value_file(3));
  ASSERT_NE(user_log, std::string::npos) << levels.err;
  const int ignored = occurrences(levels.err.substr(user_log), "Value ignored\n");
  ASSERT_GT(ignored, 1);
  EXPECT_TRUE(contains(levels.out, copy.value_file(3) + "\n      loaded, " +
                                       std::to_string(ignored) + " entries ignored and carried\n"))
      << levels.out;
  EXPECT_TRUE(contains(levels.out, copy.value_file(1) + "\n      loaded\n")) << levels.out;

  const ToolResult explained = run_tool(copy, {"explain", "Drafting_Standard_Default"});
  EXPECT_EQ(explained.status, 0);
  EXPECT_TRUE(contains(explained.out,
                       "  3 user     no entry\n           the file's entry was "
                       "ignored at start-up"))
      << explained.out;
  EXPECT_TRUE(contains(explained.out, "is carried")) << explained.out;
  EXPECT_FALSE(contains(run_tool(copy, {"explain", "Gateway_Autosave_Interval"}).out, "carried"));

  damage(copy.value_file(2), Fault::unclosed_quote);
  const ToolResult failed = run_tool(copy, {"levels"});
  EXPECT_EQ(failed.status, 0);
  EXPECT_TRUE(has_position_after(
      failed.out, copy.value_file(2) + "\n      failed: " + copy.value_file(2) + ":"))
      << failed.out;
}

// The text with every XML Schema date (2026-12-07T10:38:00Z) replaced by "DATE".
std::string without_dates(std::string text) {
  for (std::size_t at = text.find('T'); at != std::string::npos; at = text.find('T', at + 1)) {
    if (at < 10 || at + 10 > text.size() || text[at + 9] != 'Z' || text[at - 3] != '-' ||
        text[at + 3] != ':') {
      continue;
    }
    text.replace(at - 10, 20, "DATE");
    at -= 10;
  }
  return text;
}

TEST(SetCommand, ReadingCommandsWarnOnceForEachFailedLevelAndAnswerAsWithoutTheFile) {
  ExampleCopy broken;
  ExampleCopy missing;
  for (const int level : {1, 3}) {
    damage(broken.value_file(level), Fault::unclosed_quote);
    std::remove(missing.value_file(level).c_str());
  }
  const std::vector<std::vector<std::string>> commands = {{"get", "Gateway_Autosave_Interval"},
                                                          {"get", "Drafting_Standard_Default"},
                                                          {"get", "No_Such_Preference"},
                                                          {"list"},
                                                          {"list", "Gateway"},
                                                          {"explain", "Gateway_Autosave_Interval"},
                                                          {"explain", "No_Such_Preference"}};
  for (const std::vector<std::string>& command : commands) {
    SCOPED_TRACE(command[0] + " " + (command.size() > 1 ? command[1] : ""));
    const ToolResult with_failure = run_tool(broken, command);
    const ToolResult without_file = run_tool(missing, command);
    // explain names the definition file, which lies in each copy's own folder, and the
    // definitions' defaults are dated when each process starts.
    EXPECT_EQ(without_dates(in_root(with_failure.out, broken.root())),
              without_dates(in_root(without_file.out, missing.root())));
    EXPECT_EQ(with_failure.status, without_file.status);
    const std::vector<std::string> warnings =
        lines_starting(with_failure.err, "kvrn-prefs: warning: ");
    ASSERT_EQ(warnings.size(), 2u) << with_failure.err;
    EXPECT_TRUE(contains(warnings[0], "the site level's file failed to load")) << warnings[0];
    EXPECT_TRUE(contains(warnings[0], broken.value_file(1) + ":")) << warnings[0];
    EXPECT_TRUE(contains(warnings[1], "the user level's file failed to load")) << warnings[1];
    EXPECT_TRUE(contains(warnings[1], broken.value_file(3) + ":")) << warnings[1];
    EXPECT_TRUE(lines_starting(without_file.err, "kvrn-prefs: warning: ").empty());
  }
}

TEST(SetCommand, ASetAboveAFailedLevelWarnsThatItsLocksAreMissing) {
  ExampleCopy copy;
  damage(copy.value_file(1), Fault::unclosed_quote);
  // The site locks this one; with its file broken the lock is missing.
  const ToolResult above =
      run_tool(copy, {"set", "Gateway_Recent_Files_Count", "3", "--level", "user"});
  EXPECT_EQ(above.status, 0) << above.err;
  const std::vector<std::string> warnings = lines_starting(above.err, "kvrn-prefs: warning: ");
  ASSERT_EQ(warnings.size(), 1u) << above.err;
  EXPECT_TRUE(contains(warnings[0], "the site level's file failed to load")) << warnings[0];
  // At the failed level itself the refusal says it all.
  const ToolResult at =
      run_tool(copy, {"set", "Gateway_Recent_Files_Count", "3", "--level", "site"});
  EXPECT_EQ(at.status, 1);
  EXPECT_TRUE(lines_starting(at.err, "kvrn-prefs: warning: ").empty()) << at.err;
}

TEST(SetCommand, ConcurrentSetsOnOneLevelBothLand) {
  ExampleCopy copy;
  const std::string path = copy.value_file(3);
  for (int pair = 0; pair < 50; ++pair) {
    // Each pair changes both values from what the previous pair left.
    const std::string interval = std::to_string(pair % 100 + 1);
    const std::string radius = std::to_string(pair % 20 + 1);
    ToolResult other;
    std::thread concurrent([&] {
      other = run_tool(copy, {"set", "Gateway_Selection_Pick_Radius", radius, "--level", "user"});
    });
    const ToolResult one =
        run_tool(copy, {"set", "Gateway_Autosave_Interval", interval, "--level", "user"});
    concurrent.join();
    EXPECT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(other.status, 0) << other.err;
    const std::string saved = read_file(path);
    EXPECT_TRUE(contains(saved, entry_text("Gateway_Autosave_Interval", interval)))
        << "pair " << pair;
    EXPECT_TRUE(contains(saved, entry_text("Gateway_Selection_Pick_Radius", radius)))
        << "pair " << pair;
  }
}

TEST(SetCommand, AReadOnlyFileIsNotReplaced) {
  ExampleCopy copy;
  const std::string path = copy.value_file(3);
  const std::string old = read_file(path);
  chmod(path.c_str(), 0444);
  const ToolResult refused =
      run_tool(copy, {"set", "Gateway_Autosave_Interval", "8", "--level", "user"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.out, "");
  EXPECT_TRUE(contains(refused.err, "kvrn-prefs: nothing was saved: " + path + ": not writeable\n"))
      << refused.err;
  EXPECT_EQ(read_file(path), old);
  struct stat status {};
  stat(path.c_str(), &status);
  EXPECT_EQ(status.st_mode & 07777, 0444u);
}
