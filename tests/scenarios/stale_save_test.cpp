// A save never writes over what another writer put in the level's file since this process read
// or wrote it; the editing pattern (lock, reload, edit, save, unlock) always lands.
#include "installation.h"

#include <sys/file.h>

#include <fcntl.h>
#include <unistd.h>
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
  // The same in an edit session, after the writer changed the file again.
  change.make(path);
  ASSERT_EQ(VERU_begin_level_edit(3, false, nullptr), 0);
  static_cast<VERU_pref_int*>(pref("Count"))->set_int(7, 3);
  EXPECT_EQ(VERU_end_level_edit(3, true, nullptr, nullptr), 0);
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

namespace {

// Whether another holder could take the level's lock now.
bool lock_is_free(const std::string& value_file) {
  const int fd = open((value_file + ".lock").c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return true;
  const bool free = flock(fd, LOCK_EX | LOCK_NB) == 0;
  close(fd);
  return free;
}

}  // namespace

namespace {

// The user level's file at start-up.
const std::string GOOD = values(entry("Count", "1"));
const std::string BROKEN = GOOD.substr(0, 60);

struct Session {
  const char* name;
  const std::string* file;
  bool replace_broken, save;
  int begun, ended;
  const char* count_after;  // Count's user value then, as the level holds it
};

const Session SESSIONS[] = {
    {"Saved", &GOOD, false, true, 0, 0, "7"},
    {"Dropped", &GOOD, false, false, 0, 0, "1"},
    {"BrokenFile", &BROKEN, false, true, VERU_ERROR_LEVEL_FILE_BROKEN, -1, nullptr},
    {"BrokenFileReplaced", &BROKEN, true, true, 0, 0, "7"},
};

void PrintTo(const Session& session, std::ostream* out) {
  *out << session.name;
}

class EditSession : public testing::TestWithParam<Session> {};

}  // namespace

// A session saves its edits or drops them and never leaves the lock held; a broken file refuses
// it unless it is to be replaced.
TEST_P(EditSession, SavesOrDropsItsEditsAndGivesTheLockBack) {
  const Session& c = GetParam();
  Installation installation;
  installation.define("kv_gateway.dpx",
                      definitions("<Application name=\"A\"><Pref name=\"Count\" type=\"int\" "
                                  "value=\"0\"/></Application>"));
  installation.write_values(3, *c.file);
  installation.start();
  const std::string path = installation.value_file(3);
  char* reason = nullptr;
  ASSERT_EQ(VERU_begin_level_edit(3, c.replace_broken, &reason), c.begun);
  if (c.begun != 0) {
    EXPECT_NE(taken(reason).find(path), std::string::npos);
    EXPECT_TRUE(lock_is_free(path));
    EXPECT_EQ(read_file(path), *c.file);
    return;
  }
  EXPECT_FALSE(lock_is_free(path));
  EXPECT_EQ(VERU_edit_value("Count", 3, "7", nullptr), 0);
  char* kept_as = nullptr;
  EXPECT_EQ(VERU_end_level_edit(3, c.save, &kept_as, &reason), c.ended) << taken(reason);
  EXPECT_TRUE(lock_is_free(path));
  EXPECT_EQ(value_at(pref("Count"), 3), c.count_after);
  EXPECT_EQ(taken(kept_as) == "(null)", !c.replace_broken);
  EXPECT_EQ(read_file(path).find("value=\"7\"") != std::string::npos, c.save);
  EXPECT_EQ(VERU_end_level_edit(3, true, nullptr, nullptr), VERU_ERROR_LEVEL_NOT_CHANGEABLE);
}

INSTANTIATE_TEST_SUITE_P(OfTheUserLevel, EditSession, testing::ValuesIn(SESSIONS),
                         [](const testing::TestParamInfo<Session>& param_info) {
                           return std::string(param_info.param.name);
                         });
