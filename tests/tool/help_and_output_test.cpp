// kvrn-prefs help, version, manual page and bash completion agree with each other and with
// doc/kvrn-prefs.md; output is quiet unless -v, and the warnings that matter are always shown.
#include <set>
#include <sstream>

#include "tool_run.h"

namespace {

std::string first_word(const std::string& text) {
  return text.substr(0, text.find_first_of(" `\\"));
}

// The commands of the usage: the lines of its Commands section indented by two spaces.
std::vector<std::string> usage_commands(const std::string& usage) {
  std::vector<std::string> names;
  bool in_section = false;
  for (const std::string& line : lines_of(usage)) {
    if (line == "Commands:")
      in_section = true;
    else if (line.empty())
      in_section = false;
    else if (in_section && line.rfind("  ", 0) == 0 && line[2] != ' ') {
      names.push_back(first_word(line.substr(2)));
    }
  }
  return names;
}

// The commands of the manual page: the bold words after each .TP of its COMMANDS section.
std::vector<std::string> man_commands(const std::string& page) {
  std::vector<std::string> names;
  bool in_section = false;
  bool after_tp = false;
  for (const std::string& line : lines_of(page)) {
    if (line.rfind(".SH ", 0) == 0) in_section = line == ".SH COMMANDS";
    if (in_section && after_tp && line.rfind(".B ", 0) == 0) {
      names.push_back(first_word(line.substr(3)));
    }
    after_tp = line == ".TP";
  }
  return names;
}

// The commands of the table of doc/kvrn-prefs.md's "Commands" section.
std::vector<std::string> doc_commands(const std::string& doc) {
  std::vector<std::string> names;
  bool in_section = false;
  for (const std::string& line : lines_of(doc)) {
    if (line.rfind("## ", 0) == 0) in_section = line == "## Commands";
    if (in_section && line.rfind("| `", 0) == 0) names.push_back(first_word(line.substr(3)));
  }
  return names;
}

// The completions bash offers for the words typed so far (the last one being completed).
std::vector<std::string> completions(const ExampleCopy& copy, const std::string& words) {
  const std::string script = "source " + source_file("tools/kvrn-prefs/kvrn-prefs.bash") +
                             "\nread -ra COMP_WORDS <<<\"$WORDS\"\n"
                             "[[ $WORDS == *' ' ]] && COMP_WORDS+=('')\n"
                             "COMP_WORDS[0]=" +
                             tool_path() +
                             "\nCOMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n_kvrn_prefs\n"
                             "printf '%s\\n' \"${COMPREPLY[@]}\"\n";
  std::vector<std::string> environment = copy.environment();
  environment.push_back("WORDS=" + words);
  const ToolResult result = run_program("/bin/bash", environment, {"-c", script});
  EXPECT_EQ(result.status, 0) << result.err;
  std::vector<std::string> offered;
  for (const std::string& line : lines_of(result.out)) {
    if (!line.empty()) offered.push_back(line);
  }
  return offered;
}

}  // namespace

TEST(HelpAndOutput, HelpManPageAndDocumentationListTheSameCommands) {
  ExampleCopy copy;
  const ToolResult usage = run_tool(copy, {"help"});
  EXPECT_EQ(usage.status, 0);
  const std::vector<std::string> commands = usage_commands(usage.out);
  EXPECT_TRUE(std::set<std::string>(commands.begin(), commands.end()).count("report"));
  EXPECT_EQ(man_commands(read_file(source_file("tools/kvrn-prefs/kvrn-prefs.1"))), commands);
  EXPECT_EQ(doc_commands(read_file(source_file("doc/kvrn-prefs.md"))), commands);
  // The completion offers the same commands, from the program itself.
  EXPECT_EQ(completions(copy, "kvrn-prefs "), commands);

  // No command: the usage on standard error and status 2; --help: on standard output.
  const ToolResult bare = run_tool(copy, {});
  EXPECT_EQ(bare.status, 2);
  EXPECT_EQ(bare.err, usage.out);
  EXPECT_EQ(run_tool(copy, {"--help"}).out, usage.out);
  // help COMMAND and COMMAND --help are the same, and work without an installation.
  const ToolResult dump_help = run_tool(std::vector<std::string>{}, {"help", "dump"});
  EXPECT_EQ(dump_help.status, 0);
  EXPECT_EQ(dump_help.out.rfind("usage: kvrn-prefs [OPTIONS] dump --level L [--json]\n", 0), 0u);
  EXPECT_EQ(run_tool(std::vector<std::string>{}, {"dump", "--help"}).out, dump_help.out);
  EXPECT_EQ(run_tool(copy, {"help", "nothing"}).status, 2);
  const ToolResult version = run_tool(std::vector<std::string>{}, {"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("kvrn-prefs 1.", 0), 0u) << version.out;
}

TEST(HelpAndOutput, TheManualPageRenders) {
  const ToolResult page =
      run_program("/usr/bin/man", {"MANWIDTH=200"},
                  {"--warnings", "-l", source_file("tools/kvrn-prefs/kvrn-prefs.1")});
  ASSERT_EQ(page.status, 0) << "man -l needs man-db (scripts/install-deps): " << page.err;
  EXPECT_EQ(page.err, "");
  EXPECT_TRUE(contains(page.out, "kvrn-prefs - look at, check and change the preferences"));
  EXPECT_TRUE(contains(page.out, "EXIT STATUS")) << page.out;
}

TEST(HelpAndOutput, CompletionOffersOptionsLevelsApplicationsAndNames) {
  ExampleCopy copy;
  EXPECT_EQ(completions(copy, "kvrn-prefs ex"), (std::vector<std::string>{"explain"}));
  EXPECT_EQ(completions(copy, "kvrn-prefs set Gateway_Autosave_Int"),
            (std::vector<std::string>{"Gateway_Autosave_Interval"}));
  EXPECT_EQ(completions(copy, "kvrn-prefs set X 1 --level "),
            (std::vector<std::string>{"site", "group", "user"}));
  EXPECT_EQ(completions(copy, "kvrn-prefs set X 1 --lo"),
            (std::vector<std::string>{"--lock", "--local-user-defaults"}));
  EXPECT_EQ(completions(copy, "kvrn-prefs get --j"), (std::vector<std::string>{"--json"}));
  EXPECT_EQ(completions(copy, "kvrn-prefs get --lo"),
            (std::vector<std::string>{"--local-user-defaults"}));
  EXPECT_EQ(completions(copy, "kvrn-prefs list kv_draf"),
            (std::vector<std::string>{"kv_drafting_app"}));
  EXPECT_EQ(completions(copy, "kvrn-prefs level-lock "),
            (std::vector<std::string>{"locked", "unlocked"}));
  // Names come from the installation the options typed so far name.
  ExampleCopy other;
  const ToolResult named = run_program(
      "/bin/bash", {"WORDS=kvrn-prefs --base " + other.path("base") + " get Drafting_Standard_D"},
      {"-c", "source " + source_file("tools/kvrn-prefs/kvrn-prefs.bash") +
                 "; read -ra COMP_WORDS <<<\"$WORDS\"; COMP_WORDS[0]=" + tool_path() +
                 "; COMP_CWORD=4; _kvrn_prefs; echo \"${COMPREPLY[*]}\""});
  EXPECT_EQ(named.out, "Drafting_Standard_Default\n") << named.err;
}

TEST(HelpAndOutput, QuietUnlessVerboseButWarningsThatMatterAreShown) {
  ExampleCopy copy;
  const ToolResult quiet = run_tool(copy, {"get", "Gateway_Autosave_Interval"});
  EXPECT_EQ(quiet.out, "5\n");
  EXPECT_EQ(quiet.err, "");
  const ToolResult verbose = run_tool(copy, {"-v", "get", "Gateway_Autosave_Interval"});
  EXPECT_EQ(verbose.out, "5\n");
  EXPECT_TRUE(contains(verbose.err, "Default Gateway_Startup_Splash_Screen is not found"))
      << verbose.err;

  // An option the command does not take, or an unknown one, changes nothing.
  const ToolResult misplaced = run_tool(copy, {"get", "Gateway_Autosave_Interval", "--html"});
  EXPECT_EQ(misplaced.status, 2);
  EXPECT_EQ(misplaced.err, "kvrn-prefs: --html does not apply to get (see kvrn-prefs help get)\n");
  EXPECT_TRUE(contains(run_tool(copy, {"lst"}).err, "unknown command lst (did you mean list"));
  EXPECT_TRUE(contains(run_tool(copy, {"levels", "--jsn"}).err, "(did you mean --json?)"));

  // A lock at the site level hides the group's and the user's own values: one line each.
  const ToolResult lock = run_tool(copy, {"lock", "Gateway_Autosave_Interval", "--level", "site"});
  EXPECT_EQ(lock.status, 0) << lock.err;
  EXPECT_EQ(lock.err,
            "kvrn-prefs: warning: the group level's entry for Gateway_Autosave_Interval (20) is "
            "hidden by the lock at the site level: it stays in its file but no longer counts\n"
            "kvrn-prefs: warning: the user level's entry for Gateway_Autosave_Interval (5) is "
            "hidden by the lock at the site level: it stays in its file but no longer counts\n");
  // A site value below a user's own: the user's still decides.
  const ToolResult set =
      run_tool(copy, {"set", "Gateway_Recent_Files_Count", "9", "--level", "site"});
  EXPECT_EQ(set.status, 0) << set.err;
  EXPECT_EQ(set.err,
            "kvrn-prefs: warning: the user level's own value of Gateway_Recent_Files_Count (20) "
            "still decides over the site level's\n");
  // Locking the whole site level hides every group and user entry start-up accepted.
  EXPECT_EQ(run_tool(copy, {"level-lock", "locked", "--level", "site"})
                .out.rfind("already locked by default, nothing changed at the site level", 0),
            0u);
  // Unlocking it brings back the entries above that its lock hid, each warned about.
  const ToolResult unlocked =
      run_tool(copy, {"level-lock", "unlocked", "--level", "site", "--clear-exceptions"});
  ASSERT_EQ(unlocked.status, 0) << unlocked.err;
  for (const std::string& line : lines_of(unlocked.err)) {
    EXPECT_TRUE(contains(line, "now takes effect: the lock that hid it is gone")) << line;
  }
  const ToolResult level_lock =
      run_tool(copy, {"level-lock", "locked", "--level", "site", "--clear-exceptions"});
  EXPECT_EQ(level_lock.status, 0) << level_lock.err;
  int hidden = 0;
  for (const std::string& line : lines_of(level_lock.err)) {
    hidden += contains(line, "is hidden by the lock at the site level") ? 1 : 0;
  }
  // With the site unlocked, start-up accepted all 8 group entries and 12 of the user's (the
  // other 6 stay hidden by the group's locks, or are invalid or unknown).
  EXPECT_EQ(hidden, 8 + 12) << level_lock.err;
  // The unknown name of an edit gets the nearest names too.
  EXPECT_TRUE(
      contains(run_tool(copy, {"reset", "Gateway_Recent_File_Count", "--level", "user"}).err,
               "(did you mean Gateway_Recent_Files_Count?)"));
  // A level whose file failed to load is warned about by the reading commands.
  write_file(copy.value_file(2), "<PrefValues>");
  const ToolResult warned = run_tool(copy, {"find", "autosave"});
  EXPECT_EQ(warned.status, 0);
  EXPECT_TRUE(contains(warned.err, "kvrn-prefs: warning: the group level's file failed to load"))
      << warned.err;
}
