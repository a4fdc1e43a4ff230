// kvrn-prefs watch: one line for each preference that changes while it runs, as other programs
// change the value files.
#include <poll.h>
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <ctime>

#include "change_json.h"
#include "tool.h"

namespace {

struct watch_s {
  const command_line_s* line;
  int batches = 0;
};

bool is_wanted(const command_line_s& line, const VERU_change_s& change) {
  if (!change.name || line.arguments.empty()) return true;
  for (const std::string& prefix : line.arguments) {
    if (std::strncmp(change.name, prefix.c_str(), prefix.size()) == 0) return true;
  }
  return false;
}

std::string shown(const char* text) {
  return text ? text : "-";
}

// "Gateway_Autosave_Interval: 5 -> 7 (from user, not locked)".
std::string change_line(const VERU_change_s& change) {
  if (change.what & VERU_CHANGE_DEFINITIONS) {
    return "definitions changed: " + shown(change.new_value) + " (a restart reads them)";
  }
  if (!change.name) {
    return std::string("the ") + level_name(change.level) +
           " level's file: " + shown(change.old_value) + " -> " + shown(change.new_value);
  }
  std::string line = std::string(change.name) + ": " + shown(change.old_value) + " -> " +
                     shown(change.new_value) + " (from " + level_name(change.new_source);
  line += change.new_lock_level < 0
              ? std::string(", not locked")
              : std::string(", locked at ") + level_name(change.new_lock_level);
  if (change.what & VERU_CHANGE_COMMENT) line += ", comment changed";
  return line + ")";
}

void print_changes(const VERU_change_s* changes, int count, void* data) {
  auto* watch = static_cast<watch_s*>(data);
  bool printed = false;
  for (int i = 0; i < count; ++i) {
    if (!is_wanted(*watch->line, changes[i])) continue;
    const std::string text =
        watch->line->json ? json_text(change_json(changes[i])) : change_line(changes[i]);
    std::printf("%s\n", text.c_str());
    printed = true;
  }
  if (!printed) return;
  std::fflush(stdout);
  ++watch->batches;
}

volatile sig_atomic_t stopped = 0;

void stop(int) {
  stopped = 1;
}

// A whole number above 0 from an option's value; 0 when it is none.
long positive(const std::string& text) {
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  return !text.empty() && *end == '\0' && value > 0 ? value : 0;
}

}  // namespace

int run_watch(const command_line_s& line) {
  const long count = line.count.empty() ? 0 : positive(line.count);
  const long seconds = line.timeout.empty() ? 0 : positive(line.timeout);
  if ((!line.count.empty() && count == 0) || (!line.timeout.empty() && seconds == 0)) {
    return refuse(EXIT_USAGE, "--count and --timeout take a whole number above 0");
  }
  watch_s watch{&line};
  VERU_add_change_listener(nullptr, 0, print_changes, &watch);
  char* reason = nullptr;
  if (VERU_watch_levels(0, &reason) != 0) {
    return refuse(EXIT_REFUSED, "cannot watch the value files: " + taken(reason));
  }
  // SIGINT and SIGTERM end the watch, and are let in only while it waits, so that none is lost
  // between a check and the wait.
  sigset_t stopping;
  sigset_t waiting;
  sigemptyset(&stopping);
  sigaddset(&stopping, SIGINT);
  sigaddset(&stopping, SIGTERM);
  sigprocmask(SIG_BLOCK, &stopping, &waiting);
  struct sigaction action {};
  action.sa_handler = stop;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  std::fprintf(stderr, "kvrn-prefs: watching the value files (Ctrl-C stops)\n");
  timespec start{};
  clock_gettime(CLOCK_MONOTONIC, &start);
  while (!stopped && (count == 0 || watch.batches < count)) {
    long wait_ms = VERU_watch_timeout_ms();
    if (seconds > 0) {
      timespec now{};
      clock_gettime(CLOCK_MONOTONIC, &now);
      const long left_ms = seconds * 1000 - ((now.tv_sec - start.tv_sec) * 1000 +
                                             (now.tv_nsec - start.tv_nsec) / 1000000);
      if (left_ms <= 0) break;
      wait_ms = wait_ms < 0 ? left_ms : std::min(wait_ms, left_ms);
    }
    const timespec timeout{wait_ms / 1000, (wait_ms % 1000) * 1000000};
    pollfd watched{VERU_watch_fd(), POLLIN, 0};
    ppoll(&watched, 1, wait_ms < 0 ? nullptr : &timeout, &waiting);
    if (VERU_process_changes(&reason) != 0) {
      std::fprintf(stderr, "kvrn-prefs: %s\n", taken(reason).c_str());
    }
  }
  VERU_unwatch_levels();
  return EXIT_OK;
}
