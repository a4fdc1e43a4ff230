// Saving never loses a setting: a level whose file failed to load is not saved over, entries the
// load ignored are written back, read-only files stay, interrupted saves are cleaned up, a
// replaced file keeps its mode and owner, and log lines about a file's entries are bounded.
#include "installation.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace {

const char* const PREFERENCES = R"(
<Application name="App" csh="app">
  <Category name="Cat">
    <Tab name="Tab">
      <Pref name="Count" type="int" value="10">
        <Data type="range"><LowerBound value="0" include="1"/><UpperBound value="100" include="1"/></Data>
      </Pref>
      <Pref name="Note" type="string" value="none"/>
      <Pref name="Held" type="int" value="1"/>
      <Pref name="Standard" type="string" value="ISO">
        <Data type="enum"><EnumElem name="ISO" value="ISO"/><EnumElem name="JIS" value="JIS"/></Data>
      </Pref>
    </Tab>
  </Category>
</Application>
)";

void start(const Installation& installation) {
  installation.define("kv_gateway.dpx", definitions(PREFERENCES));
  installation.start();
}

void set_int(const char* name, int value, int level) {
  static_cast<VERU_pref_int*>(pref(name))->set_int(value, level);
}

// The reload that an editor does: the level is read again from its file.
void reload(int level) {
  VERU_set_level_up_to_date(level, false);
  VERU_reload_values_xml();
}

std::string load_reason(int level, int* state = nullptr) {
  char* reason = nullptr;
  const int found = VERU_ask_level_load_state(level, &reason);
  if (state) *state = found;
  return taken(reason);
}

int save(int level, std::string* reason = nullptr) {
  char* text = nullptr;
  const int result = VERU_save_level(level, &text);
  const std::string copy = taken(text);
  if (reason) *reason = copy;
  return result;
}

bool readable(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd >= 0) close(fd);
  return fd >= 0;
}

struct stat status_of(const std::string& path) {
  struct stat status {};
  stat(path.c_str(), &status);
  return status;
}

// ---- a file that fails to load ------------------------------------------------------------

const std::string GOOD_FILE = values(entry("Count", "30") + entry("Note", "kept"), "locked");

struct Damage {
  const char* name;
  std::string content;  // what the file holds
  mode_t mode;          // and its permission bits
  const char* cause;    // what the load's reason says; null for the parser's position
};

const Damage DAMAGES[] = {
    {"UnclosedQuote",
     values(entry("Count", "30") + "<Pref name=\"Note\" value=\"kept/>\n" + entry("Held", "2")),
     0644, nullptr},
    {"Truncated", GOOD_FILE.substr(0, GOOD_FILE.size() - 40), 0644, nullptr},
    // Writeable, so only the failed load refuses.
    {"Unreadable", GOOD_FILE, 0200, ": Permission denied"},
    // Well-formed, but another document: a definition file given for a value file.
    {"DefinitionFile", definitions(PREFERENCES), 0644,
     ": the root element is Preferences, not PrefValues"},
    {"OtherDocument", "<html><PrefValues/></html>", 0644,
     ": the root element is html, not PrefValues"},
};

void PrintTo(const Damage& how, std::ostream* out) {
  *out << how.name;
}

void damage(const Installation& installation, int level, const Damage& how) {
  installation.write_values(level, how.content);
  chmod(installation.value_file(level).c_str(), how.mode);
}

class FailedLoad : public testing::TestWithParam<std::tuple<Damage, int>> {};

}  // namespace

TEST_P(FailedLoad, TheFileIsNeverSavedOverUntilMendedOrMovedAside) {
  const auto& [how, level] = GetParam();
  Installation installation;
  const std::string path = installation.value_file(level);
  damage(installation, level, how);
  {
    WithoutFileOverrides unreadable_for_root;
    if (how.mode == 0200 && readable(path)) GTEST_SKIP() << "files cannot be made unreadable here";
    start(installation);
  }
  int state = 0;
  const std::string loaded = load_reason(level, &state);
  EXPECT_EQ(state, VERU_LOAD_FAILED);
  EXPECT_EQ(loaded.rfind(path + ":", 0), 0u) << loaded;
  if (how.cause) {
    EXPECT_EQ(loaded, path + how.cause);
  } else {
    EXPECT_TRUE(has_position_after(loaded, path + ":")) << loaded;
  }

  // A save, the library's or the logged one, leaves the file as it was.
  set_int("Count", 7, level);
  std::string refused;
  EXPECT_EQ(save(level, &refused), VERU_ERROR_LEVEL_FILE_BROKEN);
  EXPECT_EQ(refused.rfind(path + ": ", 0), 0u) << refused;
  EXPECT_TRUE(contains(refused, "failed to load")) << refused;
  EXPECT_TRUE(contains(refused, loaded)) << refused;
  LogCapture log;
  VERU__save_values_xml(level);
  EXPECT_EQ(log.text(), "Unable to save preferences values at the level " + std::to_string(level) +
                            " -- error 3550050: " + refused + "\n");
  EXPECT_EQ(read_file(path), how.content);
  EXPECT_EQ(status_of(path).st_mode & 07777, how.mode);
  EXPECT_EQ(directory_entries(installation.level_dir(level) + "/startup"),
            (std::set<std::string>{std::filesystem::path(path).filename().string(),
                                   std::filesystem::path(path).filename().string() + ".lock"}));

  // Mended and read again, the level saves.
  installation.write_values(level, GOOD_FILE);
  chmod(path.c_str(), 0644);
  reload(level);
  EXPECT_EQ(load_reason(level, &state), "(null)");
  EXPECT_EQ(state, VERU_LOAD_LOADED);
  EXPECT_EQ(value_at(pref("Count"), level), "30");
  set_int("Count", 8, level);
  EXPECT_EQ(save(level), 0);
  EXPECT_TRUE(contains(read_file(path), "name=\"Count\" value=\"8\"")) << read_file(path);

  // Broken again, the file can be moved aside: it is kept whole under a new name and the next
  // save starts a new file.
  damage(installation, level, how);
  {
    WithoutFileOverrides unreadable_for_root;
    reload(level);
  }
  EXPECT_EQ(VERU_ask_level_load_state(level, nullptr), VERU_LOAD_FAILED);
  EXPECT_EQ(save(level), VERU_ERROR_LEVEL_FILE_BROKEN);
  char* moved = nullptr;
  char* reason = nullptr;
  ASSERT_EQ(VERU_set_aside_level_file(level, &moved, &reason), 0) << taken(reason);
  EXPECT_EQ(reason, nullptr);
  const std::string moved_to = taken(moved);
  EXPECT_EQ(moved_to.rfind(path + ".broken-", 0), 0u) << moved_to;
  EXPECT_FALSE(file_exists(path));
  chmod(moved_to.c_str(), 0644);
  EXPECT_EQ(read_file(moved_to), how.content);
  set_int("Count", 9, level);
  EXPECT_EQ(save(level), 0);
  reload(level);
  EXPECT_EQ(VERU_ask_level_load_state(level, nullptr), VERU_LOAD_LOADED);
  EXPECT_EQ(value_at(pref("Count"), level), "9");
  EXPECT_EQ(read_file(moved_to), how.content);

  // Or saved over with its content kept under a new name first: the level never lacks a file.
  damage(installation, level, how);
  {
    WithoutFileOverrides unreadable_for_root;
    reload(level);
  }
  set_int("Count", 10, level);
  char* kept = nullptr;
  ASSERT_EQ(VERU_save_level_over_broken(level, &kept, &reason), 0) << taken(reason);
  const std::string kept_as = taken(kept);
  EXPECT_EQ(kept_as.rfind(path + ".broken-", 0), 0u) << kept_as;
  EXPECT_NE(kept_as, moved_to);
  chmod(kept_as.c_str(), 0644);
  EXPECT_EQ(read_file(kept_as), how.content);
  EXPECT_TRUE(contains(read_file(path), "name=\"Count\" value=\"10\"")) << read_file(path);
  EXPECT_EQ(VERU_ask_level_load_state(level, nullptr), VERU_LOAD_LOADED);
}

INSTANTIATE_TEST_SUITE_P(NeverLose, FailedLoad,
                         testing::Combine(testing::ValuesIn(DAMAGES), testing::Values(1, 2, 3)),
                         [](const testing::TestParamInfo<std::tuple<Damage, int>>& param_info) {
                           return std::string(std::get<0>(param_info.param).name) + "AtLevel" +
                                  std::to_string(std::get<1>(param_info.param));
                         });

TEST(NeverLose, EachFileMovedAsideKeepsANameOfItsOwn) {
  Installation installation;
  const std::string path = installation.value_file(2);
  start(installation);
  char* moved = nullptr;
  char* reason = nullptr;
  EXPECT_EQ(VERU_set_aside_level_file(2, &moved, &reason), VERU_ERROR_VALUE_FILE_SAVE);
  EXPECT_EQ(moved, nullptr);
  EXPECT_EQ(taken(reason), path + ": there is no file to move aside");
  // Two in the same second get different names; neither is overwritten.
  std::set<std::string> names;
  for (const char* content : {"<first", "<second"}) {
    installation.write_values(2, content);
    reload(2);
    ASSERT_EQ(VERU_set_aside_level_file(2, &moved, nullptr), 0);
    const std::string moved_to = taken(moved);
    names.insert(moved_to);
    EXPECT_EQ(read_file(moved_to), content);
  }
  EXPECT_EQ(names.size(), 2u);
  for (const std::string& name : names) EXPECT_EQ(name.rfind(path + ".broken-", 0), 0u) << name;
}

// ---- entries the load ignored -------------------------------------------------------------

namespace {

// As the save writes them, so that a carried entry can be found in the saved file verbatim.
const std::string NEWER =
    "<Pref Application=\"Future\" name=\"From_Newer_Release\" value=\"x y\" extra=\"1\" "
    "locked=\"yes\"><UserComment>keep me</UserComment><Other a=\"b\"/></Pref>";
const std::string HELD = "<Pref name=\"Held\" value=\"5\" modified=\"2020-01-02T03:04:05Z\"/>";
const std::string NAMELESS = "<Pref value=\"orphan\"/>";
const std::string TOO_BIG =
    "<Pref name=\"Count\" value=\"500\"><UserComment>too big</UserComment></Pref>";

std::vector<std::string> carried(int level) {
  char** names = nullptr;
  const int count = VERU_ask_level_carried_entries(level, &names);
  return taken(names, count);
}

}  // namespace

TEST(NeverLose, EntriesTheLoadIgnoredAreWrittenBackUntilTheLevelHasItsOwnValue) {
  Installation installation;
  installation.write_values(1, values(entry("Held", "1", "locked=\"yes\"")));
  installation.write_values(3, values(entry("Note", "mine") + NEWER + "\n" + HELD + "\n" + TOO_BIG +
                                      "\n" + NAMELESS + "\n"));
  LogCapture log;
  start(installation);
  EXPECT_EQ(carried(3), (std::vector<std::string>{"From_Newer_Release", "Held", "Count", ""}));
  EXPECT_EQ(VERU_ask_level_carried_entries(1, nullptr), 0);
  EXPECT_TRUE(VERU_is_level_up_to_date(3));
  EXPECT_TRUE(
      log.contains("\tDefault From_Newer_Release is not found in the database. Value ignored\n"));
  EXPECT_TRUE(log.contains("\tDefault Held is locked. Value ignored\n"));
  EXPECT_TRUE(log.contains("\tDefault Count value is not valid. Value ignored\n"));
  // Why each was ignored, and where it stood among the file's entries.
  const std::vector<std::vector<std::string>> whys = {
      {"3550001", "2", "no preference has this name"},
      {"3550045", "3", "locked at level 1 (site)"},
      {"3550013", "4", "500 is outside [>=0 <=100]"},
      {"3550001", "5", "no preference has this name"}};
  for (int index = 0; index < 4; ++index) {
    int position = 0;
    char* reason = nullptr;
    const int code = VERU_ask_level_carried_entry(3, index, &position, &reason);
    EXPECT_EQ(
        (std::vector<std::string>{std::to_string(code), std::to_string(position), taken(reason)}),
        whys[index]);
  }
  int position = -1;
  char* reason = nullptr;
  EXPECT_EQ(VERU_ask_level_carried_entry(3, 4, &position, &reason), 0);
  EXPECT_EQ(position, 0);
  EXPECT_EQ(reason, nullptr);

  // After the level's own entries, in file order, whole.
  const std::string path = installation.value_file(3);
  ASSERT_EQ(save(3), 0);
  std::string saved = read_file(path);
  const std::size_t own = saved.find("name=\"Note\" value=\"mine\"");
  const std::size_t newer = saved.find(NEWER);
  const std::size_t held = saved.find(HELD);
  const std::size_t too_big = saved.find(TOO_BIG);
  const std::size_t nameless = saved.find(NAMELESS);
  EXPECT_NE(own, std::string::npos) << saved;
  EXPECT_NE(newer, std::string::npos) << saved;
  EXPECT_NE(held, std::string::npos) << saved;
  EXPECT_NE(too_big, std::string::npos) << saved;
  EXPECT_LT(own, newer);
  EXPECT_LT(newer, held);
  EXPECT_LT(held, too_big);
  EXPECT_LT(too_big, nameless);

  // A second save, and a reload that replaces what was kept, write each once.
  EXPECT_EQ(save(3), 0);
  reload(3);
  EXPECT_EQ(carried(3), (std::vector<std::string>{"From_Newer_Release", "Held", "Count", ""}));
  EXPECT_EQ(save(3), 0);
  saved = read_file(path);
  EXPECT_EQ(occurrences(saved, NEWER), 1) << saved;
  EXPECT_EQ(occurrences(saved, HELD), 1) << saved;
  EXPECT_EQ(occurrences(saved, TOO_BIG), 1) << saved;
  EXPECT_EQ(occurrences(saved, NAMELESS), 1) << saved;
  EXPECT_EQ(occurrences(saved, "<Pref "), 5) << saved;

  // A value of the level's own replaces the carried entry of its preference.
  set_int("Count", 50, 3);
  EXPECT_EQ(save(3), 0);
  saved = read_file(path);
  EXPECT_EQ(occurrences(saved, "name=\"Count\""), 1) << saved;
  EXPECT_TRUE(contains(saved, "name=\"Count\" value=\"50\"")) << saved;
  EXPECT_FALSE(contains(saved, "too big")) << saved;
  EXPECT_EQ(carried(3), (std::vector<std::string>{"From_Newer_Release", "Held", ""}));
  set_int("Held", 6, 3);
  EXPECT_EQ(save(3), 0);
  saved = read_file(path);
  EXPECT_EQ(occurrences(saved, "name=\"Held\""), 1) << saved;
  EXPECT_TRUE(contains(saved, "name=\"Held\" value=\"6\"")) << saved;
  EXPECT_EQ(carried(3), (std::vector<std::string>{"From_Newer_Release", ""}));
  EXPECT_NE(saved.find(NEWER), std::string::npos) << saved;

  // Read again, the new entry that the site still locks is carried in its turn.
  reload(3);
  EXPECT_EQ(carried(3), (std::vector<std::string>{"Held", "From_Newer_Release", ""}));
  EXPECT_EQ(value_at(pref("Count"), 3), "50");
  EXPECT_EQ(save(3), 0);
  saved = read_file(path);
  EXPECT_EQ(occurrences(saved, "<Pref "), 5) << saved;
  EXPECT_EQ(occurrences(saved, NEWER), 1) << saved;
}

// ---- permissions, owners and what interrupted saves leave -----------------------------------

TEST(NeverLose, AReadOnlyFileIsNotReplacedEvenByRoot) {
  Installation installation;
  const std::string path = installation.value_file(3);
  const std::string old = values(entry("Count", "30"));
  installation.write_values(3, old);
  chmod(path.c_str(), 0444);
  start(installation);
  EXPECT_FALSE(VERU_is_level_writeable(3));
  set_int("Count", 31, 3);
  std::string reason;
  EXPECT_EQ(save(3, &reason), VERU_ERROR_LEVEL_NOT_WRITEABLE);
  EXPECT_EQ(reason, path + ": not writeable");
  EXPECT_EQ(read_file(path), old);
  EXPECT_EQ(status_of(path).st_mode & 07777, 0444u);
  // Made writeable again, it saves.
  chmod(path.c_str(), 0644);
  EXPECT_TRUE(VERU_is_level_writeable(3));
  EXPECT_EQ(save(3), 0);
  EXPECT_TRUE(contains(read_file(path), "value=\"31\""));
}

TEST(NeverLose, TheNextSaveRemovesOnlyWhatInterruptedSavesOfTheFileLeft) {
  Installation installation;
  const std::string startup = installation.level_dir(3) + "/startup";
  const std::set<std::string> kept = {
      ".kvrn1_user.dpv.toolong1",  // seven characters after the name
      ".kvrn1_user.dpv.AbC12",     // five
      ".kvrn1_user.dpv.Ab-123",    // not letters and digits
      ".kvrn1_group.dpv.AbC123",   // another file's
      "kvrn1_user.dpv.AbC123",     // not hidden
  };
  for (const std::string& name : kept) write_file(startup + "/" + name, "other");
  for (const char* name : {".kvrn1_user.dpv.AbC123", ".kvrn1_user.dpv.zzzzzz"}) {
    write_file(startup + "/" + name, "<PrefValues><Pref name=\"Count\" val");
  }
  make_directories(startup + "/.kvrn1_user.dpv.Dir123");
  start(installation);
  set_int("Count", 5, 3);
  ASSERT_EQ(save(3), 0);
  std::set<std::string> expected = kept;
  expected.insert({"kvrn1_user.dpv", "kvrn1_user.dpv.lock", ".kvrn1_user.dpv.Dir123"});
  EXPECT_EQ(directory_entries(startup), expected);
  for (const std::string& name : kept) EXPECT_EQ(read_file(startup + "/" + name), "other");
}

TEST(NeverLose, AReplacedFileKeepsItsModeAndOwner) {
  Installation installation;
  const std::string path = installation.value_file(3);
  installation.write_values(3, values(entry("Count", "30")));
  chmod(path.c_str(), 0640);
  const bool root = geteuid() == 0;
  if (root) {
    ASSERT_EQ(chown(path.c_str(), 12345, 12346), 0);
  }
  // A second name of the file keeps the old contents: the save makes a new file.
  ASSERT_EQ(link(path.c_str(), installation.path("second_name").c_str()), 0);
  start(installation);
  set_int("Count", 31, 3);
  ASSERT_EQ(save(3), 0);
  const struct stat status = status_of(path);
  EXPECT_EQ(status.st_mode & 07777, 0640u);
  if (root) {
    EXPECT_EQ(status.st_uid, 12345u);
    EXPECT_EQ(status.st_gid, 12346u);
  } else {
    EXPECT_EQ(status.st_uid, geteuid());
  }
  EXPECT_EQ(status.st_nlink, 1u);
  EXPECT_TRUE(contains(read_file(path), "value=\"31\""));
  EXPECT_EQ(read_file(installation.path("second_name")), values(entry("Count", "30")));
}

// ---- bounded log lines --------------------------------------------------------------------

TEST(NeverLose, LogLinesAboutAFilesEntriesAreBounded) {
  Installation installation;
  const std::string long_name = "L" + std::string(4999, 'n');
  std::string entries = entry(long_name, "1");
  for (int i = 1; i < 1200; ++i) entries += entry("Unknown" + std::to_string(i), "1");
  entries += entry("Count", "40");
  installation.write_values(3, values(entries));
  LogCapture log;
  start(installation);
  EXPECT_TRUE(log.contains("\tDefault L" + std::string(199, 'n') +
                           "... is not found in the database. Value ignored\n"))
      << log.text().substr(0, 400);
  EXPECT_FALSE(log.contains(std::string(200, 'n')));
  EXPECT_EQ(occurrences(log.text(), "is not found in the database. Value ignored\n"), 1000);
  EXPECT_TRUE(log.contains("\tDefault Unknown999 is not found"));
  EXPECT_FALSE(log.contains("\tDefault Unknown1000 is not found"));
  EXPECT_EQ(
      occurrences(log.text(), "\t200 more entries of " + installation.value_file(3) + " ignored\n"),
      1);
  // Every entry is still kept, and the last one read.
  EXPECT_EQ(VERU_ask_level_carried_entries(3, nullptr), 1200);
  EXPECT_EQ(value_at(pref("Count"), 3), "40");
}

TEST(NeverLose, RefusalReasonsQuoteAtMost200BytesOfANameOrValue) {
  Installation installation;
  const std::string long_text = "V" + std::string(4999, 'v');
  const std::string quoted = "V" + std::string(199, 'v') + "...";
  installation.write_values(3, values(entry("Standard", long_text)));
  start(installation);
  char* carried = nullptr;
  char* edited = nullptr;
  char* unknown = nullptr;
  EXPECT_EQ(VERU_ask_level_carried_entry(3, 0, nullptr, &carried), VERU_ERROR_NOT_IN_ENUM);
  EXPECT_EQ(VERU_edit_value("Standard", 3, long_text.c_str(), &edited), VERU_ERROR_NOT_IN_ENUM);
  EXPECT_EQ(VERU_edit_value(long_text.c_str(), 3, "1", &unknown), VERU_ERROR_UNKNOWN_PREF);
  const std::pair<std::string, std::string> reasons[] = {
      {taken(carried), quoted + " is not allowed: must be one of ISO, JIS"},
      {taken(edited), quoted + " is not allowed: must be one of ISO, JIS"},
      {taken(unknown), "no preference is named " + quoted},
  };
  for (const auto& [reason, expected] : reasons) EXPECT_EQ(reason, expected);
}

TEST(NeverLose, ACarriedEntryFollowsAChangeOfTheLevelsDefaultLock) {
  Installation installation;
  // The site file locks by default; its entry for a preference of a newer release is unlocked.
  installation.write_values(1,
                            values("<Pref name=\"Newer\" value=\"3\" locked=\"yes\"/>", "locked"));
  start(installation);
  ASSERT_EQ(VERU_ask_level_carried_entries(1, nullptr), 1);
  ASSERT_EQ(VERU_edit_level_lock(1, false, nullptr), 0);
  ASSERT_EQ(VERU_save_level(1, nullptr), 0);
  // Saved with the site unlocked by default, "yes" would now lock it: the flag went with the
  // old default, as the recorded values' flags do.
  const std::string saved = read_file(installation.value_file(1));
  EXPECT_NE(saved.find("<Pref name=\"Newer\" value=\"3\"/>"), std::string::npos) << saved;
  EXPECT_NE(saved.find("defaultLockStatus=\"unlocked\""), std::string::npos);
}

TEST(NeverLose, ACarriedEntryKeepsChildrenThatAFileWriterWouldSpell) {
  Installation installation;
  // A processing instruction keeps the CR of a CR LF line end as the parse leaves it.
  installation.write_values(3, values("<Pref name=\"Newer\" value=\"3\"><?note first\r\nsecond?>"
                                      "<UserComment>keep me</UserComment></Pref>\n"));
  start(installation);
  ASSERT_EQ(VERU_ask_level_carried_entries(3, nullptr), 1);
  ASSERT_EQ(save(3), 0);
  const std::string saved = read_file(installation.value_file(3));
  EXPECT_NE(saved.find("<?note first"), std::string::npos) << saved;
  EXPECT_NE(saved.find("second?><UserComment>keep me</UserComment></Pref>"), std::string::npos)
      << saved;
}

TEST(NeverLose, EveryAttributeOfTheRootThatTheLibraryDoesNotReadIsSavedBack) {
  Installation installation;
  std::string file = values(entry("Count", "30"));
  std::string extra;
  for (int i = 0; i < 12; ++i)
    extra += " note" + std::to_string(i) + "=\"" + std::to_string(i) + "\"";
  file.insert(file.find("<PrefValues") + 11, extra);
  installation.write_values(3, file);
  start(installation);
  ASSERT_EQ(VERU_edit_value("Count", 3, "31", nullptr), 0);
  ASSERT_EQ(save(3), 0);
  const std::string saved = read_file(installation.value_file(3));
  for (int i = 0; i < 12; ++i) {
    const std::string note = "note" + std::to_string(i) + "=\"" + std::to_string(i) + "\"";
    EXPECT_NE(saved.find(note), std::string::npos) << note << "\n" << saved;
  }
}
