// The example installation of the source tree, started on a copy: every featured preference
// has its documented value and lock at each level, saving and reloading every level keeps the
// state, and the installation's style sheet shows a saved value file as a table.
#include "installation.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace {

struct Expected {
  std::string name;
  int level;
  std::string value;
  bool locked;
};

// Lines of expected_effective_values.txt: name level value locked.
std::vector<Expected> expected_values() {
  std::vector<Expected> expected;
  std::ifstream in(Installation::examples_dir() + "/expected_effective_values.txt");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    Expected row;
    std::string locked;
    fields >> row.name >> row.level >> row.value >> locked;
    row.locked = locked == "yes";
    expected.push_back(row);
  }
  EXPECT_FALSE(expected.empty()) << "no expected values in " << Installation::examples_dir();
  return expected;
}

void check_expected_values() {
  for (const Expected& row : expected_values()) {
    VERU_pref* pref = VERU_lookup_pref(row.name.c_str());
    ASSERT_NE(pref, nullptr) << row.name;
    const VERU_value* value = pref->ask_value(row.level);
    ASSERT_NE(value, nullptr) << row.name;
    EXPECT_EQ(taken(value->print()), row.value) << row.name << " at level " << row.level;
    EXPECT_EQ(pref->is_locked(row.level), row.locked) << row.name << " at level " << row.level;
    if (row.level == 3) {
      EXPECT_EQ(taken(pref->loaded_value()->print()), row.value) << row.name << " as queried";
    }
  }
}

void collect_name(OM_object* pref, void* names) {
  static_cast<std::vector<std::string>*>(names)->push_back(
      static_cast<VERU_pref*>(pref)->ask_name());
}

std::vector<std::string> all_names() {
  std::vector<std::string> names;
  OM_for_all_in_set(VERU__ask_module_root()->ask_pref_set(), collect_name, &names);
  std::sort(names.begin(), names.end());
  return names;
}

// Everything levels 1 to 3 record, and the effective value and lock at each.
std::map<std::string, std::string> state_of_levels() {
  std::map<std::string, std::string> state;
  for (const std::string& name : all_names()) {
    VERU_pref* pref = VERU_lookup_pref(name.c_str());
    std::string text;
    for (int level = 1; level <= 3; ++level) {
      text +=
          " | " + taken(pref->ask_value(level)->print()) + (pref->is_locked(level) ? " L" : " -");
      if (const VERU_recorded_value* recorded = pref->ask_recorded_value(level)) {
        text += " own " + value_at(pref, level) + " " + std::to_string(recorded->ask_locked()) +
                " " + text_of(recorded->ask_comment()) + " " +
                std::to_string(recorded->ask_modification_date());
      }
    }
    state[name] = text;
  }
  return state;
}

std::string run(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return output;
  char chunk[4096];
  for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) {
    output.append(chunk, got);
  }
  pclose(pipe);
  return output;
}

}  // namespace

TEST(ExampleInstallation, StartsWithTheDocumentedValuesLocksAndReports) {
  Installation installation;
  installation.use_examples();
  HookRecorder::register_hooks();
  LogCapture log;
  VERU_init_module();

  EXPECT_EQ(OM_ask_set_count(VERU__ask_module_root()->ask_pref_set()), 381);
  EXPECT_FALSE(VERU__is_level_defined(0));
  EXPECT_TRUE(VERU_is_level_locked_by_default(1));
  EXPECT_FALSE(VERU_is_level_locked_by_default(2));
  EXPECT_FALSE(VERU_is_level_locked_by_default(3));
  for (int level = 1; level <= 3; ++level) EXPECT_TRUE(VERU_is_level_up_to_date(level));
  check_expected_values();

  char** items = nullptr;
  const int count = VERU_ask_string_list("Knowledge_Search_Paths", &items);
  EXPECT_EQ(taken(items, count),
            (std::vector<std::string>{"/srv/kvrn/knowledge/rules", "${HOME}/kvrn/rules",
                                      "/proj/gearbox/rules"}));
  VERU_pref* background = VERU_lookup_pref("Gateway_Display_Background_Color");
  EXPECT_TRUE(background->is_locked_at(2));
  EXPECT_FALSE(background->is_locked_at(1));
  EXPECT_FALSE(background->has_value(3));
  EXPECT_EQ(text_of(background->ask_comment(2)),
            "Same background on every screen for design reviews.");
  VERU_pref* autosave = VERU_lookup_pref("Gateway_Autosave_Interval");
  EXPECT_EQ(text_of(autosave->ask_comment(3)), "I would rather lose five minutes than twenty.");
  EXPECT_EQ(autosave->ask_modification_date(3), 1796030100);  // 2026-11-30T09:15:00Z
  EXPECT_FALSE(VERU_lookup_pref("Drafting_Standard_Default")->has_value(2));

  const std::vector<std::string> lines = {
      "Processing customer default values file " + installation.value_file(2),
      "\tDefault Drafting_Standard_Default is locked. Value ignored\n",
      "Processing customer default values file " + installation.value_file(3),
      "\tDefault Gateway_Display_Background_Color is locked. Value ignored\n",
      "\tDefault Gateway_Startup_Template_Part is locked. Value ignored\n",
      "\tDefault Drafting_Sheet_Default_Size is locked. Value ignored\n",
      "\tDefault Drafting_Standard_Default is locked. Value ignored\n",
      "\tDefault Rendering_Samples_Per_Pixel is locked. Value ignored\n",
      "\tDefault Modeling_Tolerance_Distance value is not valid. Value ignored\n",
      "\tDefault Sketcher_Snap_To_Grid value is not valid. Value ignored\n",
      "\tDefault Gateway_Startup_Splash_Screen is not found in the database. Value ignored\n"};
  std::size_t previous = 0;
  for (const std::string& line : lines) {
    const std::size_t at = log.text().find(line, previous);
    EXPECT_NE(at, std::string::npos) << line;
    previous = at == std::string::npos ? previous : at;
  }
  EXPECT_EQ(occurrences(log.text(), "Value ignored"), lines.size() - 2) << log.text();
  EXPECT_EQ(HookRecorder::reports(),
            (std::vector<std::string>{"report 2 1", "report 3 1", "init_done"}));
}

TEST(ExampleInstallation, EveryLevelSavesAndReloadsUnchanged) {
  Installation installation;
  installation.use_examples();
  std::size_t ignored_at_start = 0;
  {
    LogCapture log;
    VERU_init_module();
    ignored_at_start = occurrences(log.text(), "Value ignored");
  }
  const std::map<std::string, std::string> started = state_of_levels();
  for (int level = 1; level <= 3; ++level) VERU__save_values_xml(level);
  std::vector<std::string> saved;
  for (int level = 1; level <= 3; ++level)
    saved.push_back(read_file(VERU__ask_level_filename(level)));

  for (int level = 1; level <= 3; ++level) VERU_set_level_up_to_date(level, false);
  LogCapture log;
  VERU_reload_values_xml();
  // The entries that start-up ignored were written back, and are ignored again.
  EXPECT_GT(ignored_at_start, 0u);
  EXPECT_EQ(occurrences(log.text(), "Value ignored"), ignored_at_start) << log.text();
  EXPECT_EQ(state_of_levels(), started);
  EXPECT_TRUE(VERU_is_level_locked_by_default(1));
  check_expected_values();

  // Saving the reloaded state writes the very same files.
  for (int level = 1; level <= 3; ++level) {
    VERU__save_values_xml(level);
    EXPECT_EQ(read_file(VERU__ask_level_filename(level)), saved[level - 1]) << "level " << level;
  }
}

TEST(ExampleInstallation, TheStyleSheetShowsARowPerPreference) {
  if (std::system("command -v xsltproc >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "xsltproc is not installed";
  Installation installation;
  installation.use_examples();
  VERU_init_module();
  for (int level = 1; level <= 3; ++level) {
    VERU__save_values_xml(level);
    const std::string file = VERU__ask_level_filename(level);
    const std::string html =
        run("xsltproc '" + installation.kvrn_dir() + "/xsl/dpv.xsl' '" + file + "' 2>&1");
    const std::string saved = read_file(file);
    const std::size_t entries = occurrences(saved, "<Pref ");
    EXPECT_GT(entries, 0u);
    EXPECT_EQ(occurrences(html, "<td class=\"name\">"), entries) << html;
    for (const std::string& name : all_names()) {
      const bool written = saved.find("name=\"" + name + "\"") != std::string::npos;
      EXPECT_EQ(html.find("<td class=\"name\">" + name + "</td>") != std::string::npos, written)
          << name << " at level " << level;
    }
  }
}
