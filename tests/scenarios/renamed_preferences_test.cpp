// Preferences whose definition names their former names: entries under an old name are read as
// the new one and saved under it; an entry under the new name wins over one under an old name.
#include "installation.h"

namespace {

const char* const PREFERENCES = R"(
<Application name="Modeling" csh="mod">
  <Category name="Parts">
    <Tab name="Sketch">
      <Pref name="Renamed" type="int" value="10" title="Renamed" formerly="Old_Name"/>
      <Pref name="Both" type="int" value="10" title="Both" formerly="Both_Old"/>
      <Pref name="Twice" type="int" value="10" title="Twice" formerly="Twice_Middle; Twice_First"/>
      <Pref name="Kept" type="int" value="10" title="Kept"/>
    </Tab>
  </Category>
</Application>
)";

}  // namespace

TEST(RenamedPreferences, OldNamesAreReadAsTheNewOnesAndSavedUnderThem) {
  Installation installation;
  installation.define("kv_gateway.dpx", definitions(PREFERENCES));
  installation.write_values(
      3, values(entry("Old_Name", "1") + entry("Both", "2") + entry("Both_Old", "3") +
                entry("Twice_First", "4") + entry("Kept", "5")));
  installation.start();

  const struct {
    const char* name;
    const char* value;
  } read[] = {{"Renamed", "1"}, {"Both", "2"}, {"Twice", "4"}, {"Kept", "5"}};
  for (const auto& expected : read) {
    EXPECT_EQ(value_at(pref(expected.name), 3), expected.value) << expected.name;
  }
  EXPECT_EQ(VERU_lookup_renamed_pref("Twice_Middle"), pref("Twice"));
  EXPECT_EQ(VERU_lookup_renamed_pref("Kept"), nullptr);
  char** carried = nullptr;
  EXPECT_EQ(taken(carried, VERU_ask_level_carried_entries(3, &carried)),
            std::vector<std::string>{"Both_Old"});

  ASSERT_EQ(VERU_save_level(3, nullptr), 0);
  const std::string saved = read_file(installation.value_file(3));
  for (const char* name : {"Renamed", "Both", "Twice", "Kept", "Both_Old"}) {
    EXPECT_NE(saved.find(std::string("name=\"") + name + "\""), std::string::npos) << name;
  }
  for (const char* name : {"Old_Name", "Twice_First"}) {
    EXPECT_EQ(saved.find(std::string("name=\"") + name + "\""), std::string::npos) << name;
  }
  // Read again, the carried old entry still loses to the new one.
  VERU_set_level_up_to_date(3, false);
  VERU_reload_values_xml();
  EXPECT_EQ(value_at(pref("Both"), 3), "2");
  EXPECT_EQ(value_at(pref("Renamed"), 3), "1");
}
