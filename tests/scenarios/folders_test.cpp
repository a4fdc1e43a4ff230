// The per-user application folders: the running version's folder and its subfolders, the
// folders of earlier versions, and how the platform lookup and the caches behave.
#include "installation.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {

// The lookup a test stands in with: the local folder fails, the roaming one is this.
std::string roaming_folder;
std::vector<int> asked_ids;

int roaming_only(int folder_id, char* path) {
  asked_ids.push_back(folder_id);
  if (folder_id != SHELL_FOLDER_ROAMING_APPDATA) return 1;
  std::strcpy(path, roaming_folder.c_str());
  return 0;
}

bool is_directory(const std::string& path) {
  return std::filesystem::is_directory(path);
}

}  // namespace

TEST(Folders, TheApplicationFolderIsMadeUnderTheLocalFolder) {
  Installation installation;
  installation.use_environment();
  const char* folder = VERU_ask_zr_application_folder();
  ASSERT_NE(folder, nullptr);
  EXPECT_EQ(std::string(folder), installation.path("data/Corvane/Kvrn1"));
  EXPECT_TRUE(is_directory(folder));
  EXPECT_EQ(VERU_ask_zr_application_folder(), folder);

  // Subfolders: the folder itself for no name, else made when missing; each call a new copy.
  const char* itself = VERU_ask_zr_application_subfolder("");
  ASSERT_NE(itself, nullptr);
  EXPECT_STREQ(itself, folder);
  EXPECT_NE(itself, folder);
  EXPECT_STREQ(VERU_ask_zr_application_subfolder(nullptr), folder);
  const char* logs = VERU_ask_zr_application_subfolder("Logs");
  ASSERT_NE(logs, nullptr);
  EXPECT_EQ(std::string(logs), installation.path("data/Corvane/Kvrn1/Logs"));
  EXPECT_TRUE(is_directory(logs));
  EXPECT_STREQ(VERU_ask_zr_application_subfolder("Logs"), logs);
  EXPECT_EQ(VERU_ask_zr_application_subfolder("../Escape"), nullptr);

  // Earlier versions, by exact key.
  const char* zr3 = VERU_ask_zr_legacy_application_folder("ZR3");
  ASSERT_NE(zr3, nullptr);
  EXPECT_EQ(std::string(zr3), installation.path("data/Corvane/ZR"));
  EXPECT_TRUE(is_directory(zr3));
  EXPECT_EQ(VERU_ask_zr_legacy_application_folder("ZR3"), zr3);
  const char* zr4 = VERU_ask_zr_legacy_application_folder("ZR4");
  ASSERT_NE(zr4, nullptr);
  EXPECT_EQ(std::string(zr4), installation.path("data/Corvane/ZR4"));
  EXPECT_EQ(VERU_ask_zr_legacy_application_folder("zr4"), nullptr);
  EXPECT_EQ(VERU_ask_zr_legacy_application_folder("ZR5"), nullptr);
  EXPECT_EQ(VERU_ask_zr_legacy_application_folder(nullptr), nullptr);
  EXPECT_FALSE(std::filesystem::exists(installation.path("config/Corvane")));
}

TEST(Folders, TheRoamingFolderServesWhenTheLocalOneCannotBeFound) {
  Installation installation;
  installation.use_environment();
  roaming_folder = installation.path("roaming");
  make_directories(roaming_folder);
  SHELL_set_folder_lookup(roaming_only);
  const char* folder = VERU_ask_zr_application_folder();
  ASSERT_NE(folder, nullptr);
  EXPECT_EQ(std::string(folder), roaming_folder + "/Corvane/Kvrn1");
  EXPECT_EQ(asked_ids,
            (std::vector<int>{SHELL_FOLDER_LOCAL_APPDATA, SHELL_FOLDER_ROAMING_APPDATA}));
  EXPECT_FALSE(std::filesystem::exists(installation.path("data/Corvane")));
}

TEST(Folders, AMissingBaseFolderIsMadeForItsOwnerOnly) {
  Installation installation;
  installation.use_environment();
  setenv("XDG_DATA_HOME", installation.path("absent/share").c_str(), 1);
  const char* folder = VERU_ask_zr_application_folder();
  ASSERT_NE(folder, nullptr);
  EXPECT_EQ(std::string(folder), installation.path("absent/share/Corvane/Kvrn1"));
  struct stat status {};
  ASSERT_EQ(stat(installation.path("absent/share").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0700u);
  ASSERT_EQ(stat(installation.path("absent").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0700u);
}

TEST(Folders, NoFolderIsRememberedForTheProcess) {
  Installation installation;
  installation.use_environment();
  // Neither base folder can be made: a file stands where a folder would have to be.
  write_file(installation.path("closed"), "");
  setenv("XDG_DATA_HOME", installation.path("closed/data").c_str(), 1);
  setenv("XDG_CONFIG_HOME", installation.path("closed/config").c_str(), 1);
  EXPECT_EQ(VERU_ask_zr_application_folder(), nullptr);
  EXPECT_EQ(VERU_ask_zr_application_subfolder("Logs"), nullptr);
  std::filesystem::remove(installation.path("closed"));
  make_directories(installation.path("closed/data/Corvane/Kvrn1"));
  EXPECT_EQ(VERU_ask_zr_application_folder(), nullptr);
}

TEST(Folders, AFolderWithoutWritePermissionIsNotUsable) {
  Installation installation;
  installation.use_environment();
  make_directories(installation.path("data/Corvane"));
  chmod(installation.path("data/Corvane").c_str(), 0555);
  EXPECT_EQ(VERU_ask_zr_legacy_application_folder("ZR4"), nullptr);
  chmod(installation.path("data/Corvane").c_str(), 0755);
  // The failed search is kept, the other key searches anew.
  EXPECT_EQ(VERU_ask_zr_legacy_application_folder("ZR4"), nullptr);
  EXPECT_NE(VERU_ask_zr_legacy_application_folder("ZR3"), nullptr);
}
