// A host that watches its installation's value files, and the other process that changes them:
// driven by a clock and file events of the test's own, by the kernel's file events, or by polling,
// so that one table of scenarios runs the same way in each.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "change_records.h"
#include "installation.h"
#include "veru_file_events.h"

enum class WatchMode { injected, kernel, polling };
const char* mode_name(WatchMode mode);

// File events that the test hands to the watch itself.
class InjectedEvents : public veru_file_events {
 public:
  bool watch(const std::string& folder) override;
  bool is_watching(const std::string& folder) const override;
  int fd() const override { return -1; }
  void read(std::vector<veru_file_event_s>* events) override;
  void add(const std::string& path, std::uint32_t mask);
  void overflow();

 private:
  std::set<std::string> folders_;
  std::vector<veru_file_event_s> events_;
};

class WatchingHost {
 public:
  // Starts the module on the installation and watches it in the mode, after running
  // before_watching when given; every batch a listener gets is kept.
  WatchingHost(const Installation& installation, WatchMode mode,
               const std::function<void()>& before_watching = {});
  ~WatchingHost();

  const std::vector<std::vector<std::string>>& batches() const { return recorder_.batches(); }
  // Runs the host's loop for ms milliseconds (of the test's clock when it injects events).
  void run_for(int ms);

  // What other programs do to a value file (level 1 to 3) or a definition file (level 0, the
  // path of one under base/kvrn): each makes the events the kernel would report for it.
  void replace(const std::string& path, const std::string& content);  // new file renamed in place
  void truncate(const std::string& path);
  void append(const std::string& path, const std::string& content);
  void write_new(const std::string& path, const std::string& content);  // made, written, closed
  void rename_aside(const std::string& path);
  void remove(const std::string& path);
  void touch(const std::string& path);
  // kvrn-prefs run as another process on the installation.
  void tool(const std::vector<std::string>& arguments);
  // The kernel's queue overflowed: the events of changes made meanwhile are lost.
  void lose_events(const std::string& path, const std::string& content);

 private:
  const Installation& installation_;
  WatchMode mode_;
  InjectedEvents events_;
  BatchRecorder recorder_;
};
