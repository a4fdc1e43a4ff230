// A watching host and the other process that changes its files, in each mode of watching.
#include "watch_host.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "tool_run.h"

namespace {

std::int64_t test_now = 1000000;

std::int64_t test_clock() {
  return test_now;
}

std::string folder_of(const std::string& path) {
  return path.substr(0, path.find_last_of('/'));
}

std::string name_of(const std::string& path) {
  return path.substr(path.find_last_of('/') + 1);
}

}  // namespace

const char* mode_name(WatchMode mode) {
  switch (mode) {
    case WatchMode::injected:
      return "injected";
    case WatchMode::kernel:
      return "kernel";
    default:
      return "polling";
  }
}

bool InjectedEvents::watch(const std::string& folder) {
  folders_.insert(folder);
  return true;
}

bool InjectedEvents::is_watching(const std::string& folder) const {
  return folders_.count(folder) > 0;
}

void InjectedEvents::read(std::vector<veru_file_event_s>* events) {
  events->insert(events->end(), events_.begin(), events_.end());
  events_.clear();
}

void InjectedEvents::add(const std::string& path, std::uint32_t mask) {
  if (folders_.count(folder_of(path))) events_.push_back({folder_of(path), name_of(path), mask});
}

void InjectedEvents::overflow() {
  events_.push_back({"", "", IN_Q_OVERFLOW, true});
}

WatchingHost::WatchingHost(const Installation& installation, WatchMode mode,
                           const std::function<void()>& before_watching)
    : installation_(installation), mode_(mode), recorder_(nullptr, 0, installation.root()) {
  installation.use_environment();
  unsetenv("KVRN_WATCH");
  if (mode == WatchMode::polling) {
    setenv("KVRN_WATCH", "poll", 1);
    setenv("KVRN_WATCH_POLL_MS", "100", 1);
  }
  if (mode == WatchMode::injected) {
    veru_watch_use_clock(test_clock);
    veru_watch_use_events(&events_);
  }
  VERU_init_module();
  if (before_watching) before_watching();
  char* reason = nullptr;
  EXPECT_EQ(VERU_watch_levels(0, &reason), 0) << (reason ? reason : "");
  SM_free(reason);
}

WatchingHost::~WatchingHost() {
  VERU_unwatch_levels();
  veru_watch_use_events(nullptr);
  veru_watch_use_clock(nullptr);
}

void WatchingHost::run_for(int ms) {
  if (mode_ == WatchMode::injected) {
    // The events handed in are there at once; then the loop sleeps until the next timeout.
    const std::int64_t end = test_now + ms;
    for (;;) {
      VERU_process_changes(nullptr);
      if (test_now >= end) return;
      const int timeout = VERU_watch_timeout_ms();
      test_now += timeout < 0 ? end - test_now : std::min<std::int64_t>(timeout, end - test_now);
    }
  }
  const std::int64_t end = veru_monotonic_ms() + ms;
  for (std::int64_t now = veru_monotonic_ms(); now < end; now = veru_monotonic_ms()) {
    const int timeout = VERU_watch_timeout_ms();
    const int left = static_cast<int>(end - now);
    pollfd watched{VERU_watch_fd(), POLLIN, 0};
    poll(&watched, 1, timeout < 0 ? left : std::min(timeout, left));
    VERU_process_changes(nullptr);
  }
}

void WatchingHost::replace(const std::string& path, const std::string& content) {
  const std::string temporary = folder_of(path) + "/." + name_of(path) + ".Xy12Zq";
  write_file(temporary, content);
  events_.add(temporary, IN_CREATE);
  events_.add(temporary, IN_CLOSE_WRITE);
  rename(temporary.c_str(), path.c_str());
  events_.add(temporary, IN_MOVED_FROM);
  events_.add(path, IN_MOVED_TO);
}

void WatchingHost::truncate(const std::string& path) {
  close(open(path.c_str(), O_WRONLY | O_TRUNC));
  events_.add(path, IN_MODIFY);
  events_.add(path, IN_CLOSE_WRITE);
}

void WatchingHost::append(const std::string& path, const std::string& content) {
  write_file(path, read_file(path) + content);
  events_.add(path, IN_MODIFY);
  events_.add(path, IN_CLOSE_WRITE);
}

void WatchingHost::write_new(const std::string& path, const std::string& content) {
  write_file(path, content);
  events_.add(path, IN_CREATE);
  events_.add(path, IN_MODIFY);
  events_.add(path, IN_CLOSE_WRITE);
}

void WatchingHost::rename_aside(const std::string& path) {
  rename(path.c_str(), (path + "~").c_str());
  events_.add(path, IN_MOVED_FROM);
  events_.add(path + "~", IN_MOVED_TO);
}

void WatchingHost::remove(const std::string& path) {
  unlink(path.c_str());
  events_.add(path, IN_DELETE);
}

void WatchingHost::touch(const std::string& path) {
  const timespec later[2] = {{0, UTIME_NOW}, {0, UTIME_NOW}};
  utimensat(AT_FDCWD, path.c_str(), later, 0);
  events_.add(path, IN_ATTRIB);
}

void WatchingHost::tool(const std::vector<std::string>& arguments) {
  const std::vector<std::string> environment = {"KVRN_BASE_DIR=" + installation_.base_dir(),
                                                "KVRN_SITE_DIR=" + installation_.level_dir(1),
                                                "KVRN_GROUP_DIR=" + installation_.level_dir(2),
                                                "KVRN_USER_DIR=" + installation_.level_dir(3)};
  const ToolResult result = run_tool(environment, arguments);
  EXPECT_EQ(result.status, 0) << result.err;
  // What the kernel reports of a save: the lock file, the new file renamed over the old one.
  for (int level = 1; level <= 3; ++level) {
    events_.add(installation_.value_file(level) + ".lock", IN_CLOSE_WRITE);
    events_.add(installation_.value_file(level), IN_MOVED_TO);
  }
}

void WatchingHost::lose_events(const std::string& path, const std::string& content) {
  write_file(path, content);
  events_.overflow();
}
