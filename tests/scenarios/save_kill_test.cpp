// Saves killed at random moments: the value file is always the old or the new document, whole,
// readers never find it missing or torn, and at most one temporary file of an interrupted save
// lies beside it until the next save removes it. A save over a broken file, killed, leaves the
// level a file and the broken content kept.
#include "installation.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <thread>

namespace {

constexpr int KILLS = 60;
constexpr int DATE = 1600000000;

// Starts the module on one preference, Count.
void start(const Installation& installation) {
  installation.define("kv_gateway.dpx",
                      definitions("<Application name=\"A\"><Pref name=\"Count\" type=\"int\" "
                                  "value=\"0\"/></Application>"));
  installation.start();
}

// The value at the user level, with a fixed date so that each value gives one document.
void record(int value) {
  static_cast<VERU_pref_int*>(pref("Count"))->set_int(value, 3);
  pref("Count")->ask_recorded_value(3)->set_modification_date(DATE);
}

// Saves the two values in turn until killed; the child of a test dies with it.
[[noreturn]] void save_until_killed() {
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  for (int value = 1;; value = 3 - value) {
    record(value);
    VERU_save_level(3, nullptr);
  }
}

int temporary_files(const std::string& directory) {
  int count = 0;
  for (const std::string& name : directory_entries(directory)) {
    if (name.rfind(".kvrn1_user.dpv.", 0) == 0) ++count;
  }
  return count;
}

}  // namespace

TEST(SaveKill, AKilledSaveLeavesTheOldOrTheNewFileWholeAndAtMostOneTemporary) {
  Installation installation;
  start(installation);
  const std::string path = installation.value_file(3);
  const std::string startup = installation.level_dir(3) + "/startup";
  std::string documents[2];
  for (int value = 1; value <= 2; ++value) {
    record(value);
    ASSERT_EQ(VERU_save_level(3, nullptr), 0);
    documents[value - 1] = read_file(path);
  }
  ASSERT_NE(documents[0], documents[1]);
  auto is_whole = [&](const std::string& seen) {
    return seen == documents[0] || seen == documents[1];
  };

  std::mt19937 random(std::random_device{}());
  int reads = 0;
  int kills_with_temporary = 0;
  for (int kill_count = 0; kill_count < KILLS; ++kill_count) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) save_until_killed();
    // A reader polls the file while the child saves, for up to 20 ms.
    const auto until = std::chrono::steady_clock::now() +
                       std::chrono::microseconds(std::uniform_int_distribution<>(0, 20000)(random));
    do {
      const std::string seen = read_file(path);
      EXPECT_TRUE(is_whole(seen)) << "read " << reads << ": " << seen.size() << " bytes";
      ++reads;
    } while (std::chrono::steady_clock::now() < until);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_TRUE(is_whole(read_file(path))) << "after kill " << kill_count;
    const int left = temporary_files(startup);
    EXPECT_LE(left, 1) << "after kill " << kill_count;
    if (left > 0) ++kills_with_temporary;
  }
  RecordProperty("reads", reads);
  RecordProperty("kills_with_temporary", kills_with_temporary);

  // The next save, of the level read again as the children left it, removes what the last
  // interrupted one left.
  VERU_set_level_up_to_date(3, false);
  VERU_reload_values_xml();
  record(3);
  EXPECT_EQ(VERU_save_level(3, nullptr), 0);
  EXPECT_EQ(temporary_files(startup), 0);
  EXPECT_EQ(directory_entries(startup),
            (std::set<std::string>{"history", "kvrn1_user.dpv", "kvrn1_user.dpv.lock"}));
}

TEST(SaveKill, AKilledSaveOverABrokenFileLeavesAFileAndTheBrokenContentKept) {
  Installation installation;
  start(installation);
  const std::string path = installation.value_file(3);
  const std::string startup = installation.level_dir(3) + "/startup";
  // Each round's broken file, put in place whole and read (and refused) again.
  auto break_level = [&](int round) {
    const std::string broken = "<PrefValues><Pref name=\"Count\" value=\"" + std::to_string(round);
    write_file(path + ".new", broken);
    std::rename((path + ".new").c_str(), path.c_str());
    VERU_set_level_up_to_date(3, false);
    VERU_reload_values_xml();
    return broken;
  };
  auto kept_copies = [&](const std::string& broken) {
    int count = 0;
    for (const std::string& name : directory_entries(startup)) {
      if (name.find(".broken-") != std::string::npos)
        count += read_file(startup + "/" + name) == broken;
    }
    return count;
  };
  break_level(0);
  const auto before = std::chrono::steady_clock::now();
  ASSERT_EQ(VERU_save_level_over_broken(3, nullptr, nullptr), 0);
  const auto save_time = std::chrono::steady_clock::now() - before;

  std::mt19937 random(std::random_device{}());
  int replaced = 0;
  for (int round = 1; round <= KILLS; ++round) {
    const std::string broken = break_level(round);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      VERU_save_level_over_broken(3, nullptr, nullptr);
      for (;;) pause();
    }
    std::this_thread::sleep_for(std::uniform_real_distribution<>(0, 2)(random) * save_time);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    ASSERT_TRUE(file_exists(path)) << "after kill " << round;
    if (read_file(path) != broken) {
      ++replaced;
      EXPECT_EQ(kept_copies(broken), 1) << "after kill " << round;
    }
  }
  RecordProperty("kills_after_the_new_file", replaced);
}
