// Helpers for the tests: capturing the log, temporary directories and files, and running code
// that must raise a host error.
#pragma once

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <veru.h>

#include <algorithm>
#include <functional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

// Fixture of tests that change the host's process-wide settings: each test starts and ends with
// the defaults (checking level 0, the log on standard error, the platform's folder lookup), so
// that tests pass in any order and in one process.
class HostDefaults : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

// Captures every log line written while it lives.
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  const std::string& text() const { return text_; }
  bool contains(const std::string& line) const { return text_.find(line) != std::string::npos; }
  void clear() { text_.clear(); }

 private:
  static void sink(const char* text, void* data);
  std::string text_;
};

// A directory under the system's temporary folder, removed with its contents at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  // The path of name inside the directory.
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Takes from this thread the capabilities that let the superuser read and write any file, so
// that permission bits hold for root too; gives them back at the end. Nothing changes for
// other users.
class WithoutFileOverrides {
 public:
  WithoutFileOverrides();
  ~WithoutFileOverrides();
  WithoutFileOverrides(const WithoutFileOverrides&) = delete;
  WithoutFileOverrides& operator=(const WithoutFileOverrides&) = delete;

 private:
  __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved_[2]{};
};

// The user and group that tests give files "planted by another user"; only the superuser can.
constexpr unsigned OTHER_USER = 65534;
bool can_give_files_away();

void write_file(const std::string& path, const std::string& contents);
std::string read_file(const std::string& path);
// The lines of a text, without their line feeds.
std::vector<std::string> lines_of(const std::string& text);
bool file_exists(const std::string& path);
void make_directories(const std::string& path);
// The names in a directory, to see that nothing was left beside a file.
std::set<std::string> directory_entries(const std::string& directory);

// Whether text holds part; how many times it holds it, overlapping ones too.
bool contains(const std::string& text, const std::string& part);
int occurrences(const std::string& text, const std::string& part);

// Whether text holds prefix followed at once by a parser's position, "<line>:<column>: ".
bool has_position_after(const std::string& text, const std::string& prefix);

// The code of the host error that body raises; -1 when it returns normally. what receives the
// raised text when it is not null.
int raised_code(const std::function<void()>& body, std::string* what = nullptr);

// The fixed object ids of count classes or attributes of a schema whose numbers run from first
// on without gaps: 0x80000000 plus each number, in increasing order.
std::vector<unsigned> fixed_id_block(std::size_t first, std::size_t count);

// What a test needs in order to go on: what is null ends the test as a failure, not a crash.
// (GoogleTest reports the exception as the test's failure.)
template <class T>
T* required(T* found, const std::string& what) {
  if (!found) throw std::runtime_error(what + " is missing");
  return found;
}
// A text of the library or the XML service, "(null)" where there is none, for comparisons.
inline std::string or_null(const char* text) {
  return text ? text : "(null)";
}

template <class T>
std::vector<T> sorted(std::vector<T> items) {
  std::sort(items.begin(), items.end());
  return items;
}
