// Watching the value files from the host's own event loop: which files changed, when they have
// settled, reading them again, and telling the listeners what that changed.
#include <sys/stat.h>
#include <sys/vfs.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "veru_changes.h"
#include "veru_file_events.h"
#include "veru_level_reload.h"
#include "veru_levels.h"
#include "veru_sm_string.h"
#include "veru_watch.h"
#include "veru_xml.h"

namespace {

// A file is read again this long after its last change, and at most this long after its first.
constexpr int SETTLE_MS = 300;
constexpr int SETTLE_CAP_MS = 2000;
constexpr int DEFAULT_POLL_MS = 5000;
constexpr int FULL_CHECK_MS = 15 * 60 * 1000;

// What tells a file from another put in its place or changed since.
CFI_file_identity_s identity_of(const std::string& path) {
  CFI_file_identity_s identity;
  CFI_ask_file_identity(path.c_str(), &identity);
  return identity;
}

std::size_t content_hash(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  return std::hash<std::string>()(content);
}

// File systems whose changes made from other machines the kernel does not report.
bool is_remote(const std::string& folder) {
  struct statfs status {};
  if (statfs(folder.c_str(), &status) != 0) return false;
  switch (static_cast<unsigned long>(status.f_type)) {
    case 0x6969:      // NFS
    case 0x517B:      // SMB
    case 0xFF534D42:  // CIFS
    case 0xFE534D42:  // SMB2
    case 0x65735546:  // FUSE
    case 0x01021997:  // 9P
    case 0x00C36400:  // Ceph
    case 0x5346414F:  // AFS
      return true;
    default:
      return false;
  }
}

std::string folder_of(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string name_of(const std::string& path) {
  return path.substr(path.find_last_of('/') + 1);
}

struct watched_file_s {
  std::string path;
  std::string folder;
  std::string name;
  int level;                      // 1 to 3 for a value file, 0 for a definition file
  bool polled;                    // its folder's changes are not reported: its identity is checked
  CFI_file_identity_s seen;       // the file as last read or written
  CFI_file_identity_s last_poll;  // the file as the last poll found it
  std::size_t content = 0;        // a definition file's content, as the start-up read it
  std::string failure;            // why the file last failed to load, once told
  bool reread = false;            // the level was read again without queries following
  bool pending = false;
  std::int64_t first = 0;
  std::int64_t due = 0;
};

struct watch_s {
  std::unique_ptr<veru_file_events> kernel_events;
  veru_file_events* events = nullptr;  // the kernel's or a test's; null when polling only
  std::vector<watched_file_s> files;
  int poll_ms = DEFAULT_POLL_MS;
  std::int64_t next_poll = 0;
  std::int64_t next_full_check = 0;
  // What queries answered before levels were read again without them following, to compare
  // with at the next processing.
  std::unique_ptr<veru_change_batch> reread_changes;
};

std::unique_ptr<watch_s> watch;
veru_clock_f clock_ms = veru_monotonic_ms;
veru_file_events* injected_events = nullptr;

int refuse(char** reason, const std::string& why) {
  if (reason) *reason = SM_string_copy(why.c_str());
  return VERU_ERROR_WATCH_FAILED;
}

int poll_interval() {
  const veru_sm_string value = veru_owned(ENV_translate_variable("KVRN_WATCH_POLL_MS"));
  const long ms = value ? std::strtol(value.get(), nullptr, 10) : 0;
  return ms > 0 && ms <= FULL_CHECK_MS ? static_cast<int>(ms) : DEFAULT_POLL_MS;
}

bool polling_asked(unsigned flags) {
  const veru_sm_string value = veru_owned(ENV_translate_variable("KVRN_WATCH"));
  return (flags & VERU_WATCH_POLL_ONLY) || (value && std::string(value.get()) == "poll");
}

void add_file(const std::string& path, int level) {
  watched_file_s file;
  file.path = path;
  file.folder = folder_of(path);
  file.name = name_of(path);
  file.level = level;
  file.last_poll = identity_of(path);
  // A value file is compared with the file its level last read or wrote, so that a change
  // made since the start is read at the first processing.
  file.seen = level == 0 ? file.last_poll : veru_level_file_identity(level);
  if (level == 0) file.content = content_hash(path);
  watch->files.push_back(std::move(file));
}

// Watches each file's folder through the events, where they can be had; the other files are
// polled.
void arm(watch_s* state) {
  for (watched_file_s& file : state->files) {
    file.polled = !state->events || is_remote(file.folder) ||
                  (!state->events->is_watching(file.folder) && !state->events->watch(file.folder));
  }
}

bool any_polled(const watch_s& state) {
  return std::any_of(state.files.begin(), state.files.end(),
                     [](const watched_file_s& file) { return file.polled; });
}

bool kernel_reports(const watch_s& state) {
  return state.events && state.events->fd() >= 0 &&
         std::any_of(state.files.begin(), state.files.end(),
                     [](const watched_file_s& file) { return !file.polled; });
}

void mark_changed(watched_file_s* file, std::int64_t now) {
  if (!file->pending) {
    file->pending = true;
    file->first = now;
  }
  file->due = std::min(now + SETTLE_MS, file->first + SETTLE_CAP_MS);
}

// Takes in what the events say, what polling finds and the periodic full check.
void note_changes(std::int64_t now) {
  std::vector<veru_file_event_s> events;
  if (watch->events) watch->events->read(&events);
  bool check_all = false;
  for (const veru_file_event_s& event : events) {
    check_all |= event.check_all;
    for (watched_file_s& file : watch->files) {
      if (!event.check_all && file.folder == event.folder && file.name == event.name) {
        mark_changed(&file, now);
      }
    }
  }
  if (check_all) {
    arm(watch.get());  // a folder that went is watched again once it is back
    for (watched_file_s& file : watch->files) mark_changed(&file, now);
  }
  if (any_polled(*watch) && now >= watch->next_poll) {
    watch->next_poll = now + watch->poll_ms;
    arm(watch.get());
    for (watched_file_s& file : watch->files) {
      if (!file.polled) continue;
      const CFI_file_identity_s identity = identity_of(file.path);
      if (!CFI_is_same_file(identity, file.last_poll)) mark_changed(&file, now);
      file.last_poll = identity;
    }
  }
  if (!kernel_reports(*watch) && now >= watch->next_full_check) {
    watch->next_full_check = now + FULL_CHECK_MS;
    for (watched_file_s& file : watch->files) mark_changed(&file, now);
  }
}

// A definition file is not read again: a change of its content asks for a restart.
void settle_definition_file(watched_file_s* file, veru_change_batch* changes) {
  file->pending = false;
  file->seen = identity_of(file->path);
  const std::size_t content = content_hash(file->path);
  if (content == file->content) return;
  file->content = content;
  changes->definitions(file->path);
}

// A value file that has settled: read again when it changed, unless it does not parse, in which
// case the level keeps its values and the failure is told once the file has had its time.
void settle_value_file(watched_file_s* file, std::int64_t now,
                       std::vector<veru_level_file_s>* reads, veru_change_batch* changes) {
  veru_level_s& level = veru_level(file->level);
  if (level.lock_holders > 0) {
    file->due = now + SETTLE_MS;  // this process is editing the level: after its save
    return;
  }
  const CFI_file_identity_s identity = identity_of(file->path);
  if (CFI_is_same_file(identity, file->seen) && !file->reread) {
    file->pending = false;
    return;
  }
  if (!identity.exists) {
    file->pending = false;
    file->seen = identity;
    reads->push_back({file->level, {}, std::exchange(file->reread, false)});
    return;
  }
  veru_character_checking_off checking_off;
  veru_parsed_file parsed;
  const int status = parsed.parse(file->path.c_str(), file->level);
  if (!CFI_is_same_file(identity_of(file->path), identity)) {
    file->due = now + SETTLE_MS;  // still being written
    return;
  }
  if (status != 0) {
    if (now < file->first + SETTLE_CAP_MS) {
      file->due = file->first + SETTLE_CAP_MS;  // perhaps half-way through a rewrite
      return;
    }
    file->pending = false;
    file->seen = identity;
    const std::string failure = parsed.error_text() ? parsed.error_text() : "not well-formed";
    if (failure == file->failure) return;
    file->failure = failure;
    const std::string old_state = veru_level_state_text(file->level);
    level.load_state = VERU_LOAD_FAILED;
    level.load_failure = failure;
    changes->level_state(file->level, old_state, failure);
    return;
  }
  file->pending = false;
  file->seen = identity;
  file->failure.clear();
  reads->push_back({file->level, std::move(parsed), std::exchange(file->reread, false)});
}

}  // namespace

void veru_watch_use_clock(veru_clock_f clock) {
  clock_ms = clock ? clock : veru_monotonic_ms;
}

void veru_watch_use_events(veru_file_events* events) {
  injected_events = events;
}

void veru_watch_reread(int level) {
  if (!watch) return;
  if (!watch->reread_changes)
    watch->reread_changes = std::make_unique<veru_change_batch>(VERU_CAUSE_FILE);
  watch->reread_changes->before_all(level);
  for (watched_file_s& file : watch->files) {
    if (file.level != level) continue;
    file.reread = true;
    mark_changed(&file, clock_ms());
    file.due = file.first;  // nothing to settle: the level was just read
  }
}

void veru_watch_edited(VERU_pref* pref) {
  if (watch && watch->reread_changes) watch->reread_changes->renote(pref);
}

void veru_watch_saved(int level) {
  if (!watch) return;
  for (watched_file_s& file : watch->files) {
    // The file this process wrote, as the save took it from the file itself: a writer right
    // after is not taken for this one.
    if (file.level == level) file.seen = veru_level_file_identity(level);
  }
}

int VERU_watch_levels(unsigned flags, char** reason) {
  if (reason) *reason = nullptr;
  if (watch) return 0;
  if (!VERU__ask_module_root()) return refuse(reason, "the preferences module is not started");
  watch = std::make_unique<watch_s>();
  watch->poll_ms = poll_interval();
  if (injected_events) {
    watch->events = injected_events;
  } else if (!polling_asked(flags)) {
    std::string why;
    watch->kernel_events = veru_kernel_file_events(FULL_CHECK_MS, &why);
    watch->events = watch->kernel_events.get();
    if (!watch->events) ERROR_lprintf("File events cannot be had (%s): polling\n", why.c_str());
  }
  for (int level = 1; level < VERU_LEVEL_COUNT; ++level) {
    if (VERU__is_level_defined(level)) add_file(VERU__ask_level_filename(level), level);
  }
  char** definition_files = nullptr;
  const int count = VERU_ask_dpx_files(&definition_files);
  for (int i = 0; i < count; ++i) {
    add_file(definition_files[i], 0);
    SM_free(definition_files[i]);
  }
  SM_free(definition_files);
  arm(watch.get());
  const std::int64_t now = clock_ms();
  watch->next_poll = now + watch->poll_ms;
  watch->next_full_check = now + FULL_CHECK_MS;
  for (watched_file_s& file : watch->files) {
    if (!CFI_is_same_file(file.seen, file.last_poll)) mark_changed(&file, now);
  }
  return 0;
}

int VERU_watch_fd(void) {
  return watch && kernel_reports(*watch) ? watch->events->fd() : -1;
}

int VERU_watch_timeout_ms(void) {
  if (!watch) return -1;
  std::int64_t next = -1;
  auto consider = [&next](std::int64_t at) { next = next < 0 ? at : std::min(next, at); };
  for (const watched_file_s& file : watch->files) {
    if (file.pending) consider(file.due);
  }
  if (any_polled(*watch)) consider(watch->next_poll);
  if (!kernel_reports(*watch)) consider(watch->next_full_check);
  if (next < 0) return -1;
  return static_cast<int>(std::max<std::int64_t>(0, next - clock_ms()));
}

int VERU_process_changes(char** reason) {
  if (reason) *reason = nullptr;
  if (!watch) return 0;
  const std::int64_t now = clock_ms();
  note_changes(now);
  // Changes wait with those of a level read again for an editor until that level is read here.
  std::unique_ptr<veru_change_batch> changes = std::move(watch->reread_changes);
  if (!changes) changes = std::make_unique<veru_change_batch>(VERU_CAUSE_FILE);
  std::vector<veru_level_file_s> reads;
  for (watched_file_s& file : watch->files) {
    if (!file.pending || now < file.due) continue;
    if (file.level == 0) {
      settle_definition_file(&file, changes.get());
    } else {
      settle_value_file(&file, now, &reads, changes.get());
    }
  }
  veru_reload_levels(std::move(reads), changes.get());
  const bool reread_waits = std::any_of(watch->files.begin(), watch->files.end(),
                                        [](const watched_file_s& file) { return file.reread; });
  if (reread_waits) {
    watch->reread_changes = std::move(changes);
  } else {
    changes->deliver();
  }
  return 0;
}

void VERU_unwatch_levels(void) {
  watch.reset();
}
