// Saved files that keep their order, the generations saves keep, and the commands that look
// back and undo: history, diff, restore and import, on copies of the example installation.
#include <sys/stat.h>

#include <filesystem>
#include <set>

#include "json_reader.h"
#include "tool_run.h"

namespace {

const std::string INTERVAL = "Gateway_Autosave_Interval";

std::vector<std::string> with(const ExampleCopy& copy, const std::string& variable) {
  std::vector<std::string> environment = copy.environment();
  environment.push_back(variable);
  return environment;
}

// The lines of a file with every entry's date taken out, so that saves at different times
// compare equal.
std::vector<std::string> undated_lines(const std::string& text) {
  std::vector<std::string> lines;
  for (std::string line : lines_of(text)) {
    const std::size_t date = line.find(" modified=\"");
    if (date != std::string::npos) line.erase(date, line.find('"', date + 11) + 1 - date);
    lines.push_back(line);
  }
  return lines;
}

// The text of the attribute in the line; "" when the line has none.
std::string attribute(const std::string& line, const std::string& name) {
  const std::size_t at = line.find(" " + name + "=\"");
  if (at == std::string::npos) return "";
  const std::size_t start = at + name.size() + 3;
  return line.substr(start, line.find('"', start) - start);
}

// The lines of after that differ from before's at the same place (both the same length).
std::vector<std::string> changed_lines(const std::string& before, const std::string& after) {
  const std::vector<std::string> old_lines = lines_of(before);
  const std::vector<std::string> new_lines = lines_of(after);
  EXPECT_EQ(old_lines.size(), new_lines.size()) << after;
  std::vector<std::string> changed;
  for (std::size_t i = 0; i < old_lines.size() && i < new_lines.size(); ++i) {
    if (old_lines[i] != new_lines[i]) changed.push_back(new_lines[i]);
  }
  return changed;
}

std::string history_dir(const ExampleCopy& copy) {
  return copy.path("site/startup/history");
}

// The value that the level's file gives the preference; "" when it has no entry for it.
std::string filed_value(const ExampleCopy& copy, int level, const std::string& name) {
  for (const std::string& line : lines_of(read_file(copy.value_file(level)))) {
    if (attribute(line, "name") == name) return attribute(line, "value");
  }
  return "";
}

std::vector<std::string> generation_names(const ExampleCopy& copy) {
  const std::set<std::string> names = directory_entries(history_dir(copy));
  return {names.begin(), names.end()};
}

struct stat status_of(const std::string& path) {
  struct stat status {};
  EXPECT_EQ(stat(path.c_str(), &status), 0) << path;
  return status;
}

// The site file of the examples with an XML comment before an entry and attributes no reader
// knows on the root and on an entry (after those the reader knows, where saves write them).
std::string annotated_site(const ExampleCopy& copy) {
  std::string site = read_file(copy.value_file(1));
  const std::size_t entry = site.find("<Pref ", site.find("<Pref ") + 1);
  site.insert(entry, "<!-- agreed with the plant 2 managers -->\n");
  site.insert(site.find('>', site.find("<PrefValues ")), " reviewed=\"2026-12-01\"");
  site.insert(site.find("/>", site.find("name=\"" + INTERVAL + "\"")), " ticket=\"OPS-17\"");
  return site;
}

}  // namespace

TEST(SavedOrder, SavesInTwoProcessesWriteTheSameBytesAndOneChangeChangesOneEntry) {
  ExampleCopy first;
  ExampleCopy second;
  write_file(first.value_file(1), annotated_site(first));
  write_file(second.value_file(1), annotated_site(second));
  const std::string before = read_file(first.value_file(1));

  // Each copy is saved by a process of its own, with its own address layout.
  for (const ExampleCopy* copy : {&first, &second}) {
    const ToolResult set = run_tool(*copy, {"set", INTERVAL, "7", "--level", "site"});
    ASSERT_EQ(set.status, 0) << set.err;
  }
  const std::string after = read_file(first.value_file(1));
  EXPECT_EQ(undated_lines(after), undated_lines(read_file(second.value_file(1))));
  const std::vector<std::string> changed = changed_lines(before, after);
  ASSERT_EQ(changed.size(), 1u) << after;
  EXPECT_NE(changed[0].find("ticket=\"OPS-17\""), std::string::npos) << changed[0];
  EXPECT_NE(changed[0].find("value=\"7\""), std::string::npos) << changed[0];
  EXPECT_NE(after.find("<!-- agreed with the plant 2 managers -->\n<Pref "), std::string::npos);
  EXPECT_NE(after.find("reviewed=\"2026-12-01\""), std::string::npos);

  // dump lists the entries in the file's order.
  const ToolResult dump = run_tool(first, {"dump", "--level", "site"});
  std::vector<std::string> dumped;
  for (const std::string& line : lines_of(dump.out)) {
    if (line.rfind("kvrn-prefs set ", 0) == 0)
      dumped.push_back(line.substr(15, line.find(' ', 15) - 15));
  }
  std::vector<std::string> filed;
  for (const std::string& line : lines_of(after)) {
    if (line.rfind("<Pref ", 0) == 0) filed.push_back(attribute(line, "name"));
  }
  EXPECT_EQ(dumped, filed);
}

TEST(History, SavesKeepGenerationsWithModeUpToTheLimitAndNoneWhenOff) {
  ExampleCopy copy;
  chmod(copy.value_file(1).c_str(), 0640);
  const ino_t original = status_of(copy.value_file(1)).st_ino;
  for (int value = 11; value <= 15; ++value) {
    const ToolResult set = run_tool(with(copy, "KVRN_HISTORY_KEEP=3"),
                                    {"set", INTERVAL, std::to_string(value), "--level", "site"});
    ASSERT_EQ(set.status, 0) << set.err;
  }
  const ToolResult listed = run_tool(copy, {"history", "--level", "site", "--json"});
  ASSERT_EQ(listed.status, 0) << listed.err;
  JsonValue generations;
  ASSERT_TRUE(parse_json(listed.out, &generations)) << listed.out;
  ASSERT_EQ(generations.items.size(), 3u) << listed.out;
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(generations[i].size(), 8u);
    EXPECT_EQ(generations[i]["generation"].text, std::to_string(i + 1));
    EXPECT_EQ(generations[i]["entries"].text, "24");
  }
  // Each differs from the one before it by the one value set (the oldest has none before it).
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(generations[i]["changed"].text + generations[i]["added"].text +
                  generations[i]["removed"].text,
              "100");
  }
  const std::vector<std::string> kept = generation_names(copy);
  ASSERT_EQ(kept.size(), 3u);
  for (const std::string& name : kept) {
    const struct stat status = status_of(history_dir(copy) + "/" + name);
    EXPECT_EQ(status.st_mode & 07777, 0640u) << name;
    EXPECT_EQ(status.st_uid, status_of(copy.value_file(1)).st_uid) << name;
    EXPECT_NE(status.st_ino, original) << name << ": the oldest generations were removed";
  }

  // Off: no new generation, and those kept stay.
  ASSERT_EQ(
      run_tool(with(copy, "KVRN_HISTORY_KEEP=0"), {"set", INTERVAL, "9", "--level", "site"}).status,
      0);
  EXPECT_EQ(generation_names(copy), kept);

  // A refused edit saves nothing and keeps nothing.
  EXPECT_EQ(run_tool(copy, {"set", INTERVAL, "500", "--level", "site"}).status, 1);
  EXPECT_EQ(generation_names(copy), kept);
}

TEST(History, AGenerationIsTheReplacedFileItselfAndAnUnwritableFolderCostsOnlyAWarning) {
  ExampleCopy copy;
  const struct stat before = status_of(copy.value_file(1));
  ASSERT_EQ(run_tool(copy, {"set", INTERVAL, "7", "--level", "site"}).status, 0);
  const std::vector<std::string> kept = generation_names(copy);
  ASSERT_EQ(kept.size(), 1u);
  // Made as a second name of the replaced file where the file system gives one.
  EXPECT_EQ(status_of(history_dir(copy) + "/" + kept[0]).st_ino, before.st_ino);

  // A history folder that cannot be written (here a file in its place, which stops the
  // superuser too).
  std::filesystem::remove_all(history_dir(copy));
  write_file(history_dir(copy), "not a folder");
  const ToolResult set = run_tool(copy, {"set", INTERVAL, "8", "--level", "site"});
  EXPECT_EQ(set.status, 0) << set.err;
  EXPECT_NE(set.err.find("kvrn-prefs: warning: Unable to keep the replaced file"),
            std::string::npos)
      << set.err;
  EXPECT_EQ(filed_value(copy, 1, INTERVAL), "8");
}

TEST(Restore, EachGenerationComesBackAsOneMoreSave) {
  ExampleCopy copy;
  for (const char* value : {"11", "12", "13"}) {
    ASSERT_EQ(run_tool(copy, {"set", INTERVAL, value, "--level", "site"}).status, 0);
  }
  // The generations hold 12, 11 and the examples' 15, newest first. Each restore is a save, so
  // the file it replaces becomes generation 1 and the one restored moves one place down.
  const struct {
    int generation;
    const char* value;
  } steps[] = {{3, "15"}, {2, "12"}, {4, "11"}};
  for (const auto& step : steps) {
    const std::string number = std::to_string(step.generation);
    const ToolResult dry =
        run_tool(copy, {"restore", "--level", "site", "--generation", number, "--dry-run"});
    EXPECT_EQ(dry.status, 0) << dry.err;
    EXPECT_EQ(dry.out.rfind("~ " + INTERVAL + ": value ", 0), 0u) << dry.out;

    const ToolResult restored =
        run_tool(copy, {"restore", "--level", "site", "--generation", number});
    EXPECT_EQ(restored.status, 0) << restored.err;
    EXPECT_EQ(filed_value(copy, 1, INTERVAL), step.value);
    const ToolResult same = run_tool(copy, {"diff", "--level", "site", "--against-generation",
                                            std::to_string(step.generation + 1)});
    EXPECT_EQ(same.status, 0) << same.out;
  }
  EXPECT_EQ(run_tool(copy, {"restore", "--level", "site", "--generation", "99"}).status, 1);
  EXPECT_EQ(run_tool(copy, {"restore", "--level", "site"}).status, 2);
}

TEST(Diff, EachKindOfDifferenceAndTheStatus) {
  ExampleCopy copy;
  const std::string user = read_file(copy.value_file(3));
  const std::string other = copy.path("other.dpv");
  const auto entry_of = [&](const std::string& name) {
    const std::size_t at = user.rfind("<Pref ", user.find("name=\"" + name));
    return user.substr(at, user.find('\n', at) + 1 - at);
  };
  struct case_s {
    std::string what;
    std::string other_file;
    std::string line;  // the line diff prints; "" when equal
  };
  const std::string interval = entry_of(INTERVAL);
  std::string changed = interval;
  changed.replace(changed.find("value=\"5\""), 9, "value=\"9\"");
  std::string locked = interval;
  locked.replace(locked.find(" modified"), 0, " locked=\"yes\"");
  const case_s cases[] = {
      {"equal", user, ""},
      {"added", std::string(user).erase(user.find(interval), interval.size()),
       "+ " + INTERVAL + " = 5 # I would rather lose five minutes than twenty."},
      {"removed",
       std::string(user).insert(user.find("</PrefValues>"), "<Pref name=\"Old\" value=\"1\"/>\n"),
       "- Old = 1"},
      {"value", std::string(user).replace(user.find(interval), interval.size(), changed),
       "~ " + INTERVAL + ": value 9 -> 5"},
      {"lock", std::string(user).replace(user.find(interval), interval.size(), locked),
       "~ " + INTERVAL + ": lock locked -> unlocked"},
      {"comment", std::string(user).replace(user.find("I would rather"), 14, "We would rather"),
       "~ " + INTERVAL +
           ": comment \"We would rather lose five minutes than twenty.\" -> \"I would rather "
           "lose five minutes than twenty.\""},
  };
  for (const case_s& one : cases) {
    write_file(other, one.other_file);
    const ToolResult diff = run_tool(copy, {"diff", "--level", "user", "--against-file", other});
    EXPECT_EQ(diff.status, one.line.empty() ? 0 : 1) << one.what << diff.err;
    EXPECT_EQ(diff.out, one.line.empty() ? "" : one.line + "\n") << one.what;
    const ToolResult json =
        run_tool(copy, {"diff", "--level", "user", "--against-file", other, "--json"});
    JsonValue parsed;
    ASSERT_TRUE(parse_json(json.out, &parsed)) << one.what << json.out;
    EXPECT_EQ(parsed["changes"].items.size(), one.line.empty() ? 0u : 1u) << one.what;
  }
  EXPECT_EQ(run_tool(copy, {"diff", "--level", "site", "--against-level", "group"}).status, 1);
  EXPECT_EQ(run_tool(copy, {"diff", "--level", "user"}).status, 2);
  EXPECT_EQ(run_tool(copy, {"diff", "--level", "user", "--against-file", other, "--against-level",
                            "site"})
                .status,
            2);
}

TEST(Import, ADumpReproducesALevelAndARefusalSavesNothing) {
  ExampleCopy copy;
  const std::string dump_file = copy.path("group.sh");
  write_file(dump_file, run_tool(copy, {"dump", "--level", "group"}).out);
  const std::string group = read_file(copy.value_file(2));
  ASSERT_EQ(run_tool(copy, {"set", INTERVAL, "25", "--level", "group"}).status, 0);
  ASSERT_EQ(run_tool(copy, {"comment", INTERVAL, "", "--level", "group"}).status, 0);

  const ToolResult imported = run_tool(copy, {"import", dump_file, "--level", "group"});
  EXPECT_EQ(imported.status, 0) << imported.err;
  write_file(copy.path("group.dpv"), group);
  EXPECT_EQ(
      run_tool(copy, {"diff", "--level", "group", "--against-file", copy.path("group.dpv")}).status,
      0);

  // One refused entry: nothing saved, unless --keep-going.
  const std::string refused = copy.path("refused.sh");
  write_file(refused, "kvrn-prefs set " + INTERVAL + " 500 --level group\n" +
                          "kvrn-prefs set Gateway_Recent_Files_Count 12 --level group\n");
  const std::string before = read_file(copy.value_file(2));
  const ToolResult stopped = run_tool(copy, {"import", refused, "--level", "group"});
  EXPECT_EQ(stopped.status, 1);
  EXPECT_NE(stopped.err.find("refused"), std::string::npos) << stopped.err;
  EXPECT_EQ(read_file(copy.value_file(2)), before);
  const ToolResult kept_going =
      run_tool(copy, {"import", refused, "--level", "group", "--keep-going"});
  EXPECT_EQ(kept_going.status, 1) << kept_going.err;
  EXPECT_EQ(filed_value(copy, 2, "Gateway_Recent_Files_Count"), "12");
}

TEST(Diff, TheEffectiveValuesOfTwoInstallations) {
  ExampleCopy copy;
  ExampleCopy other;
  const std::vector<std::string> against = {
      "diff",           "--effective",      "--against-base",  other.path("base"),
      "--against-site", other.path("site"), "--against-group", other.path("group"),
      "--against-user", other.path("user")};
  const ToolResult same = run_tool(copy, against);
  EXPECT_EQ(same.status, 0) << same.out << same.err;
  EXPECT_EQ(same.out, "");
  ASSERT_EQ(run_tool(copy, {"unlock", "Drafting_Standard_Default", "--level", "site"}).status, 0);
  const ToolResult differs = run_tool(copy, against);
  EXPECT_EQ(differs.status, 1);
  EXPECT_EQ(differs.out,
            "~ Drafting_Standard_Default: value \"ASME\" -> \"JIS\", lock locked -> unlocked\n");
  EXPECT_EQ(run_tool(copy, {"diff", "--effective"}).status, 2);
}
