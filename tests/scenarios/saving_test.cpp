// Saving a level to its value file: the document written, the round trip through a reload, the
// style sheet placed beside the file, and saves that fail or meet links and permissions.
#include "installation.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "../host/file_size_limit.h"

namespace {

const char* const PREFERENCES = R"(
<Application name="Modeling" csh="mod">
  <Category name="Parts">
    <Tab name="Sketch">
      <Pref name="Count" type="int" value="10" title="Count"/>
      <Group name="Look">
        <Pref name="Mode" type="string" value="fast" title="Mode">
          <Data type="enum">
            <EnumElem name="Fast" value="fast"/><EnumElem name="Slow &amp; steady" value="slow"/>
          </Data>
        </Pref>
      </Group>
      <Pref name="Scale" type="real" value="1" title="Scale"/>
      <Pref name="Flag" type="logical" value="false" title="Flag"/>
      <Pref name="Paths" type="string_list" value="one" title="Paths"/>
      <Pref name="Note" type="string" value="none" title="Note"/>
    </Tab>
  </Category>
</Application>
)";

const char* const NAMES[] = {"Count", "Mode", "Scale", "Flag", "Paths", "Note"};

void start(const Installation& installation) {
  installation.define("kv_gateway.dpx", definitions(PREFERENCES));
  installation.start();
}

// What a level records for every preference: value, own lock flag, comment and date.
std::vector<std::string> recorded_at(int level) {
  std::vector<std::string> state;
  for (const char* name : NAMES) {
    VERU_recorded_value* recorded = pref(name)->ask_recorded_value(level);
    if (!recorded) {
      state.push_back(std::string(name) + " (none)");
      continue;
    }
    state.push_back(std::string(name) + " " + value_at(pref(name), level) + " locked " +
                    std::to_string(recorded->ask_locked()) + " comment " +
                    text_of(recorded->ask_comment()) + " date " +
                    std::to_string(recorded->ask_modification_date()));
  }
  return state;
}

void set_comment(VERU_pref* target, const char* comment, int level) {
  TEXT_s* text = TEXT_create_string(comment);
  target->set_comment(text, level);
  TEXT_free(text);
}

mode_t mode_of(const std::string& path) {
  struct stat status {};
  stat(path.c_str(), &status);
  return status.st_mode & 07777;
}

}  // namespace

TEST(Saving, AnEmptyLevelWritesOnlyTheElementAndItsLockStatus) {
  Installation installation;
  start(installation);
  VERU_set_level_up_to_date(1, false);
  VERU_set_level_locked_by_default(2, true);
  LogCapture log;
  VERU__save_values_xml(1);
  VERU__save_values_xml(2);
  VERU__save_values_xml(0);  // not defined here: nothing happens
  EXPECT_EQ(log.text(), "");
  EXPECT_TRUE(VERU_is_level_up_to_date(1));

  const std::string site = read_file(installation.value_file(1));
  const std::size_t instruction =
      site.find("<?xml-stylesheet type=\"text/xsl\" href=\"kvrn1_site.xsl\"?>");
  const std::size_t element =
      site.find("<PrefValues defaultLockStatus=\"unlocked\">\n</PrefValues>");
  EXPECT_NE(instruction, std::string::npos) << site;
  EXPECT_NE(element, std::string::npos) << site;
  EXPECT_LT(instruction, element);
  EXPECT_NE(read_file(installation.value_file(2))
                .find("<PrefValues defaultLockStatus=\"locked\">\n</PrefValues>"),
            std::string::npos);
}

TEST(Saving, ASavedLevelReadsBackAsItWas) {
  Installation installation;
  installation.write_values(
      3, values(entry("Count", "40", "locked=\"yes\"") +
                entry("Note", "from file", "modified=\"2019-05-05T05:05:05Z\"")));
  start(installation);
  static_cast<VERU_pref_int*>(pref("Count"))->set_int(42, 3);
  set_comment(pref("Count"), "plain", 3);
  VERU_pref* mode = pref("Mode");
  static_cast<VERU_pref_string*>(mode)->set_string("slow", 3);
  mode->set_locked(true, 3);
  set_comment(mode, "Fünf <&> \"quoted\" Ω", 3);
  static_cast<VERU_pref_real*>(pref("Scale"))->set_real(2.0, 3);
  const char* paths[] = {"a b", "c"};
  static_cast<VERU_pref_string_list*>(pref("Paths"))->set_string_list(2, paths, 3);
  int date = 1600000000;
  for (const char* name : {"Count", "Mode", "Scale", "Paths"}) {
    pref(name)->ask_recorded_value(3)->set_modification_date(date++);
  }
  const std::vector<std::string> before = recorded_at(3);

  VERU__save_values_xml(3);
  const std::string saved = read_file(installation.value_file(3));
  EXPECT_NE(saved.find("<Pref Application=\"Modeling\" Category=\"Parts\" Tab=\"Sketch\" "
                       "title=\"Look - Mode\" displayValue=\"Slow &amp; steady\" name=\"Mode\" "
                       "value=\"slow\" locked=\"yes\" modified=\"2020-09-13T12:26:41Z\">"
                       "<UserComment>"),
            std::string::npos)
      << saved;
  EXPECT_NE(saved.find("title=\"Scale\" displayValue=\"2.0\" name=\"Scale\" value=\"2.0\" "
                       "modified=\"2020-09-13T12:26:42Z\"/>"),
            std::string::npos)
      << saved;
  EXPECT_NE(saved.find("displayValue=\"a b c\" name=\"Paths\""), std::string::npos);
  EXPECT_EQ(saved.find("name=\"Flag\""), std::string::npos);

  VERU_set_level_up_to_date(3, false);
  LogCapture log;
  VERU_reload_values_xml();
  EXPECT_FALSE(log.contains("Value ignored"));
  EXPECT_EQ(recorded_at(3), before);
  char** items = nullptr;
  const int count = static_cast<VERU_pref_string_list*>(pref("Paths"))->ask_string_list(&items, 3);
  EXPECT_EQ(taken(items, count), (std::vector<std::string>{"a b", "c"}));
}

TEST(Saving, TheStyleSheetIsCopiedOnceUnderTheValueFilesName) {
  Installation installation;
  installation.write("base/kvrn/xsl/dpv.xsl", "<installation/>");
  start(installation);
  const std::string site_sheet = installation.level_dir(1) + "/startup/kvrn1_site.xsl";
  VERU__save_values_xml(1);
  EXPECT_EQ(read_file(site_sheet), "<installation/>");
  write_file(site_sheet, "<mine/>");
  VERU__save_values_xml(1);
  EXPECT_EQ(read_file(site_sheet), "<mine/>");

  // Without a source the value file stands alone.
  std::filesystem::remove(installation.path("base/kvrn/xsl/dpv.xsl"));
  LogCapture log;
  VERU__save_values_xml(2);
  EXPECT_TRUE(file_exists(installation.value_file(2)));
  EXPECT_EQ(directory_entries(installation.level_dir(2) + "/startup"),
            (std::set<std::string>{"kvrn1_group.dpv", "kvrn1_group.dpv.lock"}));
  EXPECT_EQ(log.text(), "");
}

TEST(Saving, TheLocalDefaultsFileGetsTheLanguagesStyleSheet) {
  Installation installation;
  installation.write("base/kvrn/xsl/dpv.xsl", "<installation/>");
  installation.write("base/localization/dpv_german.xsl", "<german/>");
  installation.define("kv_gateway.dpx", definitions(PREFERENCES));
  installation.use_environment();
  setenv("KVRN_LANG", "german", 1);
  make_directories(installation.path("local"));
  setenv("KVRN_LOCAL_USER_DEFAULTS", installation.path("local/my.dpv").c_str(), 1);
  VERU_init_module();
  static_cast<VERU_pref_int*>(pref("Count"))->set_int(5, 3);
  VERU__save_values_xml(3);
  const std::string saved = read_file(installation.path("local/my.dpv"));
  EXPECT_NE(saved.find("href=\"my.xsl\""), std::string::npos);
  EXPECT_NE(saved.find("name=\"Count\" value=\"5\""), std::string::npos);
  EXPECT_EQ(read_file(installation.path("local/my.xsl")), "<german/>");
  EXPECT_FALSE(file_exists(installation.value_file(3)));
  // Without the language's sheet the installation's serves.
  std::filesystem::remove(installation.path("base/localization/dpv_german.xsl"));
  VERU__save_values_xml(2);
  EXPECT_EQ(read_file(installation.level_dir(2) + "/startup/kvrn1_group.xsl"), "<installation/>");
}

TEST(Saving, AFailedWriteLeavesTheOldFileWhole) {
  Installation installation;
  const std::string old = values(entry("Count", "40"));
  installation.write_values(3, old);
  start(installation);
  static_cast<VERU_pref_int*>(pref("Count"))->set_int(41, 3);
  set_comment(pref("Count"), std::string(200, 'x').c_str(), 3);
  VERU_set_level_up_to_date(3, false);
  LogCapture log;
  {
    FileSizeLimit limit(64);
    VERU__save_values_xml(3);
  }
  EXPECT_EQ(log.text(), "Unable to save preferences values at the level 3 -- error 3550005: " +
                            installation.value_file(3) + ": File too large\n");
  EXPECT_EQ(read_file(installation.value_file(3)), old);
  // No generation is kept of a save that did not happen.
  EXPECT_EQ(directory_entries(installation.level_dir(3) + "/startup"),
            (std::set<std::string>{"history", "kvrn1_user.dpv", "kvrn1_user.dpv.lock"}));
  EXPECT_EQ(directory_entries(installation.level_dir(3) + "/startup/history"),
            std::set<std::string>{});
  EXPECT_FALSE(VERU_is_level_up_to_date(3));
  EXPECT_EQ(value_at(pref("Count"), 3), "41");
}

TEST(Saving, TextAValueFileCannotHoldIsRefusedWithWhereItIs) {
  Installation installation;
  const std::string old = values(entry("Count", "40"));
  installation.write_values(3, old);
  start(installation);
  // Set without the checks of an edit, as a host may.
  static_cast<VERU_pref_string*>(pref("Note"))->set_string("ab\x01", 3);
  char* reason = nullptr;
  EXPECT_EQ(VERU_save_level(3, &reason), VERU_ERROR_VALUE_FILE_SAVE);
  EXPECT_EQ(taken(reason), installation.value_file(3) +
                               ": the value of Note holds U+0001 at byte 3, which a value file "
                               "cannot hold (control characters other than tab and line breaks, "
                               "and text that is not UTF-8)");
  static_cast<VERU_pref_string*>(pref("Note"))->set_string("ab", 3);
  set_comment(pref("Note"), "caf\xe9", 3);
  EXPECT_EQ(VERU_save_level(3, &reason), VERU_ERROR_VALUE_FILE_SAVE);
  EXPECT_EQ(taken(reason), installation.value_file(3) +
                               ": the comment of Note holds byte 0xE9 at byte 4, which a value "
                               "file cannot hold (control characters other than tab and line "
                               "breaks, and text that is not UTF-8)");
  EXPECT_EQ(read_file(installation.value_file(3)), old);
}

TEST(Saving, LinksAreFollowedAndPermissionsKept) {
  Installation installation;
  installation.write("elsewhere/target.dpv", values(""));
  chmod(installation.path("elsewhere/target.dpv").c_str(), 0640);
  std::filesystem::create_symlink(installation.path("elsewhere/target.dpv"),
                                  installation.value_file(3));
  installation.write_values(2, values(""));
  chmod(installation.value_file(2).c_str(), 0600);
  start(installation);
  static_cast<VERU_pref_int*>(pref("Count"))->set_int(7, 3);
  static_cast<VERU_pref_int*>(pref("Count"))->set_int(8, 2);
  VERU__save_values_xml(3);
  VERU__save_values_xml(2);

  EXPECT_TRUE(std::filesystem::is_symlink(installation.value_file(3)));
  EXPECT_NE(read_file(installation.path("elsewhere/target.dpv")).find("value=\"7\""),
            std::string::npos);
  EXPECT_EQ(mode_of(installation.path("elsewhere/target.dpv")), 0640u);
  EXPECT_EQ(mode_of(installation.value_file(2)), 0600u);
  EXPECT_NE(read_file(installation.value_file(2)).find("value=\"8\""), std::string::npos);
}

TEST(Saving, AnyValueDocumentCanBeWrittenWithItsStyleSheet) {
  Installation installation;
  installation.write("base/kvrn/xsl/dpv.xsl", "<installation/>");
  start(installation);
  ASSERT_EQ(KVXML_init(), 0);
  int error = 0;
  XERCES_DOM_ctx* document = pvtbl_kvxml->XERCES_DOM_create(&error, "UTF-8", 0);
  ASSERT_EQ(error, 0);
  pvtbl_kvxml->XERCES_DOM_createDocumentElement(document, "PrefValues");
  XERCES_DOM_node* node = pvtbl_kvxml->XERCES_DOM_getDocument(document);
  make_directories(installation.path("out"));
  const std::string path = installation.path("out/custom.values.dpv");
  VERU_write_dpv_file(path.c_str(), document, node);
  pvtbl_kvxml->XERCES_DOM_release(document);

  const std::string written = read_file(path);
  const std::size_t instruction =
      written.find("<?xml-stylesheet type=\"text/xsl\" href=\"custom.values.xsl\"?>");
  EXPECT_NE(instruction, std::string::npos) << written;
  EXPECT_LT(instruction, written.find("<PrefValues"));
  EXPECT_EQ(read_file(installation.path("out/custom.values.xsl")), "<installation/>");

  EXPECT_TRUE(CFI_is_character_checking_enable());
}
