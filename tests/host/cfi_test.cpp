// Files: the name character check and the atomic replacement of a file.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <set>
#include <string>

#include "file_size_limit.h"
#include "test_support.h"

namespace {

int replace(const std::string& path, const std::string& data) {
  return CFI_replace_file(path.c_str(), data.data(), data.size());
}

mode_t mode_of(const std::string& path) {
  struct stat status {};
  stat(path.c_str(), &status);
  return status.st_mode & 07777;
}

}  // namespace

TEST(Files, NameCharacters) {
  EXPECT_TRUE(CFI_is_character_checking_enable());
  EXPECT_TRUE(CFI_check_name_characters("kvrn1_user.dpv"));
  EXPECT_TRUE(CFI_check_name_characters("dir/sub dir/\xC3\xA9t\xC3\xA9.dpv"));
  for (const char* bad : {"a*b", "a?b", "a\"b", "a<b", "a>b", "a|b", "a\nb", "a\tb", "a\x7f"})
    EXPECT_FALSE(CFI_check_name_characters(bad)) << bad;
  EXPECT_FALSE(CFI_check_name_characters(""));
  EXPECT_FALSE(CFI_check_name_characters(nullptr));
  CFI_enable_character_checking(false);
  EXPECT_FALSE(CFI_is_character_checking_enable());
  EXPECT_TRUE(CFI_check_name_characters("a*b?"));
  EXPECT_FALSE(CFI_check_name_characters(""));
  CFI_enable_character_checking(true);
  EXPECT_FALSE(CFI_check_name_characters("a*b?"));
}

TEST(Files, ReplaceWritesAndKeepsPermissions) {
  TempDir dir;
  const std::string path = dir / "values.dpv";
  const mode_t old_mask = umask(027);
  EXPECT_EQ(replace(path, "first"), 0);
  EXPECT_EQ(read_file(path), "first");
  EXPECT_EQ(mode_of(path), 0640u);  // 0666 less the mask
  umask(022);
  chmod(path.c_str(), 0600);
  EXPECT_EQ(replace(path, "second, longer contents"), 0);
  EXPECT_EQ(read_file(path), "second, longer contents");
  EXPECT_EQ(mode_of(path), 0600u);
  chmod(path.c_str(), 0640);
  EXPECT_EQ(replace(path, ""), 0);
  EXPECT_EQ(read_file(path), "");
  EXPECT_EQ(mode_of(path), 0640u);
  EXPECT_EQ(CFI_replace_file(path.c_str(), nullptr, 0), 0);
  EXPECT_EQ(directory_entries(dir.path()), (std::set<std::string>{"values.dpv"}));
  EXPECT_EQ(CFI_replace_file(nullptr, "x", 1), EINVAL);
  EXPECT_EQ(CFI_replace_file("", "x", 1), EINVAL);
  // The temporary file's name stays short enough beside the longest name a file can have.
  const std::string longest = dir / std::string(255, 'v');
  EXPECT_EQ(replace(longest, "long"), 0);
  EXPECT_EQ(read_file(longest), "long");
  umask(old_mask);
}

TEST(Files, ReplaceFailsCleanly) {
  TempDir dir;
  const std::string path = dir / "values.dpv";
  const std::string old_contents = "<old/>\n";
  write_file(path, old_contents);

  // A write that cannot complete leaves the old file whole and no temporary file behind.
  const std::string big(256 * 1024, 'x');
  int error = 0;
  {
    FileSizeLimit limit(4096);
    error = replace(path, big);
  }
  EXPECT_EQ(error, EFBIG);
  EXPECT_EQ(read_file(path), old_contents);
  EXPECT_EQ(directory_entries(dir.path()), (std::set<std::string>{"values.dpv"}));

  EXPECT_EQ(replace(dir / "missing/values.dpv", "x"), ENOENT);
  EXPECT_FALSE(file_exists(dir / "missing"));

  make_directories(dir / "folder");
  write_file(dir / "folder/inside", "kept");
  EXPECT_EQ(replace(dir / "folder", "x"), EISDIR);
  EXPECT_EQ(read_file(dir / "folder/inside"), "kept");
  EXPECT_EQ(directory_entries(dir.path()), (std::set<std::string>{"values.dpv", "folder"}));
}

TEST(Files, ReplaceThroughSymbolicLinks) {
  TempDir dir;
  make_directories(dir / "real");
  const std::string target = dir / "real/values.dpv";
  write_file(target, "old");
  chmod(target.c_str(), 0640);
  ASSERT_EQ(symlink("real/values.dpv", (dir / "link.dpv").c_str()), 0);
  ASSERT_EQ(symlink("link.dpv", (dir / "link2.dpv").c_str()), 0);  // a chain of two

  EXPECT_EQ(replace(dir / "link2.dpv", "new"), 0);
  EXPECT_EQ(read_file(target), "new");
  EXPECT_EQ(mode_of(target), 0640u);
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.dpv"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link2.dpv"));
  EXPECT_EQ(directory_entries(dir / "real"), (std::set<std::string>{"values.dpv"}));
  EXPECT_EQ(directory_entries(dir.path()),
            (std::set<std::string>{"real", "link.dpv", "link2.dpv"}));

  // A link to a file that does not exist yet: the file is made where the link points.
  ASSERT_EQ(symlink((dir / "real/later.dpv").c_str(), (dir / "dangling.dpv").c_str()), 0);
  EXPECT_EQ(replace(dir / "dangling.dpv", "made"), 0);
  EXPECT_EQ(read_file(dir / "real/later.dpv"), "made");
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "dangling.dpv"));

  // A loop of links is refused.
  ASSERT_EQ(symlink("loop_b", (dir / "loop_a").c_str()), 0);
  ASSERT_EQ(symlink("loop_a", (dir / "loop_b").c_str()), 0);
  EXPECT_EQ(replace(dir / "loop_a", "x"), ELOOP);
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "loop_a"));
}

TEST(Files, ALockFileIsARegularFileOrNothingIsLocked) {
  TempDir dir;
  const std::string lock = dir / "values.dpv.lock";
  const std::string outside = dir / "outside";
  const struct {
    const char* what;
    std::function<void()> make;
  } kinds[] = {
      {"FIFO nobody may write", [&] { mkfifo(lock.c_str(), 0444); }},
      {"symbolic link", [&] { symlink(outside.c_str(), lock.c_str()); }},
      {"directory", [&] { make_directories(lock); }},
  };
  for (const auto& kind : kinds) {
    kind.make();
    int handle = 7;
    EXPECT_EQ(CFI_lock_file(lock.c_str(), nullptr, 60000, &handle), ENOTSUP) << kind.what;
    EXPECT_EQ(handle, -1);
    EXPECT_FALSE(file_exists(outside)) << kind.what;
    std::filesystem::remove(lock);
  }
}

TEST(Files, ANewLockFileTakesTheAccessOfItsModel) {
  TempDir dir;
  const std::string value_file = dir / "values.dpv";
  const std::string lock = value_file + ".lock";
  const mode_t mask = umask(077);
  // The value file's read and write bits for its group and others, or else its folder's.
  const struct {
    mode_t model;
    bool file;
    mode_t lock;
  } cases[] = {{0640, true, 0640}, {0664, true, 0664},  {0600, true, 0600},
               {0444, true, 0644}, {0775, false, 0664}, {0755, false, 0644}};
  for (const auto& c : cases) {
    if (c.file) write_file(value_file, "");
    chmod(c.file ? value_file.c_str() : dir.path().c_str(), c.model);
    int handle = -1;
    ASSERT_EQ(CFI_lock_file(lock.c_str(), value_file.c_str(), 0, &handle), 0);
    CFI_unlock_file(handle);
    EXPECT_EQ(mode_of(lock), c.lock) << std::oct << c.model;
    std::filesystem::remove(lock);
    std::filesystem::remove(value_file);
    chmod(dir.path().c_str(), 0700);
  }
  umask(mask);
  if (can_give_files_away()) {
    write_file(value_file, "");
    ASSERT_EQ(chown(value_file.c_str(), OTHER_USER, OTHER_USER), 0);
    int handle = -1;
    ASSERT_EQ(CFI_lock_file(lock.c_str(), value_file.c_str(), 0, &handle), 0);
    CFI_unlock_file(handle);
    struct stat status {};
    stat(lock.c_str(), &status);
    EXPECT_EQ(status.st_uid, OTHER_USER);
    EXPECT_EQ(status.st_gid, OTHER_USER);
  }
  // A folder that cannot be written gives its own error, not that of a later attempt.
  chmod(dir.path().c_str(), 0500);
  const WithoutFileOverrides as_others_are;
  int handle = -1;
  EXPECT_EQ(CFI_lock_file((dir / "other.lock").c_str(), nullptr, 0, &handle), EACCES);
}

TEST(Files, KeepFileAsGivesASecondNameOrACopyWithTheFileMode) {
  TempDir dir;
  const std::string path = dir / "values.dpv";
  write_file(path, "kept");
  chmod(path.c_str(), 0640);
  struct stat original {};
  ASSERT_EQ(stat(path.c_str(), &original), 0);

  // On the same file system: the same file under a second name.
  const std::string second = dir / "values.dpv.1";
  EXPECT_EQ(CFI_keep_file_as(path.c_str(), second.c_str()), 0);
  struct stat status {};
  ASSERT_EQ(stat(second.c_str(), &status), 0);
  EXPECT_EQ(status.st_ino, original.st_ino);
  EXPECT_EQ(CFI_keep_file_as(path.c_str(), second.c_str()), EEXIST);
  EXPECT_EQ(CFI_keep_file_as(path.c_str(), nullptr), EINVAL);

  // On another file system no second name can be given: a copy with the mode and owner.
  char other_dir[] = "/dev/shm/vuzodod-test-XXXXXX";
  struct stat shm {};
  if (stat("/dev/shm", &shm) != 0 || shm.st_dev == original.st_dev || !mkdtemp(other_dir)) {
    GTEST_SKIP() << "no second file system at /dev/shm";
  }
  const std::string copy = std::string(other_dir) + "/values.dpv.2";
  EXPECT_EQ(CFI_keep_file_as(path.c_str(), copy.c_str()), 0);
  ASSERT_EQ(stat(copy.c_str(), &status), 0);
  EXPECT_NE(status.st_ino, original.st_ino);
  EXPECT_EQ(status.st_mode & 07777, 0640u);
  EXPECT_EQ(status.st_uid, original.st_uid);
  EXPECT_EQ(read_file(copy), "kept");
  EXPECT_EQ(read_file(path), "kept");
  std::filesystem::remove_all(other_dir);
}
