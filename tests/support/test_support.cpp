// Helpers for the tests.
#include "test_support.h"

#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

void reset_host_defaults() {
  MACH__checking_level = 0;
  ERROR_set_log_sink(nullptr, nullptr);
  SHELL_set_folder_lookup(SHELL_default_folder_lookup);
}

}  // namespace

void HostDefaults::SetUp() {
  reset_host_defaults();
}

void HostDefaults::TearDown() {
  reset_host_defaults();
}

LogCapture::LogCapture() {
  ERROR_set_log_sink(&LogCapture::sink, this);
}

LogCapture::~LogCapture() {
  ERROR_set_log_sink(nullptr, nullptr);
}

void LogCapture::sink(const char* text, void* data) {
  static_cast<LogCapture*>(data)->text_ += text;
}

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/vuzodod-test-XXXXXX";
  if (!mkdtemp(&pattern[0])) ADD_FAILURE() << "cannot make a temporary directory";
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

WithoutFileOverrides::WithoutFileOverrides() {
  syscall(SYS_capget, &header_, saved_);
  __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
  for (const int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH}) {
    lowered[capability / 32].effective &= ~(1u << (capability % 32));
  }
  syscall(SYS_capset, &header_, lowered);
}

WithoutFileOverrides::~WithoutFileOverrides() {
  syscall(SYS_capset, &header_, saved_);
}

bool can_give_files_away() {
  const TempDir dir;
  const std::string probe = dir / "probe";
  write_file(probe, "");
  return lchown(probe.c_str(), OTHER_USER, OTHER_USER) == 0;
}

void write_file(const std::string& path, const std::string& contents) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << contents;
  if (!out) ADD_FAILURE() << "cannot write " << path;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

bool file_exists(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0;
}

void make_directories(const std::string& path) {
  std::filesystem::create_directories(path);
}

std::set<std::string> directory_entries(const std::string& directory) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

int occurrences(const std::string& text, const std::string& part) {
  int count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

bool has_position_after(const std::string& text, const std::string& prefix) {
  for (std::size_t at = text.find(prefix); at != std::string::npos;
       at = text.find(prefix, at + 1)) {
    std::size_t next = at + prefix.size();
    bool whole = true;
    for (const char* separator : {":", ": "}) {
      const std::size_t digits = next;
      while (next < text.size() && text[next] >= '0' && text[next] <= '9') ++next;
      whole = whole && next > digits && text.compare(next, std::strlen(separator), separator) == 0;
      next += std::strlen(separator);
    }
    if (whole) return true;
  }
  return false;
}

int raised_code(const std::function<void()>& body, std::string* what) {
  try {
    body();
  } catch (const TQS::Error::Exception& error) {
    if (what) *what = error.what();
    return error.askCode();
  }
  return -1;
}

std::vector<unsigned> fixed_id_block(std::size_t first, std::size_t count) {
  std::vector<unsigned> ids;
  for (std::size_t i = 0; i < count; ++i)
    ids.push_back(0x80000000u + static_cast<unsigned>(first + i));
  return ids;
}
