// A save never writes over what another writer put in the level's file since this process read
// or wrote it; the editing pattern (lock, reload, edit, save, unlock) always lands.
#include "installation.h"

#include <cstdio>
#include <functional>

namespace {

const std::string OTHERS = values(entry("Other", "5"));

// What another writer did to the user level's file after start-up read it.
struct Change {
  const char* name;
  bool file_at_start;
  std::function<void(const std::string& path)> make;
};

const Change CHANGES[] = {
    {"RewroteIt", true, [](const std::string& path) { write_file(path, OTHERS); }},
    {"PutACopyInItsPlace", true,
     [](const std::string& path) {
       write_file(path + ".new", read_file(path));
       std::rename((path + ".new").c_str(), path.c_str());
     }},
    {"RemovedIt", true, [](const std::string& path) { std::remove(path.c_str()); }},
    {"MadeOneWhereThereWasNone", false, [](const std::string& path) { write_file(path, OTHERS); }},
};

void PrintTo(const Change& change, std::ostream* out) {
  *out << change.name;
}

int save(std::string* reason) {
  static_cast<VERU_pref_int*>(pref("Count"))->set_int(7, 3);
  char* text = nullptr;
  const int code = VERU_save_level(3, &text);
  *reason = taken(text);
  return code;
}

class StaleSave : public testing::TestWithParam<Change> {};

}  // namespace

TEST_P(StaleSave, IsRefusedUntilTheLevelIsReadAgainUnderItsLock) {
  const Change& change = GetParam();
  Installation installation;
  const std::string path = installation.value_file(3);
  if (change.file_at_start) installation.write_values(3, values(entry("Count", "1")));
  installation.define("kv_gateway.dpx",
                      definitions("<Application name=\"A\"><Pref name=\"Count\" type=\"int\" "
                                  "value=\"0\"/><Pref name=\"Other\" type=\"int\" value=\"0\"/>"
                                  "</Application>"));
  installation.start();
  change.make(path);
  const std::string left = file_exists(path) ? read_file(path) : "(none)";
  std::string reason;
  EXPECT_EQ(save(&reason), VERU_ERROR_LEVEL_CHANGED_ON_DISK);
  EXPECT_EQ(reason, path + ": changed on disk since it was read; reload first");
  LogCapture log;
  VERU__save_values_xml(3);
  EXPECT_EQ(log.text(),
            "Unable to save preferences values at the level 3 -- error 3550048: " + reason + "\n");
  EXPECT_EQ(file_exists(path) ? read_file(path) : "(none)", left);

  ASSERT_EQ(VERU_lock_level(3, nullptr), 0);
  VERU_set_level_up_to_date(3, false);
  VERU_reload_values_xml();
  EXPECT_EQ(save(&reason), 0) << reason;
  VERU_unlock_level(3);
  // What this process wrote itself is no change of another writer's.
  EXPECT_EQ(save(&reason), 0) << reason;
  const std::string saved = read_file(path);
  EXPECT_NE(saved.find("name=\"Count\" value=\"7\""), std::string::npos) << saved;
  EXPECT_EQ(saved.find("name=\"Other\" value=\"5\"") != std::string::npos, left == OTHERS) << saved;
}

INSTANTIATE_TEST_SUITE_P(ByAnotherWriter, StaleSave, testing::ValuesIn(CHANGES),
                         [](const testing::TestParamInfo<Change>& param_info) {
                           return std::string(param_info.param.name);
                         });
