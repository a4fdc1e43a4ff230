// What a watching host is told when other programs change its files, in each of the ways they
// do it: one table of scenarios, run with the test's own clock and events, with the kernel's
// events and by polling, which must all deliver the same batches.
#include <poll.h>

#include <functional>

#include "watch_host.h"

namespace {

const char* const PREFERENCES = R"(
<Application name="App" csh="app">
  <Category name="Cat">
    <Tab name="Tab">
      <Pref name="Count" type="int" value="10">
        <Data type="range"><LowerBound value="1" include="1"/><UpperBound value="120" include="1"/></Data>
      </Pref>
      <Pref name="Note" type="string" value="none"/>
    </Tab>
  </Category>
</Application>
)";

using Batches = std::vector<std::vector<std::string>>;

struct scenario_s {
  const char* name;
  std::function<void(WatchingHost&, const Installation&)> act;
  Batches expected;
};

std::string user_file(const Installation& installation) {
  return installation.value_file(3);
}

std::string count_of(int count) {
  return values(entry("Count", std::to_string(count)));
}

const std::string COUNT_20 = "Count: 20 -> ";
const std::string BY_USER = ", from 3 -> 3, locked -1 -> -1 [value]";

const scenario_s SCENARIOS[] = {
    {"AtomicReplace",
     [](WatchingHost& host, const Installation& installation) {
       host.replace(user_file(installation), count_of(30));
       host.run_for(1000);
     },
     {{COUNT_20 + "30" + BY_USER}}},
    {"InPlaceRewriteLookedAtHalfWay",
     [](WatchingHost& host, const Installation& installation) {
       const std::string content = count_of(30);
       host.truncate(user_file(installation));
       host.append(user_file(installation), content.substr(0, content.size() / 2));
       host.run_for(600);  // the host looks at the file while it is half-written
       host.append(user_file(installation), content.substr(content.size() / 2));
       host.run_for(2500);
     },
     {{COUNT_20 + "30" + BY_USER}}},
    {"RenamedToABackupThenWritten",
     [](WatchingHost& host, const Installation& installation) {
       host.rename_aside(user_file(installation));
       host.write_new(user_file(installation), count_of(40));
       host.run_for(1000);
     },
     {{COUNT_20 + "40" + BY_USER}}},
    {"DeletedAndMadeAgain",
     [](WatchingHost& host, const Installation& installation) {
       host.remove(user_file(installation));
       host.replace(user_file(installation), count_of(50));
       host.run_for(1000);
     },
     {{COUNT_20 + "50" + BY_USER}}},
    {"Touched",
     [](WatchingHost& host, const Installation& installation) {
       host.touch(user_file(installation));
       host.run_for(1000);
     },
     {}},
    {"RewrittenIdentically",
     [](WatchingHost& host, const Installation& installation) {
       host.replace(user_file(installation), count_of(20));
       host.run_for(1000);
     },
     {}},
    {"FiftySavesInABurst",
     [](WatchingHost& host, const Installation& installation) {
       for (int count = 1; count <= 50; ++count)
         host.replace(user_file(installation), count_of(count));
       host.run_for(1500);
     },
     {{COUNT_20 + "50" + BY_USER}}},
    {"TheHostsOwnSave",
     [](WatchingHost& host, const Installation& installation) {
       ASSERT_EQ(VERU_edit_value("Count", 3, "60", nullptr), 0);
       ASSERT_EQ(VERU_save_level(3, nullptr), 0);
       host.touch(user_file(installation));  // the save's events, when the mode injects them
       host.run_for(1000);
     },
     {{COUNT_20 + "60" + BY_USER}}},
    {"ReadAgainForAnEditBeforeTheHostLooks",
     [](WatchingHost& host, const Installation&) {
       host.tool({"reset", "Count", "--level", "user"});
       VERU_set_level_up_to_date(3, false);
       VERU_reload_values_xml();
       host.run_for(1000);
     },
     {{"Count: 20 -> 10, from 3 -> 0, locked -1 -> -1 [value source]"}}},
    {"ReadAgainEditedAndSavedByTheHost",
     [](WatchingHost& host, const Installation&) {
       host.tool({"set", "Note", "other", "--level", "user"});
       ASSERT_EQ(VERU_lock_level(3, nullptr), 0);
       VERU_set_level_up_to_date(3, false);
       VERU_reload_values_xml();
       ASSERT_EQ(VERU_edit_value("Count", 3, "60", nullptr), 0);
       ASSERT_EQ(VERU_save_level(3, nullptr), 0);
       VERU_unlock_level(3);
       host.run_for(1000);
     },
     {{COUNT_20 + "60" + BY_USER},
      {"Note: none -> other, from 0 -> 3, locked -1 -> -1 [value source]"}}},
    {"ASiteLockHidesTheUsersValue",
     [](WatchingHost& host, const Installation&) {
       host.tool({"lock", "Count", "--level", "site"});
       host.run_for(1000);
     },
     {{"Count: 20 -> 10, from 3 -> 1, locked -1 -> 1 [value lock source]"}}},
    {"ASiteLockByDefault",
     [](WatchingHost& host, const Installation&) {
       host.tool({"level-lock", "locked", "--level", "site"});
       host.run_for(1000);
     },
     {{"Count: 20 -> 10, from 3 -> 0, locked -1 -> 1 [value lock source]",
       "Note: none -> none, from 0 -> 0, locked -1 -> 1 [lock]"}}},
    {"AFileThatDoesNotParseKeepsTheValues",
     [](WatchingHost& host, const Installation& installation) {
       const std::string content = count_of(30);
       host.replace(user_file(installation), content.substr(0, content.size() - 20));
       host.run_for(2500);
       EXPECT_EQ(VERU_ask_int("Count"), 20);
     },
     {{"level 3: loaded -> ROOT/user/startup/kvrn1_user.dpv:3:27: Error parsing element "
       "attribute [level-state]"}}},
    {"AFileThatGoes",
     [](WatchingHost& host, const Installation& installation) {
       host.remove(user_file(installation));
       host.run_for(1000);
     },
     {{"Count: 20 -> 10, from 3 -> 0, locked -1 -> -1 [value source]",
       "level 3: loaded -> no file [level-state]"}}},
    {"EventsLost",
     [](WatchingHost& host, const Installation& installation) {
       host.lose_events(user_file(installation), count_of(70));
       host.run_for(1000);
     },
     {{COUNT_20 + "70" + BY_USER}}},
    {"ADefinitionFileTouched",
     [](WatchingHost& host, const Installation& installation) {
       host.touch(installation.kvrn_dir() + "/kv_gateway.dpx");
       host.run_for(1000);
     },
     {}},
    {"ADefinitionFileChanged",
     [](WatchingHost& host, const Installation& installation) {
       host.replace(installation.kvrn_dir() + "/kv_modeling.dpx",
                    definitions(R"(<Application name="More" csh="more"><Category name="C">
                                   <Tab name="T"><Pref name="Extra" type="int" value="1"/></Tab>
                                   </Category></Application>)"));
       host.run_for(1000);
       EXPECT_FALSE(VERU_is_known_default("Extra"));  // read only by a restart
     },
     {{"definitions: ROOT/base/kvrn/kv_modeling.dpx [definitions]"}}},
};

void PrintTo(const scenario_s& scenario, std::ostream* out) {
  *out << scenario.name;
}

class WatchScenario : public testing::TestWithParam<std::tuple<scenario_s, WatchMode>> {};

}  // namespace

TEST_P(WatchScenario, DeliversTheBatchesAFreshStartWouldDiffer) {
  const scenario_s& scenario = std::get<0>(GetParam());
  Installation installation;
  installation.define("kv_gateway.dpx", definitions(PREFERENCES));
  installation.write_values(1, values(""));
  installation.write_values(3, count_of(20));
  WatchingHost host(installation, std::get<1>(GetParam()));
  scenario.act(host, installation);
  EXPECT_EQ(host.batches(), scenario.expected);
}

INSTANTIATE_TEST_SUITE_P(Files, WatchScenario,
                         testing::Combine(testing::ValuesIn(SCENARIOS),
                                          testing::Values(WatchMode::injected, WatchMode::kernel,
                                                          WatchMode::polling)),
                         [](const testing::TestParamInfo<WatchScenario::ParamType>& case_info) {
                           return std::string(std::get<0>(case_info.param).name) + "_" +
                                  mode_name(std::get<1>(case_info.param));
                         });

TEST(WatchIdle, NoWakeUpWhileNothingChanges) {
  Installation installation;
  installation.define("kv_gateway.dpx", definitions(PREFERENCES));
  WatchingHost host(installation, WatchMode::kernel);
  ASSERT_GE(VERU_watch_fd(), 0);
  EXPECT_EQ(VERU_watch_timeout_ms(), -1);
  pollfd watched{VERU_watch_fd(), POLLIN, 0};
  EXPECT_EQ(poll(&watched, 1, 2000), 0);
  EXPECT_EQ(VERU_watch_timeout_ms(), -1);
}

class WatchStart : public testing::TestWithParam<WatchMode> {};

TEST_P(WatchStart, AChangeMadeBeforeTheWatchStartsIsRead) {
  Installation installation;
  installation.define("kv_gateway.dpx", definitions(PREFERENCES));
  installation.write_values(3, count_of(20));
  WatchingHost host(installation, GetParam(),
                    [&] { write_file(installation.value_file(3), count_of(80)); });
  host.run_for(1000);
  EXPECT_EQ(host.batches(), (Batches{{COUNT_20 + "80" + BY_USER}}));
}

INSTANTIATE_TEST_SUITE_P(Modes, WatchStart,
                         testing::Values(WatchMode::injected, WatchMode::kernel,
                                         WatchMode::polling),
                         [](const testing::TestParamInfo<WatchMode>& mode) {
                           return std::string(mode_name(mode.param));
                         });
