// Where the watch of the value files learns what happened to them: the kernel's file events on
// their folders, or events that a test hands in, and the clock that settling and polling read.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One event of a folder. mask holds the kernel's IN_* bits; an event that concerns no single
// file (a lost queue, the periodic full check) has an empty name.
struct veru_file_event_s {
  std::string folder;
  std::string name;
  std::uint32_t mask = 0;
  // Set when every watched file must be checked: events were lost, a watched folder went, or
  // the periodic full check is due.
  bool check_all = false;
};

class veru_file_events {
 public:
  virtual ~veru_file_events() = default;
  // Starts reporting the events of a folder; false when they cannot be had (its files are then
  // polled).
  virtual bool watch(const std::string& folder) = 0;
  // Whether the folder's events are still reported (a folder that went is no longer).
  virtual bool is_watching(const std::string& folder) const = 0;
  // The descriptor that becomes readable when there are events; -1 when there is none.
  virtual int fd() const = 0;
  // Appends the events that have happened, without waiting.
  virtual void read(std::vector<veru_file_event_s>* events) = 0;
};

// The kernel's events, with a full check of every file every full_check_ms through the same
// descriptor; null, with *reason, when they cannot be had.
std::unique_ptr<veru_file_events> veru_kernel_file_events(int full_check_ms, std::string* reason);

// Milliseconds of a monotonic clock.
using veru_clock_f = std::int64_t (*)();
std::int64_t veru_monotonic_ms();

// For tests: the clock that the watch reads from then on (veru_monotonic_ms by default), and
// events handed in instead of the kernel's from the next VERU_watch_levels on (null: the
// kernel's again). The watch does not own the events given.
void veru_watch_use_clock(veru_clock_f clock);
void veru_watch_use_events(veru_file_events* events);
