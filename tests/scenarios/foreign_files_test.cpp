// A level folder that others can write: a save by root follows no link that another user planted
// there to a file out of the folder.
#include "installation.h"

#include <sys/stat.h>
#include <unistd.h>

#include <map>

namespace {

void start(const Installation& installation) {
  installation.define("kv_gateway.dpx",
                      definitions("<Application name=\"A\"><Pref name=\"Count\" type=\"int\" "
                                  "value=\"0\"/></Application>"));
  installation.write("base/kvrn/xsl/dpv.xsl", "<style/>");
  installation.start();
}

// Every file of a folder with its contents.
std::map<std::string, std::string> contents_of(const std::string& folder) {
  std::map<std::string, std::string> contents;
  for (const std::string& name : directory_entries(folder)) {
    contents[name] = read_file(folder + "/" + name);
  }
  return contents;
}

// A link that the other user planted in the group folder, and what a save by root does.
struct Planted {
  const char* name;
  const char* link;       // its name in the group folder
  const char* target;     // the file it leads to in a folder out of the level
  bool target_is_theirs;  // the link's owner owns the target and its folder
  int code;               // the save's answer
  const char* said;       // in the save's reason
};

const Planted PLANTED[] = {
    {"ValueFileToAFileOfRoot", "kvrn1_group.dpv", "victim.dpv", false, VERU_ERROR_VALUE_FILE_SAVE,
     "is a symbolic link whose owner does not own the file it leads to"},
    {"ValueFileToANewFile", "kvrn1_group.dpv", "new.dpv", false, VERU_ERROR_VALUE_FILE_SAVE,
     "is a symbolic link whose owner does not own the file it leads to"},
    {"LockFile", "kvrn1_group.dpv.lock", "made.lock", false, VERU_ERROR_VALUE_FILE_SAVE,
     "is a symbolic link, not a regular file"},
    {"StyleSheet", "kvrn1_group.xsl", "sheet.xsl", false, 0, ""},
    {"ValueFileToTheirOwnFile", "kvrn1_group.dpv", "victim.dpv", true, 0, ""},
};

void PrintTo(const Planted& planted, std::ostream* out) {
  *out << planted.name;
}

class ForeignLink : public testing::TestWithParam<Planted> {};

}  // namespace

TEST_P(ForeignLink, NothingOutOfTheFolderIsMadeChangedOrDeletedByRoot) {
  if (!can_give_files_away()) GTEST_SKIP() << "planting a link as another user needs root";
  const Planted& planted = GetParam();
  Installation installation;
  const std::string folder = installation.level_dir(2) + "/startup";
  const std::string outside = installation.path("outside");
  make_directories(outside);
  write_file(outside + "/victim.dpv", values(entry("Count", "1")));
  // What an interrupted save through the link would have left there, as the owner's file.
  write_file(outside + "/.victim.dpv.AbC123", "the owner's own file");
  const unsigned owner = planted.target_is_theirs ? OTHER_USER : 0;
  for (const std::string& path : {outside, outside + "/victim.dpv"}) {
    ASSERT_EQ(chown(path.c_str(), owner, owner), 0);
  }
  ASSERT_EQ(chown(folder.c_str(), OTHER_USER, OTHER_USER), 0);
  const std::string link = folder + "/" + planted.link;
  ASSERT_EQ(symlink((outside + "/" + planted.target).c_str(), link.c_str()), 0);
  ASSERT_EQ(lchown(link.c_str(), OTHER_USER, OTHER_USER), 0);
  const std::map<std::string, std::string> before = contents_of(outside);
  start(installation);

  static_cast<VERU_pref_int*>(pref("Count"))->set_int(7, 2);
  char* text = nullptr;
  EXPECT_EQ(VERU_save_level(2, &text), planted.code);
  const std::string reason = taken(text);
  EXPECT_NE(reason.find(planted.said), std::string::npos) << reason;
  // Only a link to the link owner's own file is followed, and only that file changes.
  const std::string victim = read_file(outside + "/victim.dpv");
  EXPECT_EQ(victim.find("value=\"7\"") != std::string::npos, planted.target_is_theirs) << victim;
  std::map<std::string, std::string> expected = before;
  expected["victim.dpv"] = victim;
  EXPECT_EQ(contents_of(outside), expected);
  struct stat status {};
  EXPECT_EQ(lstat(link.c_str(), &status), 0);
  EXPECT_TRUE(S_ISLNK(status.st_mode));
}

INSTANTIATE_TEST_SUITE_P(Planted, ForeignLink, testing::ValuesIn(PLANTED),
                         [](const testing::TestParamInfo<Planted>& param_info) {
                           return std::string(param_info.param.name);
                         });
