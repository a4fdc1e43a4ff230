// kvrn-prefs edit: the loop of the tool's main thread, the one thread that calls the library.
// The HTTP server's threads hand it jobs and wait for their answers; it processes what the
// library's watch of the value files found (VERU_process_changes), and ends the editor when the
// tool is stopped (SIGINT, SIGTERM) or has been idle too long.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class editor_loop {
 public:
  // Blocks SIGINT and SIGTERM in the calling thread and the threads it starts from now on, so
  // that the loop receives them; call before starting other threads.
  editor_loop();
  ~editor_loop();
  editor_loop(const editor_loop&) = delete;
  editor_loop& operator=(const editor_loop&) = delete;

  // Runs job on the loop's thread and waits for it; false, without running it, once the loop
  // is ending. Called from other threads.
  bool call(const std::function<void()>& job);
  // Counts as activity for the idle timeout. Called from any thread.
  void touch();
  // Runs jobs and processes the changes of the value files (when VERU_watch_levels watches
  // them) until a stop signal arrives or nothing touched the loop for idle_seconds (0: no
  // limit). Jobs asked for after that are refused. The reason it ended ("stopped", "idle").
  const char* run(int idle_seconds);

 private:
  struct job_s;
  // Runs the jobs waiting now; refused when ending.
  void run_waiting(bool ending);

  int wake_fd_ = -1;    // an eventfd: a job is waiting
  int signal_fd_ = -1;  // SIGINT and SIGTERM
  std::mutex mutex_;
  std::condition_variable done_;
  std::deque<std::shared_ptr<job_s>> waiting_;
  bool ending_ = false;
  std::chrono::steady_clock::time_point last_touch_;
};
