// kvrn-prefs edit: the editor's local HTTP server. It listens on the loopback address only,
// serves the page embedded in the program and its JSON interface, and refuses every request
// that lacks the token (403), names another host (403, against DNS rebinding), changes state
// from another origin or without a JSON body (403, 415), or sends more than 64 KiB (413). It
// sends no CORS headers. The library is reached only through the editor loop. Each page keeps
// one stream of events open (/api/events), which tells it what changed meanwhile.
#pragma once

#include <memory>
#include <string>

#include "editor_events.h"
#include "editor_live.h"
#include "editor_loop.h"

constexpr std::size_t EDITOR_BODY_LIMIT = 64 * 1024;

class editor_server {
 public:
  // The pages' streams are fed from events; live knows which page's Apply runs.
  editor_server(editor_loop& loop, int level, editor_events& events, editor_live& live);
  ~editor_server();
  editor_server(const editor_server&) = delete;
  editor_server& operator=(const editor_server&) = delete;

  // Binds 127.0.0.1 on the port (0: a free one) and makes a new random token. "" when bound,
  // otherwise why not.
  std::string bind(int port);
  int port() const { return port_; }
  // The address that opens the editor, with the token.
  std::string url() const;
  // Serves on threads of its own until stop.
  void start();
  // Ends the event streams and the server, and waits for its threads.
  void stop();

 private:
  struct impl_s;
  std::unique_ptr<impl_s> impl_;
  int port_ = 0;
};
