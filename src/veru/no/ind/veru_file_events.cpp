// The kernel's file events on the folders of watched files, gathered with a periodic timer in
// one descriptor that a host can poll.
#include "veru_file_events.h"

#include <sys/epoll.h>
#include <sys/inotify.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>

namespace {

// What changes a file or a folder's list of names, and what ends a folder's watch.
constexpr std::uint32_t FOLDER_EVENTS = IN_CLOSE_WRITE | IN_MODIFY | IN_ATTRIB | IN_CREATE |
                                        IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF |
                                        IN_MOVE_SELF | IN_ONLYDIR;

class descriptor {
 public:
  explicit descriptor(int fd = -1) : fd_(fd) {}
  ~descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  descriptor(const descriptor&) = delete;
  descriptor& operator=(const descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

class kernel_file_events : public veru_file_events {
 public:
  kernel_file_events()
      : events_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)),
        timer_(timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC)),
        gathered_(epoll_create1(EPOLL_CLOEXEC)) {}

  // "" when ready, else why not.
  std::string start(int full_check_ms) {
    if (events_.get() < 0 || timer_.get() < 0 || gathered_.get() < 0) return std::strerror(errno);
    for (const int fd : {events_.get(), timer_.get()}) {
      epoll_event wanted{};
      wanted.events = EPOLLIN;
      wanted.data.fd = fd;
      if (epoll_ctl(gathered_.get(), EPOLL_CTL_ADD, fd, &wanted) != 0) return std::strerror(errno);
    }
    const timespec period{full_check_ms / 1000, (full_check_ms % 1000) * 1000000L};
    const itimerspec every{period, period};
    if (timerfd_settime(timer_.get(), 0, &every, nullptr) != 0) return std::strerror(errno);
    return "";
  }

  bool watch(const std::string& folder) override {
    const int wd = inotify_add_watch(events_.get(), folder.c_str(), FOLDER_EVENTS);
    if (wd < 0) return false;
    folders_[wd] = folder;
    return true;
  }

  bool is_watching(const std::string& folder) const override {
    for (const auto& watched : folders_) {
      if (watched.second == folder) return true;
    }
    return false;
  }

  int fd() const override { return gathered_.get(); }

  void read(std::vector<veru_file_event_s>* events) override {
    std::uint64_t expirations = 0;
    if (::read(timer_.get(), &expirations, sizeof expirations) > 0) {
      events->push_back({"", "", 0, true});
    }
    alignas(inotify_event) char buffer[16384];
    for (;;) {
      const ssize_t length = ::read(events_.get(), buffer, sizeof buffer);
      if (length <= 0) break;
      for (ssize_t at = 0; at < length;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        take(*event, events);
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
  }

 private:
  void take(const inotify_event& event, std::vector<veru_file_event_s>* events) {
    if (event.mask & IN_Q_OVERFLOW) {
      events->push_back({"", "", event.mask, true});
      return;
    }
    const auto watched = folders_.find(event.wd);
    if (watched == folders_.end()) return;
    const std::string folder = watched->second;
    if (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF)) {
      // The path no longer names this folder: its files are checked, and the folder is
      // watched again once it is there.
      inotify_rm_watch(events_.get(), event.wd);
    }
    if (event.mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) {
      folders_.erase(watched);
      events->push_back({folder, "", event.mask, true});
      return;
    }
    events->push_back({folder, event.len ? event.name : "", event.mask, false});
  }

  descriptor events_;
  descriptor timer_;
  descriptor gathered_;
  std::map<int, std::string> folders_;
};

}  // namespace

std::unique_ptr<veru_file_events> veru_kernel_file_events(int full_check_ms, std::string* reason) {
  auto events = std::make_unique<kernel_file_events>();
  *reason = events->start(full_check_ms);
  if (!reason->empty()) return nullptr;
  return events;
}

std::int64_t veru_monotonic_ms() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}
