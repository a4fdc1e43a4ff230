// Batches of change records as tests read them.
#include "change_records.h"

namespace {

std::string rooted(const char* text, const std::string& root) {
  if (!text) return "(none)";
  std::string result = text;
  for (std::size_t at = root.empty() ? std::string::npos : result.find(root);
       at != std::string::npos; at = result.find(root, at)) {
    result.replace(at, root.size(), "ROOT");
  }
  return result;
}

std::string kinds(unsigned what) {
  static const char* const NAMES[] = {"value",   "lock",        "source",
                                      "comment", "level-state", "definitions"};
  std::string text;
  for (int bit = 0; bit < 6; ++bit) {
    if (!(what & (1u << bit))) continue;
    text += (text.empty() ? "" : " ") + std::string(NAMES[bit]);
  }
  return "[" + text + "]";
}

}  // namespace

std::string describe_change(const VERU_change_s& change, const std::string& root) {
  if (change.what & VERU_CHANGE_DEFINITIONS) {
    return "definitions: " + rooted(change.new_value, root) + " " + kinds(change.what);
  }
  if (!change.name) {
    return "level " + std::to_string(change.level) + ": " + rooted(change.old_value, root) +
           " -> " + rooted(change.new_value, root) + " " + kinds(change.what);
  }
  return std::string(change.name) + ": " + rooted(change.old_value, root) + " -> " +
         rooted(change.new_value, root) + ", from " + std::to_string(change.old_source) + " -> " +
         std::to_string(change.new_source) + ", locked " + std::to_string(change.old_lock_level) +
         " -> " + std::to_string(change.new_lock_level) + " " + kinds(change.what);
}

BatchRecorder::BatchRecorder(const char* name_or_prefix, unsigned what, std::string root)
    : root_(std::move(root)), id_(VERU_add_change_listener(name_or_prefix, what, record, this)) {}

BatchRecorder::~BatchRecorder() {
  VERU_remove_change_listener(id_);
}

void BatchRecorder::record(const VERU_change_s* changes, int count, void* data) {
  auto* recorder = static_cast<BatchRecorder*>(data);
  std::vector<std::string> batch;
  for (int i = 0; i < count; ++i) batch.push_back(describe_change(changes[i], recorder->root_));
  recorder->batches_.push_back(std::move(batch));
}
