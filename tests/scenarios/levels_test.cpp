// Setting up the value levels from the environment at start-up, the local user defaults, and
// the level queries.
#include "installation.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace {

std::vector<std::string> value_files() {
  char** files = nullptr;
  const int count = VERU_ask_value_files(&files);
  if (count == 0) {
    EXPECT_EQ(files, nullptr);
  }
  return taken(files, count);
}

}  // namespace

TEST(Levels, EachLevelDirectoryDefinesItsLevel) {
  Installation installation;
  LogCapture log;
  installation.start();
  EXPECT_FALSE(VERU__is_level_defined(0));
  EXPECT_STREQ(VERU__ask_level_filename(0), "");
  for (int level = 1; level <= 3; ++level) {
    EXPECT_TRUE(VERU__is_level_defined(level));
    EXPECT_EQ(VERU__ask_level_filename(level), installation.value_file(level));
    EXPECT_FALSE(VERU_is_level_locked_by_default(level));
  }
  EXPECT_EQ(value_files(),
            (std::vector<std::string>{installation.value_file(1), installation.value_file(2),
                                      installation.value_file(3)}));
  EXPECT_TRUE(log.contains(
      "No local user customizations read - environment variable KVRN_LOCAL_USER_DEFAULTS is not "
      "set\n"));
  EXPECT_FALSE(log.contains("No user customizations read from"));
}

TEST(Levels, EachFailingCheckIsLoggedAndOnlyLevelZeroRemains) {
  Installation installation;
  installation.use_environment();
  unsetenv("KVRN_SITE_DIR");
  setenv("KVRN_GROUP_DIR", installation.path("nowhere").c_str(), 1);
  std::filesystem::remove_all(installation.level_dir(3) + "/startup");
  setenv("KVRN_LOCAL_USER_DEFAULTS", "", 1);
  LogCapture log;
  VERU_init_module();

  EXPECT_TRUE(log.contains(
      "No user customizations read from KVRN_SITE_DIR - environment variable is not set\n"));
  EXPECT_TRUE(log.contains("No user customizations read from KVRN_GROUP_DIR - directory " +
                           installation.path("nowhere") + " does not exist\n"));
  EXPECT_TRUE(log.contains("No user customizations read from KVRN_USER_DIR - startup directory " +
                           installation.level_dir(3) + "/startup not found\n"));
  EXPECT_TRUE(log.contains("No local user customizations read - failed to split filespec \n"));
  EXPECT_FALSE(log.contains("Processing customer default values file"));
  EXPECT_TRUE(VERU__is_level_defined(0));
  for (int level = 1; level <= 3; ++level) {
    EXPECT_FALSE(VERU__is_level_defined(level));
    EXPECT_STREQ(VERU__ask_level_filename(level), "");
    EXPECT_FALSE(VERU_is_level_writeable(level));
  }
  EXPECT_FALSE(VERU_is_level_writeable(0));
  EXPECT_EQ(value_files(), std::vector<std::string>{""});
  // Each level says why it is not used, in the words of its lines.
  const std::string why[] = {
      "(null)", "No user customizations read from KVRN_SITE_DIR - environment variable is not set",
      "No user customizations read from KVRN_GROUP_DIR - directory " +
          installation.path("nowhere") + " does not exist",
      "No user customizations read from KVRN_USER_DIR - startup directory " +
          installation.level_dir(3) +
          "/startup not found; No local user customizations read - failed to split filespec"};
  for (int level = 0; level <= 3; ++level) {
    EXPECT_EQ(taken(VERU_ask_level_undefined_reason(level)), why[level]) << level;
  }
}

TEST(Levels, FoldersOfAnyNameTheSystemAllowsAreUsed) {
  Installation installation;
  installation.use_environment();
  const std::string odd = installation.path("group \"<>?*|\nfolder");
  std::filesystem::rename(installation.level_dir(2), odd);
  setenv("KVRN_GROUP_DIR", odd.c_str(), 1);
  const std::string path = odd + "/startup/kvrn1_group.dpv";
  installation.define("kv_gateway.dpx",
                      definitions("<Application name=\"A\"><Pref name=\"Count\" type=\"int\" "
                                  "value=\"0\"/></Application>"));
  write_file(path, values(entry("Count", "4")));
  VERU_init_module();
  EXPECT_EQ(VERU__ask_level_filename(2), path);
  EXPECT_EQ(VERU_ask_level_undefined_reason(2), nullptr);
  EXPECT_EQ(VERU_ask_level_load_state(2, nullptr), VERU_LOAD_LOADED);
  EXPECT_EQ(VERU_ask_int("Count"), 4);
  ASSERT_EQ(VERU_edit_value("Count", 2, "5", nullptr), 0);
  EXPECT_EQ(VERU_save_level(2, nullptr), 0);
  EXPECT_NE(read_file(path).find("value=\"5\""), std::string::npos);
  EXPECT_TRUE(CFI_is_character_checking_enable());
}

TEST(Levels, LocalUserDefaultsNamedBareLieInTheCurrentDirectory) {
  Installation installation;
  installation.use_environment();
  make_directories(installation.path("work"));
  ASSERT_EQ(chdir(installation.path("work").c_str()), 0);
  setenv("KVRN_LOCAL_USER_DEFAULTS", "mine.dpv", 1);
  LogCapture log;
  VERU_init_module();
  EXPECT_EQ(VERU__ask_level_filename(3), std::filesystem::current_path().string() + "/mine.dpv");
  EXPECT_EQ(VERU__ask_level_filename(2), installation.value_file(2));
  EXPECT_FALSE(log.contains("No local user customizations read"));
  // The per-user application folder is made on the way.
  EXPECT_TRUE(std::filesystem::is_directory(installation.path("data/Corvane/Kvrn1")));
}

TEST(Levels, LocalUserDefaultsGivenAsAPathAreUsedUnchanged) {
  Installation installation;
  installation.use_environment();
  unsetenv("KVRN_SITE_DIR");
  unsetenv("KVRN_GROUP_DIR");
  unsetenv("KVRN_USER_DIR");
  const std::string local = installation.path("not/yet/../made/./my.dpv");
  setenv("KVRN_LOCAL_USER_DEFAULTS", local.c_str(), 1);
  VERU_init_module();
  EXPECT_FALSE(VERU__is_level_defined(0));
  EXPECT_TRUE(VERU__is_level_defined(3));
  EXPECT_EQ(VERU__ask_level_filename(3), local);
  EXPECT_EQ(value_files(), std::vector<std::string>{local});
  EXPECT_FALSE(VERU_is_level_writeable(3));  // its directory does not exist
}

TEST(Levels, WriteabilityFollowsTheDirectoryAndTheFile) {
  Installation installation;
  installation.use_environment();
  unsetenv("KVRN_SITE_DIR");
  VERU_init_module();
  EXPECT_FALSE(VERU_is_level_writeable(0));
  EXPECT_FALSE(VERU_is_level_writeable(1));
  // A file not made yet in a writeable directory can be written.
  EXPECT_TRUE(VERU_is_level_writeable(3));
  installation.write_values(3, values(""));
  EXPECT_TRUE(VERU_is_level_writeable(3));
  chmod(installation.value_file(3).c_str(), 0444);
  EXPECT_FALSE(VERU_is_level_writeable(3));

  const std::string startup = installation.level_dir(2) + "/startup";
  EXPECT_TRUE(VERU_is_level_writeable(2));
  chmod(startup.c_str(), 0555);
  EXPECT_FALSE(VERU_is_level_writeable(2));
  {
    // Nor is a lock file made there, for root either.
    const WithoutFileOverrides as_others_are;
    EXPECT_EQ(VERU_lock_level(2, nullptr), VERU_ERROR_LEVEL_NOT_WRITEABLE);
    EXPECT_FALSE(file_exists(installation.value_file(2) + ".lock"));
  }
  chmod(startup.c_str(), 0755);
  // Character checking is the host's again afterwards.
  EXPECT_TRUE(CFI_is_character_checking_enable());
}

TEST(Levels, PathsLongerThanTheirFieldAreRefused) {
  Installation installation;
  installation.use_environment();
  const std::string long_site =
      installation.path(std::string(120, 's') + "/" + std::string(120, 't'));
  make_directories(long_site + "/startup");
  setenv("KVRN_SITE_DIR", long_site.c_str(), 1);
  const std::string long_local = installation.path(std::string(250, 'u') + "/my.dpv");
  setenv("KVRN_LOCAL_USER_DEFAULTS", long_local.c_str(), 1);
  LogCapture log;
  VERU_init_module();

  EXPECT_TRUE(log.contains("No user customizations read from KVRN_SITE_DIR - path " + long_site +
                           "/startup/kvrn1_site.dpv is longer than 256 characters\n"))
      << log.text();
  EXPECT_FALSE(VERU__is_level_defined(1));
  EXPECT_TRUE(log.contains("No local user customizations read - path " + long_local +
                           " is longer than 256 characters\n"));
  EXPECT_EQ(VERU__ask_level_filename(3), installation.value_file(3));
  EXPECT_EQ(VERU__ask_level_filename(2), installation.value_file(2));
}
