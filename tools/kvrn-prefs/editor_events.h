// kvrn-prefs edit: the open event streams of the editor's pages (server-sent events). The
// library's thread publishes what changed; each stream's HTTP worker thread waits for it and
// writes it out.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>

// Each open stream holds one of the server's worker threads, so their number is bounded.
constexpr std::size_t EDITOR_STREAM_LIMIT = 8;

class editor_events {
 public:
  // heartbeat: how long a stream waits for events before it writes a comment instead, which
  // finds a page that has gone (its write fails) so that its thread is freed.
  explicit editor_events(std::chrono::milliseconds heartbeat = std::chrono::seconds(2));
  editor_events(const editor_events&) = delete;
  editor_events& operator=(const editor_events&) = delete;

  // A new stream, whose first event ("ready") is waiting already; -1 when EDITOR_STREAM_LIMIT
  // are open or the editor is closing.
  int open();
  // Forgets the stream: its connection has ended.
  void close(int stream);
  // Adds one event (a name and one line of data) to every open stream. A stream whose page has
  // not taken over 1 MiB of events is ended: the page reads everything again when it
  // reconnects. Called from any thread.
  void publish(const std::string& name, const std::string& data);
  // Waits up to the heartbeat for the stream's next events and gives the text to write (the
  // events, or a comment when none came); false when the stream is to end.
  bool next(int stream, std::string* text);
  // Ends every stream at once and refuses new ones, so that no server thread is left waiting.
  void close_all();

 private:
  struct stream_s {
    std::string waiting;
    bool ended = false;
  };
  std::chrono::milliseconds heartbeat_;
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::map<int, stream_s> streams_;
  int last_stream_ = 0;
  bool closing_ = false;
};
