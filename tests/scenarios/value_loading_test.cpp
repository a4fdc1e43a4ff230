// Reading the site, group and user value files: locks between levels, values that are refused,
// dates and comments, files that are missing or cannot be read, the reports to the host, and
// reloading levels marked out of date.
#include "installation.h"

namespace {

const char* const PREFERENCES = R"(
<Application name="App" csh="app">
  <Category name="Cat">
    <Tab name="Tab">
      <Pref name="Count" type="int" value="10">
        <Data type="range"><LowerBound value="0" include="1"/><UpperBound value="100" include="1"/></Data>
      </Pref>
      <Pref name="Mode" type="string" value="fast">
        <Data type="enum"><EnumElem name="Fast" value="fast"/><EnumElem name="Slow" value="slow"/></Data>
      </Pref>
      <Pref name="Flag" type="logical" value="false"/>
      <Pref name="Scale" type="real" value="1.5"/>
      <Pref name="Note" type="string" value="none"/>
      <Pref name="Pen" type="real" value="1"><Color/></Pref>
    </Tab>
  </Category>
</Application>
)";

// An installation with the preferences above and the given value files ("" for none).
void start(const Installation& installation, const std::string& site, const std::string& group,
           const std::string& user) {
  installation.define("kv_gateway.dpx", definitions(PREFERENCES));
  const std::string* files[] = {nullptr, &site, &group, &user};
  for (int level = 1; level <= 3; ++level) {
    if (!files[level]->empty()) installation.write_values(level, *files[level]);
  }
  installation.start();
}

std::string ignored_line(const std::string& name, const std::string& reason) {
  return "\tDefault " + name + " " + reason + ". Value ignored\n";
}

}  // namespace

TEST(ValueLoading, ASiteLockedByDefaultLeavesOnlyItsExceptionsOpen) {
  Installation installation;
  HookRecorder::register_hooks();
  LogCapture log;
  start(installation,
        values(entry("Count", "20", "locked=\"yes\"") + entry("Mode", "slow"), "locked"),
        values(entry("Count", "30") + entry("Mode", "fast") + entry("Flag", "true")),
        values(entry("Count", "40") + entry("Note", "mine")));

  EXPECT_TRUE(VERU_is_level_locked_by_default(1));
  VERU_pref* count = pref("Count");
  EXPECT_EQ(value_at(count, 1), "20");
  EXPECT_EQ(value_at(count, 2), "30");
  EXPECT_EQ(value_at(count, 3), "40");
  EXPECT_FALSE(count->is_locked(1));
  EXPECT_FALSE(count->is_locked(3));
  EXPECT_EQ(VERU_ask_int("Count"), 40);

  VERU_pref* mode = pref("Mode");
  EXPECT_TRUE(mode->is_locked(1));
  EXPECT_FALSE(mode->has_value(2));
  EXPECT_EQ(taken(VERU_ask_string("Mode")), "slow");
  EXPECT_TRUE(log.contains(ignored_line("Mode", "is locked")));
  EXPECT_FALSE(pref("Flag")->has_value(2));
  EXPECT_FALSE(VERU_ask_logical("Flag"));
  EXPECT_TRUE(log.contains(ignored_line("Flag", "is locked")));
  EXPECT_FALSE(pref("Note")->has_value(3));
  EXPECT_TRUE(log.contains(ignored_line("Note", "is locked")));
  EXPECT_FALSE(log.contains(ignored_line("Count", "is locked")));

  EXPECT_EQ(HookRecorder::reports(),
            (std::vector<std::string>{"report 2 1", "report 3 1", "init_done"}));
}

TEST(ValueLoading, GroupLocksHoldForTheUserWhoCannotLockHimselfOut) {
  Installation installation;
  LogCapture log;
  start(installation, values(entry("Scale", "2.5", "locked=\"yes\"")),
        values(
            entry("Scale", "3.5") + entry("Count", "30") + entry("Flag", "false", "locked=\"yes\""),
            "locked"),
        values(entry("Count", "40") + entry("Flag", "TRUE") + entry("Note", "mine"), "locked"));

  EXPECT_TRUE(log.contains(ignored_line("Scale", "is locked")));
  EXPECT_DOUBLE_EQ(VERU_ask_real("Scale"), 2.5);
  // The group's default lock covers its own entries except those marked locked="yes".
  EXPECT_TRUE(pref("Count")->is_locked(2));
  EXPECT_TRUE(log.contains(ignored_line("Count", "is locked")));
  EXPECT_EQ(VERU_ask_int("Count"), 30);
  EXPECT_TRUE(log.contains(ignored_line("Note", "is locked")));
  EXPECT_FALSE(pref("Flag")->is_locked(2));
  EXPECT_TRUE(VERU_ask_logical("Flag"));
  EXPECT_EQ(value_at(pref("Flag"), 3), "true");
  // The user's own default lock comes into force only after the file was read.
  EXPECT_TRUE(VERU_is_level_locked_by_default(3));
  EXPECT_TRUE(pref("Flag")->is_locked(3));

  // Changing a level's default lock drops every lock flag recorded at that level.
  VERU_set_level_locked_by_default(2, false);
  EXPECT_FALSE(pref("Flag")->ask_recorded_value(2)->ask_locked());
  EXPECT_FALSE(pref("Flag")->is_locked(2));
  EXPECT_FALSE(pref("Count")->is_locked(2));
  EXPECT_TRUE(pref("Scale")->is_locked(2));
}

TEST(ValueLoading, RefusedValuesKeepTheLowerLevelsValue) {
  Installation installation;
  HookRecorder::register_hooks();
  LogCapture log;
  start(installation, "",
        values(entry("Count", "50") + entry("Flag", "yes") + entry("Mode", "slow")),
        values(entry("Count", "500") + entry("Mode", "medium") + entry("Flag", "TRUE") +
               "<Pref name=\"Scale\"/>\n" + entry("NoSuch", "1") + entry("Note", "first") +
               entry("Note", "second")));

  VERU_pref* count = pref("Count");
  EXPECT_TRUE(log.contains(ignored_line("Count", "value is not valid")));
  EXPECT_FALSE(count->has_value(3));
  EXPECT_EQ(value_at(count, 2), "50");
  EXPECT_EQ(VERU_ask_int("Count"), 50);
  EXPECT_TRUE(log.contains(ignored_line("Mode", "value is not valid")));
  EXPECT_EQ(taken(VERU_ask_string("Mode")), "slow");
  EXPECT_TRUE(log.contains(ignored_line("Flag", "value is not valid")));
  EXPECT_FALSE(pref("Flag")->has_value(2));
  EXPECT_TRUE(VERU_ask_logical("Flag"));
  EXPECT_TRUE(log.contains(ignored_line("Scale", "value is not valid")));
  EXPECT_FALSE(pref("Scale")->has_value(3));
  EXPECT_TRUE(log.contains(ignored_line("NoSuch", "is not found in the database")));
  EXPECT_EQ(value_at(pref("Note"), 3), "second");
  EXPECT_EQ(taken(VERU_ask_string("Note")), "second");
  EXPECT_EQ(HookRecorder::reports(),
            (std::vector<std::string>{"report 2 1", "report 3 1", "init_done"}));
}

TEST(ValueLoading, DatesLocksAndCommentsAreRead) {
  Installation installation;
  LogCapture log;
  const int before = CLOCK_gmt();
  start(installation, "", "",
        values("<Pref name=\"Count\" value=\"20\" modified=\"2020-01-02T03:04:05Z\">"
               "<UserComment>hello &amp; bye</UserComment></Pref>\n" +
               entry("Flag", "true", "modified=\"2020-01-02T04:04:05+01:00\" locked=\"no\"") +
               "<Pref name=\"Scale\" value=\"2\" locked=\"YES\"><UserComment>first"
               "<![CDATA[second]]></UserComment></Pref>\n" +
               entry("Mode", "slow", "modified=\"yesterday\" locked=\"yes\"") +
               entry("Note", "x", "modified=\"1800-01-01T00:00:00Z\"")));
  const int after = CLOCK_gmt();

  VERU_pref* count = pref("Count");
  EXPECT_EQ(count->ask_modification_date(3), 1577934245);
  EXPECT_EQ(text_of(count->ask_comment(3)), "hello & bye");
  EXPECT_EQ(pref("Flag")->ask_modification_date(3), 1577934245);
  EXPECT_FALSE(pref("Flag")->ask_recorded_value(3)->ask_locked());
  EXPECT_FALSE(pref("Scale")->ask_recorded_value(3)->ask_locked());
  EXPECT_TRUE(pref("Mode")->ask_recorded_value(3)->ask_locked());
  EXPECT_EQ(pref("Flag")->ask_comment(3), nullptr);
  // A missing or unreadable date leaves the time of loading.
  for (const char* name : {"Scale", "Mode", "Note"}) {
    EXPECT_GE(pref(name)->ask_modification_date(3), before) << name;
    EXPECT_LE(pref(name)->ask_modification_date(3), after) << name;
  }
  EXPECT_TRUE(log.contains(
      "\tDefault Mode has a modification date yesterday that cannot be read. Date ignored\n"));
  EXPECT_TRUE(
      log.contains("\tDefault Note has a modification date 1800-01-01T00:00:00Z that "
                   "cannot be read. Date ignored\n"));
  // Of several texts in a comment the last one stays.
  EXPECT_EQ(text_of(pref("Scale")->ask_comment(3)), "second");
}

TEST(ValueLoading, MissingAndBrokenFilesAreReportedPerLevel) {
  Installation installation;
  HookRecorder::register_hooks();
  LogCapture log;
  // A colour constraint cannot judge a real: that entry alone is not valid, and the rest of the
  // file is read.
  start(installation, "", "<PrefValues><Pref name=\"Count\" value=\"1\"></PrefValues>",
        values(
            entry("NoSuch", "1") + entry("Count", "40") + entry("Pen", "3") + entry("Note", "late"),
            "locked"));

  EXPECT_TRUE(log.contains("\tUser customizations file " + installation.value_file(1) +
                           " does not exist\n"));
  EXPECT_TRUE(VERU_is_level_up_to_date(1));
  EXPECT_EQ(VERU_ask_level_load_state(1, nullptr), VERU_LOAD_NO_FILE);
  EXPECT_TRUE(log.contains("\n" + installation.value_file(2)));
  EXPECT_TRUE(log.contains("Unable to load user customizations file for level 2 - continuing\n"));
  EXPECT_FALSE(VERU_is_level_up_to_date(2));
  char* reason = nullptr;
  EXPECT_EQ(VERU_ask_level_load_state(2, &reason), VERU_LOAD_FAILED);
  EXPECT_EQ(taken(reason).rfind(installation.value_file(2) + ":1:", 0), 0u);
  EXPECT_TRUE(log.contains("\tDefault Pen value is not valid. Value ignored\n"));
  EXPECT_TRUE(VERU_is_level_up_to_date(3));
  EXPECT_EQ(VERU_ask_level_load_state(3, &reason), VERU_LOAD_LOADED);
  EXPECT_EQ(reason, nullptr);
  EXPECT_TRUE(VERU_is_level_locked_by_default(3));
  EXPECT_EQ(VERU_ask_int("Count"), 40);
  EXPECT_EQ(value_at(pref("Note"), 3), "late");
  EXPECT_EQ(HookRecorder::reports(),
            (std::vector<std::string>{"report 2 0", "report 3 1", "init_done"}));
}

TEST(ValueLoading, ReloadReadsOnlyLevelsMarkedOutOfDate) {
  Installation installation;
  HookRecorder::register_hooks();
  start(installation, "", values(entry("Count", "30")),
        values(entry("Count", "40") + entry("Note", "mine")));
  HookRecorder::calls().clear();
  installation.write_values(2, values(entry("Count", "31")));
  installation.write_values(3, values(entry("Count", "41") + entry("Mode", "slow") +
                                      entry("Flag", "yes") + entry("NoSuch", "1")));
  static_cast<VERU_pref_real*>(pref("Scale"))->set_real(9.0, 3);

  LogCapture log;
  VERU_set_level_up_to_date(3, false);
  VERU_reload_values_xml();
  EXPECT_FALSE(
      log.contains("Processing customer default values file " + installation.value_file(2)));
  EXPECT_TRUE(
      log.contains("Processing customer default values file " + installation.value_file(3)));
  EXPECT_EQ(value_at(pref("Count"), 2), "30");
  EXPECT_EQ(value_at(pref("Count"), 3), "41");
  EXPECT_EQ(value_at(pref("Mode"), 3), "slow");
  EXPECT_FALSE(pref("Note")->has_value(3));
  EXPECT_FALSE(pref("Scale")->has_value(3));
  EXPECT_TRUE(VERU_is_level_up_to_date(3));
  // What queries answer stays as the start left it; the host hears nothing.
  EXPECT_EQ(VERU_ask_int("Count"), 40);
  EXPECT_EQ(taken(VERU_ask_string("Note")), "mine");
  EXPECT_EQ(taken(VERU_ask_string("Mode")), "fast");
  EXPECT_TRUE(HookRecorder::calls().empty());
}
