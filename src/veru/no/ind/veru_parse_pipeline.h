// Reading the start-up's files ahead: a worker thread parses the definition and value files into
// documents of their own, in the order the start-up reads them, while the calling thread builds
// the model from the earlier ones. Only parsed documents cross threads; the object model, the
// log and the host's hooks stay on the calling thread.
#pragma once

#include <sys/types.h>
#include <time.h>

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "veru_entry_attributes.h"
#include "veru_xml.h"

// What a loader looks up in a parsed document before it builds from it: the elements it reads,
// with their attributes, pointing into the document. Made on the thread that parsed the file, so
// an indexer uses the XML service's read operations and nothing else (no log, no objects). It is
// told the size of the file, to make room for what it finds at once.
class veru_file_index {
 public:
  virtual ~veru_file_index() = default;
};
using veru_indexer_f = std::unique_ptr<veru_file_index> (*)(XERCES_DOM_ctx* context,
                                                            std::size_t file_size);

// What the loader reads of a value file: the document element's name and default lock status,
// its Pref children with what reading them takes, in document order, and what a person wrote
// there by hand that the next save gives back (notes, in document order too).
class veru_value_file_index : public veru_file_index {
 public:
  const char* root_name = nullptr;
  const char* default_lock_status = nullptr;
  std::vector<veru_entry_attributes_s> entries;
  std::vector<veru_file_note_s> notes;
};

// A file parsed into a document of its own, with its loader's index. Owns the document.
class veru_parsed_file {
 public:
  veru_parsed_file() = default;

  // Parses and indexes the file on this thread without raising or logging: a file that cannot be
  // read for any reason gives a result that is not parsed, and its loader then reads it as usual.
  static veru_parsed_file read_ahead(const char* path, int mode, veru_indexer_f indexer) noexcept;
  // An empty document made on the calling thread; raises VERU_ERROR_XML_INIT "Unable to
  // initialize DOM" when it cannot be made.
  static veru_parsed_file create();
  // Parses path into the document made by create, on the calling thread, and indexes it: the XML
  // service's status, 0 when parsed (error_text then says why not).
  int parse(const char* path, int mode, veru_indexer_f indexer);

  bool is_parsed() const { return index_ != nullptr; }
  XERCES_DOM_ctx* context() const { return document_.get(); }
  const char* error_text() const;
  // Valid while the file is parsed.
  const veru_file_index& index() const { return *index_; }
  // The time read_ahead took; nothing for a file parsed with parse.
  const veru_work_time_s& read_ahead_time() const { return read_ahead_time_; }
  // Whether the file at its path is still the one that was read ahead.
  bool is_unchanged() const;
  // The identity of the file as it was before it was parsed (exists is false when it was not
  // there).
  const CFI_file_identity_s& file_identity() const { return identity_.file; }

 private:
  // What tells a file from another put in its place or changed since: the file's identity, and
  // the time of its last change of any kind.
  struct identity_s {
    CFI_file_identity_s file;
    timespec changed{};
    bool operator==(const identity_s& other) const;
  };
  static identity_s identity_of(const char* path);

  // Declared before the index, which points into it, so that it goes after the index.
  kvxml_document document_;
  std::unique_ptr<veru_file_index> index_;
  veru_work_time_s read_ahead_time_;
  std::string path_;
  identity_s identity_;
};

// The files of one start, parsed ahead: a worker thread takes the jobs in order, at most
// AHEAD beyond the one the caller asks for; a caller whose file is still being parsed parses a
// later waiting one itself rather than wait. The worker is stopped and joined when the pipeline
// goes. A fork while it runs leaves the child without the worker; the child then parses what it
// takes itself.
class veru_parse_pipeline {
 public:
  struct job_s {
    std::string path;
    int mode;
    veru_indexer_f indexer;
  };
  explicit veru_parse_pipeline(std::vector<job_s> jobs);
  ~veru_parse_pipeline();
  veru_parse_pipeline(const veru_parse_pipeline&) = delete;
  veru_parse_pipeline& operator=(const veru_parse_pipeline&) = delete;

  // The file of the first job for path not yet taken, parsed, when it is still as it was parsed;
  // otherwise one that is not parsed. Earlier jobs not yet taken are dropped.
  veru_parsed_file take(const char* path);

 private:
  enum class state_e { waiting, parsing, parsed, taken };
  static constexpr std::size_t AHEAD = 4;

  void work();
  // The first waiting job from first on within AHEAD of the wanted one; npos when none.
  std::size_t next_waiting(std::size_t first) const;
  // Parses the job without the lock held and keeps its file.
  void run(std::unique_lock<std::mutex>& lock, std::size_t job);
  // Around a fork: the pipeline's state is consistent in the child, which has no worker.
  static void fork_prepare();
  static void fork_parent();
  static void fork_child();

  std::vector<job_s> jobs_;
  std::vector<state_e> states_;
  std::vector<veru_parsed_file> files_;
  std::size_t wanted_ = 0;
  bool stopping_ = false;
  bool worker_lost_ = false;  // in the child of a fork
  std::mutex mutex_;
  std::condition_variable changed_;
  std::thread worker_;
};

// The start's reading ahead, from the first definition file to the last value file: started by
// veru_load_definitions, ended by veru_load_values(true) or by any start-up step that raises, so
// that no thread outlives VERU_init_module.
void veru_begin_read_ahead(std::vector<veru_parse_pipeline::job_s> jobs);
// The file at path from the reading ahead when it was read ahead and is unchanged since; else one
// that is not parsed (also when nothing reads ahead).
veru_parsed_file veru_take_read_ahead(const char* path);
void veru_end_read_ahead();
