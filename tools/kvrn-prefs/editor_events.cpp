// kvrn-prefs edit: the pages' event streams.
#include "editor_events.h"

namespace {

constexpr std::size_t WAITING_LIMIT = 1 << 20;

// One event of the text/event-stream format; data holds no line break.
std::string event_text(const std::string& name, const std::string& data) {
  return "event: " + name + "\ndata: " + data + "\n\n";
}

}  // namespace

editor_events::editor_events(std::chrono::milliseconds heartbeat) : heartbeat_(heartbeat) {}

int editor_events::open() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (closing_ || streams_.size() >= EDITOR_STREAM_LIMIT) return -1;
  // A page that loses its stream asks again after two seconds.
  streams_[++last_stream_].waiting = "retry: 2000\n" + event_text("ready", "{}");
  return last_stream_;
}

void editor_events::close(int stream) {
  std::lock_guard<std::mutex> lock(mutex_);
  streams_.erase(stream);
}

void editor_events::publish(const std::string& name, const std::string& data) {
  const std::string text = event_text(name, data);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& [id, stream] : streams_) {
      if (stream.waiting.size() + text.size() > WAITING_LIMIT) stream.ended = true;
      if (!stream.ended) stream.waiting += text;
    }
  }
  arrived_.notify_all();
}

bool editor_events::next(int stream, std::string* text) {
  std::unique_lock<std::mutex> lock(mutex_);
  auto found = streams_.find(stream);
  if (found == streams_.end()) return false;
  stream_s& open = found->second;
  arrived_.wait_for(lock, heartbeat_,
                    [&] { return closing_ || open.ended || !open.waiting.empty(); });
  if (closing_ || open.ended) return false;
  *text = open.waiting.empty() ? std::string(":\n\n") : std::move(open.waiting);
  open.waiting.clear();
  return true;
}

void editor_events::close_all() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  arrived_.notify_all();
}
