// Reading the start-up's files ahead on a worker thread, and the files a loader builds from.
#include "veru_parse_pipeline.h"

#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <exception>
#include <new>
#include <utility>

namespace {

constexpr std::size_t NONE = static_cast<std::size_t>(-1);

// The pipeline that a fork must find consistent, and the lock that keeps it while one happens.
std::mutex forkable_lock;
veru_parse_pipeline* forkable = nullptr;

// A worker that a fork left behind: the child has no such thread, so it is neither joined nor
// destroyed.
alignas(std::thread) unsigned char lost_worker[sizeof(std::thread)];

std::unique_ptr<veru_parse_pipeline> startup_pipeline;

}  // namespace

// ---- parsed files ----------------------------------------------------------------------------

bool veru_parsed_file::identity_s::operator==(const identity_s& other) const {
  return CFI_is_same_file(file, other.file) && changed.tv_sec == other.changed.tv_sec &&
         changed.tv_nsec == other.changed.tv_nsec;
}

veru_parsed_file::identity_s veru_parsed_file::identity_of(const char* path) {
  identity_s identity;
  struct stat status {};
  if (stat(path, &status) == 0) identity.changed = status.st_ctim;
  // Any thread may ask: the file's identity does not depend on the host's name checks.
  CFI_ask_file_identity(path, &identity.file);
  return identity;
}

veru_parsed_file veru_parsed_file::read_ahead(const char* path, int mode,
                                              veru_indexer_f indexer) noexcept {
  try {
    const veru_stopwatch stopwatch;
    veru_parsed_file file;
    file.path_ = path;
    file.identity_ = identity_of(path);
    int error = 0;
    file.document_.reset(pvtbl_kvxml->XERCES_DOM_create(&error, "UTF-8", 0));
    // A file changed while it was read counts as not read.
    if (error != 0 || !file.context() || !file.identity_.file.exists ||
        pvtbl_kvxml->XERCES_DOM_parseFile(file.context(), path, "utf-8", mode) != 0 ||
        !file.is_unchanged()) {
      return {};
    }
    file.index_ = indexer(file.context(), static_cast<std::size_t>(file.identity_.file.size));
    file.read_ahead_time_ = stopwatch.elapsed();
    return file;
  } catch (...) {
    // Whatever went wrong happens again, and is reported, when the loader reads the file itself.
    return {};
  }
}

veru_parsed_file veru_parsed_file::create() {
  veru_document document;
  veru_parsed_file file;
  file.document_.reset(document.release());
  return file;
}

int veru_parsed_file::parse(const char* path, int mode, veru_indexer_f indexer) {
  path_ = path;
  identity_ = identity_of(path);
  const int status = pvtbl_kvxml->XERCES_DOM_parseFile(context(), path, "utf-8", mode);
  if (status == 0) {
    const long long size = identity_.file.size;
    index_ = indexer(context(), size > 0 ? static_cast<std::size_t>(size) : 0);
  }
  return status;
}

const char* veru_parsed_file::error_text() const {
  return pvtbl_kvxml->XERCES_DOM_getErrorText(context());
}

bool veru_parsed_file::is_unchanged() const {
  return identity_of(path_.c_str()) == identity_;
}

// ---- the pipeline ----------------------------------------------------------------------------

veru_parse_pipeline::veru_parse_pipeline(std::vector<job_s> jobs)
    : jobs_(std::move(jobs)), states_(jobs_.size(), state_e::waiting), files_(jobs_.size()) {
  static const int fork_handlers = pthread_atfork(fork_prepare, fork_parent, fork_child);
  (void)fork_handlers;
  {
    const std::lock_guard<std::mutex> guard(forkable_lock);
    forkable = this;
  }
  // Signals stay with the host's threads.
  sigset_t all;
  sigset_t previous;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, &previous);
  try {
    // A closure keeps the thread's template code out of the library's exported symbols.
    worker_ = std::thread([this] { work(); });
  } catch (const std::exception&) {
    // Without a worker the caller parses every file itself, as it would without a pipeline.
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

veru_parse_pipeline::~veru_parse_pipeline() {
  {
    const std::lock_guard<std::mutex> guard(forkable_lock);
    forkable = nullptr;
  }
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (worker_lost_) {
    new (lost_worker) std::thread(std::move(worker_));
  } else if (worker_.joinable()) {
    worker_.join();
  }
}

std::size_t veru_parse_pipeline::next_waiting(std::size_t first) const {
  const std::size_t end = std::min(jobs_.size(), wanted_ + AHEAD);
  for (std::size_t job = first; job < end; ++job) {
    if (states_[job] == state_e::waiting) return job;
  }
  return NONE;
}

void veru_parse_pipeline::run(std::unique_lock<std::mutex>& lock, std::size_t job) {
  states_[job] = state_e::parsing;
  lock.unlock();
  const job_s& what = jobs_[job];
  veru_parsed_file file = veru_parsed_file::read_ahead(what.path.c_str(), what.mode, what.indexer);
  lock.lock();
  if (states_[job] == state_e::parsing) {
    files_[job] = std::move(file);
    states_[job] = state_e::parsed;
  }
  changed_.notify_all();
}

void veru_parse_pipeline::work() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    const std::size_t job = next_waiting(wanted_);
    if (job != NONE) {
      run(lock, job);
    } else if (std::find(states_.begin(), states_.end(), state_e::waiting) == states_.end()) {
      return;  // nothing left to parse
    } else {
      changed_.wait(lock);
    }
  }
}

veru_parsed_file veru_parse_pipeline::take(const char* path) {
  std::unique_lock<std::mutex> lock(mutex_);
  std::size_t job = 0;
  while (job < jobs_.size() && (states_[job] == state_e::taken || jobs_[job].path != path)) ++job;
  if (job == jobs_.size()) return {};
  std::vector<veru_parsed_file> dropped;
  for (std::size_t earlier = 0; earlier < job; ++earlier) {
    if (states_[earlier] == state_e::waiting || states_[earlier] == state_e::parsed) {
      states_[earlier] = state_e::taken;
      dropped.push_back(std::move(files_[earlier]));
    }
  }
  wanted_ = job;
  changed_.notify_all();
  for (;;) {
    if (states_[job] == state_e::parsed) {
      states_[job] = state_e::taken;
      veru_parsed_file file = std::move(files_[job]);
      lock.unlock();
      return file.is_unchanged() ? std::move(file) : veru_parsed_file();
    }
    if (states_[job] == state_e::waiting) {
      states_[job] = state_e::taken;
      lock.unlock();
      const job_s& what = jobs_[job];
      return veru_parsed_file::read_ahead(what.path.c_str(), what.mode, what.indexer);
    }
    // The worker is parsing it: parse a later file meanwhile, or wait when there is none.
    const std::size_t other = next_waiting(job + 1);
    if (other != NONE) {
      run(lock, other);
    } else {
      changed_.wait(lock);
    }
  }
}

void veru_parse_pipeline::fork_prepare() {
  forkable_lock.lock();
  if (forkable) forkable->mutex_.lock();
}

void veru_parse_pipeline::fork_parent() {
  if (forkable) forkable->mutex_.unlock();
  forkable_lock.unlock();
}

void veru_parse_pipeline::fork_child() {
  if (forkable) {
    // The child has only the thread that forked: what others were parsing never comes.
    forkable->worker_lost_ = forkable->worker_.joinable();
    for (state_e& state : forkable->states_) {
      if (state == state_e::parsing) state = state_e::taken;
    }
    // The condition may count the lost worker among its waiters; this one has none.
    new (&forkable->changed_) std::condition_variable();
    forkable->mutex_.unlock();
  }
  forkable_lock.unlock();
}

// ---- the start's reading ahead ---------------------------------------------------------------

void veru_begin_read_ahead(std::vector<veru_parse_pipeline::job_s> jobs) {
  veru_end_read_ahead();
  if (jobs.empty() || KVXML_init() != 0) return;
  startup_pipeline = std::make_unique<veru_parse_pipeline>(std::move(jobs));
}

veru_parsed_file veru_take_read_ahead(const char* path) {
  return startup_pipeline && path ? startup_pipeline->take(path) : veru_parsed_file();
}

void veru_end_read_ahead() {
  startup_pipeline.reset();
}
