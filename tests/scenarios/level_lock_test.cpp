// The level lock is re-entrant within a process: another process can take it only once every
// hold of this one is given back.
#include <sys/wait.h>
#include <unistd.h>

#include "installation.h"

namespace {

// Whether a child process, another editor of the level, takes the lock file at once.
bool another_process_takes(const std::string& value_file) {
  const pid_t child = fork();
  if (child == 0) {
    int handle = -1;
    const std::string lock_file = value_file + ".lock";
    _exit(CFI_lock_file(lock_file.c_str(), value_file.c_str(), 0, &handle) == 0 ? 0 : 1);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
    ADD_FAILURE() << "the child process did not end normally";
    return false;
  }
  return WEXITSTATUS(status) == 0;
}

}  // namespace

TEST(LevelLock, IsGivenUpOnlyByTheLastHold) {
  Installation installation;
  installation.define("kv_gateway.dpx", definitions("<Application name=\"A\"><Pref name=\"Count\" "
                                                    "type=\"int\" value=\"0\"/></Application>"));
  installation.write_values(3, values(entry("Count", "2")));
  installation.start();
  const std::string file = installation.value_file(3);

  ASSERT_EQ(VERU_lock_level(3, nullptr), 0);
  ASSERT_EQ(VERU_lock_level(3, nullptr), 0);
  EXPECT_FALSE(another_process_takes(file));
  VERU_unlock_level(3);
  EXPECT_FALSE(another_process_takes(file)) << "one hold given back released the lock";
  // A save takes and gives back a hold of its own: the host's hold outlives it.
  static_cast<VERU_pref_int*>(pref("Count"))->set_int(7, 3);
  ASSERT_EQ(VERU_save_level(3, nullptr), 0);
  EXPECT_FALSE(another_process_takes(file)) << "the save released the host's hold";
  VERU_unlock_level(3);
  EXPECT_TRUE(another_process_takes(file));
  // Giving back more than was taken is harmless, and the lock can be taken again.
  VERU_unlock_level(3);
  ASSERT_EQ(VERU_lock_level(3, nullptr), 0);
  EXPECT_FALSE(another_process_takes(file));
  VERU_unlock_level(3);
}
