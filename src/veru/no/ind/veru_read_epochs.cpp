// Epochs: readers announce when they start reading; the host's thread frees what it replaced once
// every reader still reading started after the replacement.
#include "veru_read_epochs.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

namespace {

// The epoch that readers starting now announce. The host's thread advances it at every
// retirement, so that a reader that announced a later epoch cannot hold what was retired.
std::atomic<std::uint64_t> current_epoch{1};

// One reader thread's announcement: the epoch its reading started in, 0 while it is not
// reading. On a cache line of its own, so that readers on different processors do not share one.
struct alignas(64) reader_slot_s {
  std::atomic<std::uint64_t> epoch{0};
  std::atomic<bool> taken{false};
  reader_slot_s* next = nullptr;  // set before the slot is published, then never changed
};

// Every slot ever made; slots are never freed, and a thread that ends leaves its slot to the next
// thread that reads.
std::atomic<reader_slot_s*> all_slots{nullptr};

reader_slot_s* new_slot() {
  auto* slot = new reader_slot_s();
  slot->taken.store(true, std::memory_order_relaxed);
  reader_slot_s* first = all_slots.load(std::memory_order_relaxed);
  do {
    slot->next = first;
  } while (!all_slots.compare_exchange_weak(first, slot, std::memory_order_release,
                                            std::memory_order_relaxed));
  return slot;
}

reader_slot_s* free_slot() {
  for (reader_slot_s* slot = all_slots.load(std::memory_order_acquire); slot; slot = slot->next) {
    bool taken = false;
    if (!slot->taken.load(std::memory_order_relaxed) &&
        slot->taken.compare_exchange_strong(taken, true, std::memory_order_acquire)) {
      return slot;
    }
  }
  return nullptr;
}

// The calling thread's slot, taken on its first reading and given back when the thread ends. A
// section inside another of the same thread keeps the outer one's announcement.
class thread_slot {
 public:
  ~thread_slot() {
    if (slot_) slot_->taken.store(false, std::memory_order_release);
  }

  // A reader that announces its epoch after the host's thread looked at its slot loads what that
  // thread published before looking: the announcement, the replacement and the look are
  // sequentially consistent, and the reader's loads follow its announcement.
  void enter() {
    if (depth_++ > 0) return;
    if (!slot_) {
      slot_ = free_slot();
      if (!slot_) slot_ = new_slot();
    }
    slot_->epoch.store(current_epoch.load(std::memory_order_seq_cst), std::memory_order_seq_cst);
  }

  void leave() {
    if (--depth_ == 0) slot_->epoch.store(0, std::memory_order_release);
  }

 private:
  reader_slot_s* slot_ = nullptr;
  int depth_ = 0;
};

thread_local thread_slot this_thread_slot;

struct retired_s {
  void* block;
  std::uint64_t epoch;
};

// Lives as long as the process, so that what waits in it stays reachable for a leak checker.
std::vector<retired_s>& retired() ABSL_EXCLUSIVE_LOCKS_REQUIRED(veru_host_thread) {
  static auto* waiting = new std::vector<retired_s>();
  return *waiting;
}

// The earliest epoch a reader that is reading now started in; the largest epoch when none is.
std::uint64_t earliest_reading_epoch() {
  std::uint64_t earliest = std::numeric_limits<std::uint64_t>::max();
  for (reader_slot_s* slot = all_slots.load(std::memory_order_acquire); slot; slot = slot->next) {
    const std::uint64_t epoch = slot->epoch.load(std::memory_order_seq_cst);
    if (epoch != 0 && epoch < earliest) earliest = epoch;
  }
  return earliest;
}

}  // namespace

veru_read_section::veru_read_section() {
  this_thread_slot.enter();
}

veru_read_section::~veru_read_section() {
  this_thread_slot.leave();
}

void veru_retire(void* block) {
  if (!block) return;
  std::vector<retired_s>& waiting = retired();
  waiting.push_back({block, current_epoch.fetch_add(1, std::memory_order_seq_cst)});
  // A reader that started in a later epoch than a block's started after the block was replaced.
  const std::uint64_t earliest = earliest_reading_epoch();
  std::size_t kept = 0;
  for (const retired_s& entry : waiting) {
    if (entry.epoch < earliest) {
      std::free(entry.block);
    } else {
      waiting[kept++] = entry;
    }
  }
  waiting.resize(kept);
}

int veru_retired_count() {
  return static_cast<int>(retired().size());
}
