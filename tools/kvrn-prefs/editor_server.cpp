// kvrn-prefs edit: the local HTTP server, its security rules and its routes.
#include "editor_server.h"

#include <httplib.h>
#include <sys/random.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

#include "editor_api.h"
#include "editor_assets.h"

namespace {

// 32 random bytes as hexadecimal; "" when the system gives none.
std::string random_token() {
  unsigned char bytes[32];
  if (getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) return "";
  std::string token;
  for (unsigned char byte : bytes) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02x", byte);
    token += pair;
  }
  return token;
}

// Compares in a time that does not depend on where the texts differ.
bool same_secret(const std::string& given, const std::string& secret) {
  if (given.size() != secret.size() || secret.empty()) return false;
  unsigned char differ = 0;
  for (std::size_t i = 0; i < secret.size(); ++i) {
    differ |= static_cast<unsigned char>(given[i] ^ secret[i]);
  }
  return differ == 0;
}

// The value of the named cookie in a Cookie header; "" when it is not there.
std::string cookie_value(const std::string& header, const std::string& name) {
  std::size_t at = 0;
  while (at < header.size()) {
    std::size_t end = header.find(';', at);
    if (end == std::string::npos) end = header.size();
    std::string pair = header.substr(at, end - at);
    pair.erase(0, pair.find_first_not_of(' '));
    if (pair.compare(0, name.size() + 1, name + "=") == 0) return pair.substr(name.size() + 1);
    at = end + 1;
  }
  return "";
}

void refuse(httplib::Response& res, int status, const char* why) {
  res.status = status;
  res.set_content(std::string(why) + "\n", "text/plain; charset=utf-8");
}

void send_json(httplib::Response& res, const json_document& answer) {
  res.set_content(json_text(answer), "application/json; charset=utf-8");
}

}  // namespace

struct editor_server::impl_s {
  editor_loop& loop;
  int level;
  editor_events& events;
  editor_live& live;
  httplib::Server http;
  std::string token;
  std::thread thread;
  std::atomic<bool> listening_ended{false};

  impl_s(editor_loop& editor, int edited, editor_events& streams, editor_live& changes)
      : loop(editor), level(edited), events(streams), live(changes) {}

  std::string cookie_name(int port) const { return "kvrn_editor_" + std::to_string(port); }

  // The security rules every request passes before any route sees it.
  httplib::Server::HandlerResponse check(const httplib::Request& req, httplib::Response& res,
                                         int port) {
    loop.touch();
    const std::string host = req.get_header_value("Host");
    const std::string port_text = ":" + std::to_string(port);
    if (host != "127.0.0.1" + port_text && host != "localhost" + port_text) {
      refuse(res, 403, "forbidden: this editor answers only to its loopback address");
      return httplib::Server::HandlerResponse::Handled;
    }
    const bool first_page = req.method == "GET" && req.path == "/" && req.has_param("token");
    const std::string given = first_page
                                  ? req.get_param_value("token")
                                  : cookie_value(req.get_header_value("Cookie"), cookie_name(port));
    if (!same_secret(given, token)) {
      refuse(res, 403, "forbidden: open the editor with the address that kvrn-prefs edit printed");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (req.method != "GET") {
      if (req.get_header_value("Origin") != "http://" + host) {
        refuse(res, 403, "forbidden: changes come only from the editor's own page");
        return httplib::Server::HandlerResponse::Handled;
      }
      if (req.get_header_value("Content-Type").rfind("application/json", 0) != 0) {
        refuse(res, 415, "a change is sent as JSON");
        return httplib::Server::HandlerResponse::Handled;
      }
    }
    return httplib::Server::HandlerResponse::Unhandled;
  }

  // Answers a JSON request on the library's thread.
  void answer(const httplib::Request& req, httplib::Response& res,
              const std::function<json_document(const json_document&)>& question) {
    const json_document request = json_document::parse(req.body, nullptr, false);
    if (request.is_discarded() || !request.is_object()) {
      refuse(res, 400, "the body is not a JSON object");
      return;
    }
    json_document reply;
    if (!loop.call([&] { reply = question(request); })) {
      refuse(res, 503, "the editor is closing");
      return;
    }
    send_json(res, reply);
  }

  // Answers what the page sees at a level on the library's thread, when the editor may edit
  // that level.
  void answer_level(httplib::Response& res, int asked,
                    const std::function<json_document()>& question) {
    json_document reply;
    if (!loop.call([&] {
          reply = editor_may_edit(asked)
                      ? question()
                      : json_document{{"error", "this editor cannot change that level"}};
        })) {
      refuse(res, 503, "the editor is closing");
      return;
    }
    if (reply.contains("error")) res.status = 400;
    send_json(res, reply);
  }

  void route(int port) {
    http.Get("/", [this, port](const httplib::Request& req, httplib::Response& res) {
      if (req.has_param("token")) {
        // The token moves into a cookie and out of the address bar and the history.
        res.set_header("Set-Cookie",
                       cookie_name(port) + "=" + token + "; Path=/; HttpOnly; SameSite=Strict");
        res.set_redirect("/", 303);
        return;
      }
      res.set_content(EDITOR_PAGE_HTML, "text/html; charset=utf-8");
    });
    http.Get("/editor.css", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(EDITOR_PAGE_CSS, "text/css; charset=utf-8");
    });
    http.Get("/editor.js", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(EDITOR_PAGE_JS, "text/javascript; charset=utf-8");
    });
    http.Get("/api/state", [this](const httplib::Request& req, httplib::Response& res) {
      const int asked =
          req.has_param("level") ? std::atoi(req.get_param_value("level").c_str()) : level;
      answer_level(res, asked, [asked] { return editor_state(asked); });
    });
    http.Get("/api/prefs", [this](const httplib::Request& req, httplib::Response& res) {
      const int asked = std::atoi(req.get_param_value("level").c_str());
      std::vector<std::string> names;
      const std::size_t count = req.get_param_value_count("name");
      for (std::size_t i = 0; i < count && i < EDITOR_LISTED_CHANGES; ++i) {
        names.push_back(req.get_param_value("name", i));
      }
      answer_level(res, asked, [&] { return editor_views(asked, names); });
    });
    http.Get("/api/events", [this](const httplib::Request&, httplib::Response& res) {
      const int stream = events.open();
      if (stream < 0) {
        refuse(res, 503, "too many pages of this editor are open, or it is closing");
        return;
      }
      res.set_chunked_content_provider(
          "text/event-stream",
          [this, stream](std::size_t, httplib::DataSink& sink) {
            std::string text;
            return events.next(stream, &text) && sink.write(text.data(), text.size());
          },
          [this, stream](bool) { events.close(stream); });
    });
    http.Post("/api/check", [this](const httplib::Request& req, httplib::Response& res) {
      answer(req, res, editor_check);
    });
    http.Post("/api/apply", [this](const httplib::Request& req, httplib::Response& res) {
      answer(req, res, [this](const json_document& request) {
        const auto page = request.find("page");
        const editor_live::applying by(live, page != request.end() && page->is_string()
                                                 ? page->get<std::string>()
                                                 : std::string());
        return editor_apply(request);
      });
    });
  }
};

editor_server::editor_server(editor_loop& loop, int level, editor_events& events, editor_live& live)
    : impl_(std::make_unique<impl_s>(loop, level, events, live)) {}

editor_server::~editor_server() {
  stop();
}

std::string editor_server::bind(int port) {
  impl_->token = random_token();
  if (impl_->token.empty()) return "the system gave no random bytes for the token";
  port_ = port == 0 ? impl_->http.bind_to_any_port("127.0.0.1")
                    : (impl_->http.bind_to_port("127.0.0.1", port) ? port : -1);
  if (port_ <= 0) {
    return "cannot listen on 127.0.0.1" + (port ? ":" + std::to_string(port) : std::string()) +
           " (is the port in use?)";
  }
  httplib::Server& http = impl_->http;
  // Workers for the pages' event streams beyond those that answer requests.
  http.new_task_queue = [] { return new httplib::ThreadPool(EDITOR_STREAM_LIMIT + 8); };
  http.set_payload_max_length(EDITOR_BODY_LIMIT);
  http.set_default_headers({
      {"Cache-Control", "no-store"},
      {"X-Content-Type-Options", "nosniff"},
      {"X-Frame-Options", "DENY"},
      {"Referrer-Policy", "no-referrer"},
      {"Content-Security-Policy",
       "default-src 'none'; script-src 'self'; style-src 'self'; connect-src 'self'; "
       "img-src 'self' data:; base-uri 'none'; form-action 'none'; frame-ancestors 'none'"},
  });
  const int bound = port_;
  http.set_pre_routing_handler([this, bound](const httplib::Request& req, httplib::Response& res) {
    return impl_->check(req, res, bound);
  });
  impl_->route(bound);
  return "";
}

std::string editor_server::url() const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/?token=" + impl_->token;
}

void editor_server::start() {
  impl_->thread = std::thread([this] {
    impl_->http.listen_after_bind();
    impl_->listening_ended = true;
  });
  // Stopping a server that has not begun to listen does nothing, and it would listen on: wait
  // until it listens (or has failed to), so that a stop at any time after this ends it.
  while (!impl_->http.is_running() && !impl_->listening_ended) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void editor_server::stop() {
  if (!impl_->thread.joinable()) return;
  // The streams' workers wait for events: they end first, or the server waits for them.
  impl_->events.close_all();
  impl_->http.stop();
  impl_->thread.join();
}
