// kvrn-prefs edit: the preferences editor in a browser, served on the loopback address until the
// tool is stopped or idle.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "editor_api.h"
#include "editor_live.h"
#include "editor_loop.h"
#include "editor_server.h"
#include "tool.h"

namespace {

// A whole number from 0 to limit written in text; -1 otherwise.
int whole_number(const std::string& text, int limit) {
  if (text.empty() || text.size() > 9 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return -1;
  }
  const int number = std::atoi(text.c_str());
  return number <= limit ? number : -1;
}

// Opens the address in the desktop's browser, in the background, when there is a desktop.
void open_browser(const std::string& url) {
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
    std::printf("no desktop to open a browser on: open the address above yourself\n");
    return;
  }
  const pid_t child = fork();
  if (child == 0) {
    execlp("xdg-open", "xdg-open", url.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
}

}  // namespace

int run_edit(const command_line_s& line) {
  if (!line.arguments.empty()) return refuse(EXIT_USAGE, "edit takes no arguments");
  const int level = line.level.empty() ? 3 : level_of(line.level);
  if (level < 0) return refuse(EXIT_USAGE, "--level takes site, group or user");
  const int port = line.port.empty() ? 0 : whole_number(line.port, 65535);
  if (port < 0) return refuse(EXIT_USAGE, "--port takes a port number from 0 to 65535");
  const int idle = line.idle_timeout.empty() ? 0 : whole_number(line.idle_timeout, 1 << 30);
  if (idle < 0) return refuse(EXIT_USAGE, "--idle-timeout takes a number of seconds");
  if (!editor_may_edit(level)) {
    return refuse(EXIT_REFUSED, std::string("the ") + level_name(level) +
                                    " level cannot be edited here: it is not defined, or its "
                                    "file cannot be written (see kvrn-prefs levels)");
  }
  // A page that goes away while its events are written ends its stream, not the editor.
  signal(SIGPIPE, SIG_IGN);
  editor_loop loop;
  editor_events events;
  editor_live live(events);
  editor_server server(loop, level, events, live);
  if (const std::string refusal = server.bind(port); !refusal.empty()) {
    return refuse(EXIT_REFUSED, refusal);
  }
  if (const std::string why = live.start(); !why.empty()) {
    std::fprintf(stderr,
                 "kvrn-prefs: changes that other programs make will not reach the page: %s\n",
                 why.c_str());
  }
  server.start();
  std::printf("editing the %s level at %s\n", level_name(level), server.url().c_str());
  std::printf(
      "stop with Ctrl+C%s\n",
      idle ? (" (or it stops after " + std::to_string(idle) + " s without a request)").c_str()
           : "");
  if (!line.no_browser) open_browser(server.url());
  std::fflush(stdout);
  const char* why = loop.run(idle);
  server.stop();
  std::printf("the editor %s\n",
              std::string(why) == "idle" ? "stopped after its idle time" : "stopped");
  return EXIT_OK;
}
