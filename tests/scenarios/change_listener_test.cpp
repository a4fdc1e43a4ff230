// Listeners are told what each checked edit changed, once per edit and only what differs, and
// a listener that edits or removes listeners gets its batches in order, never by recursion.
#include "change_records.h"
#include "installation.h"

namespace {

const char* const PREFERENCES = R"(
<Application name="App" csh="app">
  <Category name="Cat">
    <Tab name="Tab">
      <Pref name="Count" type="int" value="10">
        <Data type="range"><LowerBound value="1" include="1"/><UpperBound value="120" include="1"/></Data>
      </Pref>
      <Pref name="Held" type="int" value="1"/>
      <Pref name="Note" type="string" value="none"/>
      <Pref name="Paths" type="string_list" value="one"/>
    </Tab>
  </Category>
</Application>
)";

void start(const Installation& installation) {
  installation.define("kv_gateway.dpx", definitions(PREFERENCES));
  installation.write_values(
      1, values("<Pref name=\"Held\" value=\"2\"><UserComment>site says</UserComment></Pref>"));
  installation.write_values(3, values(entry("Count", "20")));
  installation.start();
}

using Batches = std::vector<std::vector<std::string>>;

struct edit_case_s {
  const char* what;
  std::function<int()> edit;
  Batches expected;
  int code = 0;
};

int edit_value(const char* name, int level, const char* text) {
  return VERU_edit_value(name, level, text, nullptr);
}

}  // namespace

TEST(ChangeListeners, EachEditTellsWhatItChangedInOneBatch) {
  Installation installation;
  start(installation);
  BatchRecorder recorder;
  const edit_case_s cases[] = {
      {"a new user value",
       [] { return edit_value("Count", 3, "30"); },
       {{"Count: 20 -> 30, from 3 -> 3, locked -1 -> -1 [value]"}}},
      {"the same value again", [] { return edit_value("Count", 3, "30"); }, {}},
      {"a value that a higher level overrides", [] { return edit_value("Count", 2, "40"); }, {}},
      {"a site lock hiding the user's value",
       [] { return VERU_edit_lock("Count", 1, true, nullptr); },
       {{"Count: 30 -> 10, from 3 -> 1, locked -1 -> 1 [value lock source]"}}},
      {"a comment on the value that decides",
       [] { return VERU_edit_comment("Count", 1, "why", nullptr); },
       {{"Count: 10 -> 10, from 1 -> 1, locked 1 -> 1 [comment]"}}},
      {"the site lock lifted",
       [] { return VERU_edit_lock("Count", 1, false, nullptr); },
       {{"Count: 10 -> 30, from 1 -> 3, locked 1 -> -1 [value lock source comment]"}}},
      {"a reset that lets the group decide",
       [] { return VERU_edit_reset("Count", 3, nullptr); },
       {{"Count: 30 -> 40, from 3 -> 2, locked -1 -> -1 [value source]"}}},
      {"a string list, told as its items",
       [] { return edit_value("Paths", 3, "\"a\"\\\"b\""); },
       {{"Paths: one -> a b, from 0 -> 3, locked -1 -> -1 [value source]"}}},
      {"a refused edit",
       [] { return edit_value("Count", 3, "500"); },
       {},
       VERU_ERROR_RANGE_NOT_IN_CLOSED},
      {"the site locking every preference by default",
       [] { return VERU_edit_level_lock(1, true, nullptr); },
       {{"Count: 40 -> 10, from 2 -> 1, locked -1 -> 1 [value lock source comment]",
         "Held: 2 -> 2, from 1 -> 1, locked -1 -> 1 [lock]",
         "Note: none -> none, from 0 -> 0, locked -1 -> 1 [lock]",
         "Paths: a b -> one, from 3 -> 0, locked -1 -> 1 [value lock source]"}}},
  };
  for (const edit_case_s& edit_case : cases) {
    SCOPED_TRACE(edit_case.what);
    recorder.clear();
    EXPECT_EQ(edit_case.edit(), edit_case.code);
    EXPECT_EQ(recorder.batches(), edit_case.expected);
  }
}

TEST(ChangeListeners, ListenersChooseNamesAndKinds) {
  Installation installation;
  start(installation);
  BatchRecorder by_prefix("Co");
  BatchRecorder locks_only(nullptr, VERU_CHANGE_LOCK);
  ASSERT_EQ(edit_value("Note", 3, "new"), 0);
  ASSERT_EQ(VERU_edit_lock("Count", 1, true, nullptr), 0);
  EXPECT_EQ(by_prefix.batches(),
            (Batches{{"Count: 20 -> 10, from 3 -> 1, locked -1 -> 1 [value lock source]"}}));
  EXPECT_EQ(locks_only.batches(), by_prefix.batches());
  EXPECT_EQ(VERU_add_change_listener("Count", 0, nullptr, nullptr), 0);
}

namespace {

// A listener that edits and removes listeners from inside its callback.
struct meddler_s {
  int calls = 0;
  int removed = 0;
  std::vector<std::string> seen;
};

void meddle(const VERU_change_s* changes, int count, void* data) {
  auto* meddler = static_cast<meddler_s*>(data);
  for (int i = 0; i < count; ++i) meddler->seen.push_back(describe_change(changes[i]));
  if (++meddler->calls == 1) {
    VERU_remove_change_listener(meddler->removed);
    EXPECT_EQ(edit_value("Note", 3, "from a listener"), 0);
  }
}

}  // namespace

TEST(ChangeListeners, ChangesMadeByAListenerComeAsTheNextBatch) {
  Installation installation;
  start(installation);
  meddler_s meddler;
  const int meddler_id = VERU_add_change_listener(nullptr, 0, meddle, &meddler);
  BatchRecorder after;
  meddler.removed = VERU_add_change_listener(nullptr, 0, meddle, &meddler);
  ASSERT_EQ(edit_value("Count", 3, "30"), 0);
  // The first batch reached every listener still there before the listener's own edit.
  EXPECT_EQ(meddler.seen,
            (std::vector<std::string>{"Count: 20 -> 30, from 3 -> 3, locked -1 -> -1 [value]",
                                      "Note: none -> from a listener, from 0 -> 3, locked -1 -> -1 "
                                      "[value source]"}));
  EXPECT_EQ(
      after.batches(),
      (Batches{{"Count: 20 -> 30, from 3 -> 3, locked -1 -> -1 [value]"},
               {"Note: none -> from a listener, from 0 -> 3, locked -1 -> -1 [value source]"}}));
  VERU_remove_change_listener(meddler_id);
  ASSERT_EQ(edit_value("Count", 3, "31"), 0);
  EXPECT_EQ(meddler.calls, 2);
}
