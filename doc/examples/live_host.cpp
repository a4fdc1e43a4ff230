// A host that follows the preferences as other programs change them: it watches the value files
// from its own poll() loop and prints each change its listener is told.
//   c++ -std=c++17 live_host.cpp $(pkg-config --cflags --libs vuzodod) -o live_host
//   live_host [NAME] [BATCHES]   stops after BATCHES batches (default: runs until interrupted)
#include <poll.h>
#include <veru.h>

#include <cstdio>
#include <cstdlib>

namespace {

void print_changes(const VERU_change_s* changes, int count, void* data) {
  for (int i = 0; i < count; ++i) {
    const VERU_change_s& change = changes[i];
    if (!change.name) {
      std::printf("level %d: %s\n", change.level, change.new_value ? change.new_value : "");
      continue;
    }
    std::printf("%s: %s -> %s (from level %d to %d, locked at %d -> %d)\n", change.name,
                change.old_value ? change.old_value : "(none)",
                change.new_value ? change.new_value : "(none)", change.old_source,
                change.new_source, change.old_lock_level, change.new_lock_level);
  }
  std::fflush(stdout);
  ++*static_cast<int*>(data);
}

}  // namespace

int main(int argc, char** argv) {
  const char* name = argc > 1 ? argv[1] : "";
  const int batches_wanted = argc > 2 ? std::atoi(argv[2]) : 0;
  try {
    VERU_init_module();
  } catch (const TQS::Error::Exception& error) {
    std::fprintf(stderr, "cannot start: %s\n", error.what());
    return 1;
  }
  int batches = 0;
  VERU_add_change_listener(name, 0, print_changes, &batches);
  char* reason = nullptr;
  if (VERU_watch_levels(0, &reason) != 0) {
    std::fprintf(stderr, "cannot watch: %s\n", reason);
    SM_free(reason);
    return 1;
  }
  std::printf("watching\n");
  std::fflush(stdout);
  while (batches_wanted == 0 || batches < batches_wanted) {
    pollfd watched{VERU_watch_fd(), POLLIN, 0};
    // A descriptor of -1 is passed over by poll(): the timeout alone wakes the loop then.
    if (poll(&watched, 1, VERU_watch_timeout_ms()) < 0) break;
    if (VERU_process_changes(&reason) != 0) {
      std::fprintf(stderr, "%s\n", reason);
      SM_free(reason);
    }
  }
  VERU_unwatch_levels();
  return 0;
}
