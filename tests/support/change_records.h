// Batches of change records as tests read them: one line per record.
#pragma once

#include <veru.h>

#include <string>
#include <vector>

// "Count: 20 -> 30, from 3 -> 3, locked -1 -> -1 [value]"; a level-wide record
// "level 3: loaded -> no file [level-state]" or "definitions: FILE [definitions]". Texts that
// start with root have it replaced by "ROOT".
std::string describe_change(const VERU_change_s& change, const std::string& root = "");

// A listener that keeps every batch it is given, as lines.
class BatchRecorder {
 public:
  explicit BatchRecorder(const char* name_or_prefix = nullptr, unsigned what = 0,
                         std::string root = "");
  ~BatchRecorder();
  BatchRecorder(const BatchRecorder&) = delete;
  BatchRecorder& operator=(const BatchRecorder&) = delete;
  const std::vector<std::vector<std::string>>& batches() const { return batches_; }
  void clear() { batches_.clear(); }

 private:
  static void record(const VERU_change_s* changes, int count, void* data);
  std::string root_;
  int id_;
  std::vector<std::vector<std::string>> batches_;
};
