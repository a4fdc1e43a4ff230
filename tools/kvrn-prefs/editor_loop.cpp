// kvrn-prefs edit: the main thread's loop of jobs, signals, the watch of the value files and the
// idle timeout.
#include "editor_loop.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>

#include "tool.h"

struct editor_loop::job_s {
  std::function<void()> run;
  bool finished = false;
  bool ran = false;
};

editor_loop::editor_loop() : last_touch_(std::chrono::steady_clock::now()) {
  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGINT);
  sigaddset(&stops, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stops, nullptr);
  signal_fd_ = signalfd(-1, &stops, SFD_CLOEXEC);
  wake_fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

editor_loop::~editor_loop() {
  if (wake_fd_ >= 0) close(wake_fd_);
  if (signal_fd_ >= 0) close(signal_fd_);
}

bool editor_loop::call(const std::function<void()>& job) {
  auto waiting = std::make_shared<job_s>();
  waiting->run = job;
  std::unique_lock<std::mutex> lock(mutex_);
  if (ending_) return false;
  waiting_.push_back(waiting);
  const std::uint64_t one = 1;
  if (write(wake_fd_, &one, sizeof one) < 0 && errno != EAGAIN) return false;
  done_.wait(lock, [&] { return waiting->finished; });
  return waiting->ran;
}

void editor_loop::touch() {
  std::lock_guard<std::mutex> lock(mutex_);
  last_touch_ = std::chrono::steady_clock::now();
}

void editor_loop::run_waiting(bool ending) {
  std::deque<std::shared_ptr<job_s>> jobs;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    jobs.swap(waiting_);
    if (ending) ending_ = true;
  }
  for (const auto& job : jobs) {
    if (!ending) job->run();
    std::lock_guard<std::mutex> lock(mutex_);
    job->ran = !ending;
    job->finished = true;
  }
  done_.notify_all();
}

namespace {

// The library's watch of the value files needs to be woken at its descriptor or its timeout.
void process_changes() {
  char* reason = nullptr;
  if (VERU_process_changes(&reason) != 0) {
    std::fprintf(stderr, "kvrn-prefs: %s\n", taken(reason).c_str());
  }
}

int earliest(int timeout_ms, int other_ms) {
  if (other_ms < 0) return timeout_ms;
  return timeout_ms < 0 ? other_ms : std::min(timeout_ms, other_ms);
}

}  // namespace

const char* editor_loop::run(int idle_seconds) {
  // Its jobs, the stop signals, and the watch of the value files when there is one (poll
  // passes over a descriptor of -1).
  pollfd watched[] = {{wake_fd_, POLLIN, 0}, {signal_fd_, POLLIN, 0}, {-1, POLLIN, 0}};
  for (;;) {
    int timeout_ms = -1;
    if (idle_seconds > 0) {
      std::chrono::steady_clock::time_point last;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        last = last_touch_;
      }
      const auto left =
          last + std::chrono::seconds(idle_seconds) - std::chrono::steady_clock::now();
      if (left <= std::chrono::steady_clock::duration::zero()) {
        run_waiting(true);
        return "idle";
      }
      timeout_ms =
          static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(left).count() + 1);
    }
    watched[2].fd = VERU_watch_fd();
    timeout_ms = earliest(timeout_ms, VERU_watch_timeout_ms());
    if (poll(watched, 3, timeout_ms) < 0 && errno != EINTR) break;
    if (watched[1].revents & POLLIN) {
      run_waiting(true);
      return "stopped";
    }
    if (watched[0].revents & POLLIN) {
      std::uint64_t count = 0;
      if (read(wake_fd_, &count, sizeof count) < 0 && errno != EAGAIN) break;
      run_waiting(false);
    }
    process_changes();
  }
  run_waiting(true);
  return "stopped";
}
