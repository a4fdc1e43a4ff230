// Module start on generated installations of 2,000, 20,000 and 200,000 preferences, beside
// pugixml parsing and walking the same 30 files: from XML (no start-up image), from valid
// images, from a valid definitions image with a changed user file, and the start that writes the
// images; the start without value files beside the 27 definition files alone, so that
// definitions and values can be told apart; and the start of 20,000 preferences from XML, and its
// baseline, while another process keeps a processor busy, as on a machine where the host is not
// alone. The module starts once per process, so every measured start runs in a child of its own,
// which sends its times and heap figures back; the peak of the heap during a start from XML is
// sampled in an untimed start of its own.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <pugixml.hpp>
#include <string>
#include <thread>
#include <vector>

#include <veru.h>

#include "bench_support.h"
#include "generate_installation.h"

namespace {

using kvrn_bench::format;

const int SIZES[] = {2000, 20000, 200000};

// What a child sends back through its pipe.
struct child_report_s {
  bool ok;
  double seconds;      // elapsed
  double cpu_seconds;  // processor time of the child, user and system
  long long heap_before;
  long long heap_after;
  long long heap_peak;  // the most seen in use during the start; only from start_module_with_peak
  long long own_text_storage;      // bytes the library keeps the preferences' own texts in
  VERU_query_table_facts_s table;  // the query table that start-up made
  long long log_lines;
  unsigned long long checksum;
  char error[240];
};

// Runs work in a forked child and returns its report; the child never returns here.
template <class Work>
child_report_s in_child(Work work) {
  child_report_s report{};
  int channel[2];
  if (pipe(channel) != 0) {
    std::snprintf(report.error, sizeof report.error, "pipe: %s", std::strerror(errno));
    return report;
  }
  std::fflush(stdout);
  std::fflush(stderr);
  const pid_t child = fork();
  if (child == 0) {
    close(channel[0]);
    try {
      work(report);
      report.ok = true;
    } catch (const std::exception& error) {
      std::snprintf(report.error, sizeof report.error, "%s", error.what());
    } catch (...) {
      std::snprintf(report.error, sizeof report.error, "unknown exception");
    }
    const char* bytes = reinterpret_cast<const char*>(&report);
    std::size_t sent = 0;
    while (sent < sizeof report) {
      const ssize_t done = write(channel[1], bytes + sent, sizeof report - sent);
      if (done <= 0) break;
      sent += static_cast<std::size_t>(done);
    }
    _exit(0);
  }
  close(channel[1]);
  std::size_t received = 0;
  auto* bytes = reinterpret_cast<char*>(&report);
  while (child > 0 && received < sizeof report) {
    const ssize_t done = read(channel[0], bytes + received, sizeof report - received);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) break;
    received += static_cast<std::size_t>(done);
  }
  close(channel[0]);
  int status = 0;
  if (child > 0) waitpid(child, &status, 0);
  if (child < 0 || received != sizeof report) {
    report = child_report_s{};
    if (child < 0) {
      std::snprintf(report.error, sizeof report.error, "fork: %s", std::strerror(errno));
    } else {
      std::snprintf(report.error, sizeof report.error,
                    "the child ended without a report (wait status %d)", status);
    }
  }
  return report;
}

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double cpu_seconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void count_line(const char* text, void* data) {
  for (; *text; ++text) {
    if (*text == '\n') ++*static_cast<long long*>(data);
  }
}

// ---- the installation ---------------------------------------------------------------------

struct installation_facts_s {
  std::string directory;
  std::vector<std::string> files;             // the 27 definition files and the 3 value files
  std::vector<std::string> definition_files;  // the 27 alone
  long long preferences = 0;
  long long file_bytes = 0;
  long long definition_bytes = 0;
};

const installation_facts_s& facts(int preferences) {
  static std::map<int, installation_facts_s> known;
  auto found = known.find(preferences);
  if (found != known.end()) return found->second;
  // Kept only once complete: a size whose installation cannot be read fails each time it is asked.
  installation_facts_s facts;
  facts.directory = kvrn_bench::installation(preferences);
  for (int i = 0; i < kvrn_bench::DEFINITION_FILE_COUNT; ++i) {
    facts.files.push_back(facts.directory + "/kvrn/" + kvrn_bench::definition_file(i));
  }
  facts.definition_files = facts.files;
  for (const char* file : kvrn_bench::VALUE_FILES)
    facts.files.push_back(facts.directory + "/" + file);
  for (int i = 0; i < kvrn_bench::DEFINITION_FILE_COUNT; ++i) {
    pugi::xml_document document;
    if (!document.load_file(facts.files[static_cast<std::size_t>(i)].c_str())) {
      throw std::runtime_error("cannot read " + facts.files[static_cast<std::size_t>(i)]);
    }
    facts.preferences += static_cast<long long>(document.select_nodes("//Pref").size());
  }
  for (std::size_t i = 0; i < facts.files.size(); ++i) {
    std::FILE* stream = std::fopen(facts.files[i].c_str(), "rb");
    if (!stream) continue;
    std::fseek(stream, 0, SEEK_END);
    facts.file_bytes += std::ftell(stream);
    if (i < facts.definition_files.size()) facts.definition_bytes += std::ftell(stream);
    std::fclose(stream);
  }
  return known[preferences] = std::move(facts);
}

// ---- the two measured starts --------------------------------------------------------------

// The storage of a preference's own texts as the library keeps them: the name as a string and
// title, description and unit as texts, each a pool block of a length header and the
// characters, rounded up to 8 bytes.
long long pool_block(std::size_t bytes) {
  return static_cast<long long>((bytes + 7) / 8 * 8);
}

void add_own_text_storage(OM_object* object, void* data) {
  auto* pref = static_cast<VERU_pref*>(object);
  long long& storage = *static_cast<long long*>(data);
  storage += pool_block(std::strlen(pref->ask_name()) + 1);
  for (const TEXT_s* text : {pref->ask_title(), pref->ask_desc(), pref->ask_unit()}) {
    if (text) storage += pool_block(8 + std::strlen(TEXT_ask_utf8(text)) + 1);
  }
}

long long own_text_storage() {
  long long storage = 0;
  OM_for_all_in_set(VERU__ask_module_root()->ask_pref_set(), add_own_text_storage, &storage);
  return storage;
}

void start_module(child_report_s& report) {
  ERROR_set_log_sink(count_line, &report.log_lines);
  report.heap_before = kvrn_bench::heap_in_use();
  const double cpu_start = cpu_seconds();
  const auto start = std::chrono::steady_clock::now();
  VERU_init_module();
  report.seconds = seconds_since(start);
  report.cpu_seconds = cpu_seconds() - cpu_start;
  report.heap_after = kvrn_bench::heap_in_use();
  VERU__ask_query_table_facts(&report.table);
  // The query table's copies of the names are the preferences' texts too.
  report.own_text_storage = own_text_storage() + report.table.name_bytes;
  report.checksum =
      static_cast<unsigned long long>(OM_ask_set_count(VERU__ask_module_root()->ask_pref_set()));
}

// The start again, while another thread samples the heap in use until it ends: a start slowed
// by the sampling, so it is not timed, whose highest sample is its peak (a short one between two
// samples may be missed).
void start_module_with_peak(child_report_s& report) {
  std::atomic<bool> started{false};
  std::atomic<bool> done{false};
  long long peak = 0;
  {
    std::thread sampler([&] {
      started = true;
      while (!done) {
        peak = std::max(peak, kvrn_bench::heap_in_use());
        std::this_thread::sleep_for(std::chrono::microseconds(20));
      }
    });
    // The sampler ends on every way out, a start that raises included.
    struct sampler_end {
      std::atomic<bool>& done;
      std::thread& sampler;
      ~sampler_end() {
        done = true;
        sampler.join();
      }
    } end{done, sampler};
    while (!started) std::this_thread::yield();
    start_module(report);
  }
  report.heap_peak = std::max(peak, report.heap_after);
}

// Every element and attribute of the document, each attribute value read to its end.
unsigned long long walk(const pugi::xml_document& document) {
  unsigned long long sum = 0;
  for (pugi::xml_node node = document.first_child(); node;) {
    if (node.type() == pugi::node_element) {
      sum += static_cast<unsigned char>(node.name()[0]);
      for (pugi::xml_attribute attribute = node.first_attribute(); attribute;
           attribute = attribute.next_attribute()) {
        sum += static_cast<unsigned char>(attribute.name()[0]) + std::strlen(attribute.value());
      }
    } else if (node.type() == pugi::node_pcdata) {
      sum += std::strlen(node.value());
    }
    if (node.first_child()) {
      node = node.first_child();
      continue;
    }
    while (node && !node.next_sibling()) node = node.parent();
    if (node) node = node.next_sibling();
  }
  return sum;
}

void parse_and_walk(const std::vector<std::string>& files, child_report_s& report) {
  const double cpu_start = cpu_seconds();
  const auto start = std::chrono::steady_clock::now();
  for (const std::string& file : files) {
    pugi::xml_document document;
    if (!document.load_file(file.c_str(), pugi::parse_default)) {
      throw std::runtime_error("cannot parse " + file);
    }
    report.checksum += walk(document);
  }
  report.seconds = seconds_since(start);
  report.cpu_seconds = cpu_seconds() - cpu_start;
}

// ---- results ------------------------------------------------------------------------------

// What a start reads, and from what: all 30 files parsed (no start-up image, KVRN_CACHE=off);
// the 27 definition files alone (no level directories, so no value files), parsed; all 30 from
// valid images; from valid images but the user file's, which changed; all 30 parsed into an
// empty image folder, so that the start writes every image; all 30 parsed while another process
// keeps a processor busy.
enum class scope_e { whole, definitions, image, changed_user, writing, beside_busy };
constexpr int SCOPES = 6;
const char* const SCOPE_NAMES[SCOPES] = {
    "", "_without_values", "_from_images", "_changed_user_file", "_writing_images", "_beside_busy"};

// A start that parses every file it reads, with start-up images off.
bool without_images(scope_e scope) {
  return scope == scope_e::whole || scope == scope_e::definitions || scope == scope_e::beside_busy;
}

// A process that spins on a processor from construction until destruction, or until this
// process ends.
class busy_process {
 public:
  busy_process() : pid_(fork()) {
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      for (volatile unsigned long spin = 0;; spin = spin + 1) {
      }
    }
  }
  ~busy_process() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  busy_process(const busy_process&) = delete;
  busy_process& operator=(const busy_process&) = delete;

 private:
  pid_t pid_;
};

// Every measured start of every repetition, by size; repetitions of the benchmarks are
// interleaved, so the library and the baseline see the same spells of machine load.
struct samples_s {
  std::vector<double> library;   // elapsed seconds of a start
  std::vector<double> baseline;  // elapsed seconds of parse and walk
  std::vector<double> library_cpu;
  std::vector<double> baseline_cpu;
  std::vector<double> heap;          // bytes of heap growth of a start
  std::vector<double> peak_heap;     // bytes of the highest growth during a start
  std::vector<double> beyond_texts;  // the same less the storage of the preferences' own texts
  std::vector<double> table_beyond_names;  // bytes of the query table less its names
  std::vector<double> table_cpu;           // processor seconds of making the query table
  long long log_lines = 0;
  std::string error;  // why a start or a baseline failed; its figures are then left out
};
std::map<int, samples_s> samples[SCOPES];

samples_s& samples_of(int size, scope_e scope) {
  return samples[static_cast<int>(scope)][size];
}

// The baseline of a start: the parse and walk of the files it reads, beside a busy process for
// the start beside one.
scope_e baseline_of(scope_e scope) {
  return scope == scope_e::definitions || scope == scope_e::beside_busy ? scope : scope_e::whole;
}

struct result_s {
  double library = 0;
  double baseline = 0;
  double library_cpu = 0;
  double baseline_cpu = 0;
  double heap = 0;
  double heap_per_pref = 0;
  double beyond_texts_per_pref = 0;
  double peak_over_kept = 0;  // the highest heap growth during the start, of the growth kept
  double table_per_pref = 0;  // bytes of the query table beyond its names, per preference
  double table_share = 0;     // making the query table, of the start's processor time
  long long log_lines = 0;
};

result_s result_of(int size, scope_e scope) {
  result_s result;
  const samples_s& measured = samples_of(size, scope);
  const samples_s& base = samples_of(size, baseline_of(scope));
  if (measured.library.empty() || !measured.error.empty() || !base.error.empty()) return result;
  const installation_facts_s& installation = facts(size);
  const double prefs = static_cast<double>(installation.preferences);
  result.heap = kvrn_bench::median(measured.heap);
  result.library = kvrn_bench::median(measured.library);
  result.baseline = kvrn_bench::median(base.baseline);
  result.library_cpu = kvrn_bench::median(measured.library_cpu);
  result.baseline_cpu = kvrn_bench::median(base.baseline_cpu);
  result.heap_per_pref = result.heap / prefs;
  result.beyond_texts_per_pref = kvrn_bench::median(measured.beyond_texts) / prefs;
  if (!measured.peak_heap.empty() && result.heap > 0) {
    result.peak_over_kept = kvrn_bench::median(measured.peak_heap) / result.heap;
  }
  result.table_per_pref = kvrn_bench::median(measured.table_beyond_names) / prefs;
  result.table_share = kvrn_bench::median(measured.table_cpu) / result.library_cpu;
  result.log_lines = measured.log_lines;
  return result;
}

// Measured starts per repetition; there are three repetitions of each.
int iterations_for(int preferences) {
  return preferences <= 2000 ? 10 : preferences <= 20000 ? 5 : 1;
}

// A failure is kept with the samples and every iteration still runs, so that all repetitions
// have as many iterations as the library's statistics require.
void fail(samples_s* measured, const std::string& why) {
  if (measured->error.empty()) measured->error = why;
}

const installation_facts_s* facts_or_fail(benchmark::State& state, samples_s* measured) {
  try {
    return &facts(static_cast<int>(state.range(0)));
  } catch (const std::exception& error) {
    fail(measured, error.what());
    return nullptr;
  }
}

void BM_parse_and_walk(benchmark::State& state, scope_e scope) {
  samples_s& measured = samples_of(static_cast<int>(state.range(0)), scope);
  const installation_facts_s* installation = facts_or_fail(state, &measured);
  const std::vector<std::string> none;
  const std::vector<std::string>& files = !installation ? none
                                          : scope == scope_e::definitions
                                              ? installation->definition_files
                                              : installation->files;
  auto run = [&] { return in_child([&](child_report_s& r) { parse_and_walk(files, r); }); };
  if (installation && measured.baseline.empty())
    run();  // the files into the page cache before the first measurement
  const std::unique_ptr<busy_process> busy(
      installation && scope == scope_e::beside_busy ? new busy_process() : nullptr);
  for (auto _ : state) {
    const child_report_s report = installation ? run() : child_report_s{};
    if (!report.ok) {
      fail(&measured, installation ? report.error : measured.error);
      state.SetIterationTime(1e-6);
      continue;
    }
    state.SetIterationTime(report.seconds);
    measured.baseline.push_back(report.seconds);
    measured.baseline_cpu.push_back(report.cpu_seconds);
  }
  if (!installation || !measured.error.empty()) {
    state.counters["failed"] = 1;
    return;
  }
  state.counters["prefs"] = static_cast<double>(installation->preferences);
  if (!measured.baseline.empty()) {
    const double seconds = kvrn_bench::median(measured.baseline);
    const long long bytes =
        scope == scope_e::definitions ? installation->definition_bytes : installation->file_bytes;
    state.counters["ns_per_pref"] = seconds * 1e9 / installation->preferences;
    state.counters["MB_per_s"] = bytes / 1e6 / seconds;
  }
}

// A folder of the run's own for the images of one kind of start.
std::string image_folder_home(scope_e scope, int size) {
  static const std::string root = kvrn_bench::temporary_directory("images");
  const std::string home =
      root + "/" + std::to_string(static_cast<int>(scope)) + "-" + std::to_string(size);
  std::filesystem::create_directories(home);
  return home;
}

// The user file of a start whose user file changes before each start: a copy of the
// installation's user folder, changed in its last comment.
class changing_user_file {
 public:
  changing_user_file(const std::string& installation, int size) {
    folder_ = kvrn_bench::temporary_directory(("user-" + std::to_string(size)).c_str());
    std::filesystem::copy(installation + "/user", folder_,
                          std::filesystem::copy_options::recursive |
                              std::filesystem::copy_options::overwrite_existing);
    std::ifstream in(file());
    content_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  const std::string& folder() const { return folder_; }
  // A content no start has read yet.
  void change() {
    std::ofstream(file(), std::ios::trunc) << content_ << "<!-- " << ++changes_ << " -->\n";
  }

 private:
  std::string file() const { return folder_ + "/startup/kvrn1_user.dpv"; }
  std::string folder_;
  std::string content_;
  int changes_ = 0;
};

void BM_VERU_init_module(benchmark::State& state, scope_e scope) {
  const int size = static_cast<int>(state.range(0));
  samples_s& measured = samples_of(size, scope);
  const installation_facts_s* installation = facts_or_fail(state, &measured);
  std::unique_ptr<changing_user_file> user;
  if (installation) {
    if (scope == scope_e::changed_user) {
      user = std::make_unique<changing_user_file>(installation->directory, size);
    }
    kvrn_bench::set_installation_environment(installation->directory,
                                             user ? user->folder() : std::string());
    const std::string images = image_folder_home(scope, size);
    setenv("XDG_CACHE_HOME", images.c_str(), 1);
    if (without_images(scope)) setenv("KVRN_CACHE", "off", 1);
    if (scope == scope_e::definitions) {
      for (const char* variable : {"KVRN_SITE_DIR", "KVRN_GROUP_DIR", "KVRN_USER_DIR"}) {
        unsetenv(variable);
      }
    }
    // The files into the page cache, and the images in place for the starts that read them.
    if (measured.library.empty()) in_child(start_module);
  }
  const std::unique_ptr<busy_process> busy(
      installation && scope == scope_e::beside_busy ? new busy_process() : nullptr);
  for (auto _ : state) {
    if (!installation || !measured.error.empty()) {
      state.SetIterationTime(1e-6);
      continue;
    }
    if (user) user->change();
    if (scope == scope_e::writing) {
      std::filesystem::remove_all(image_folder_home(scope, size) + "/vuzodod");
    }
    const child_report_s report = in_child(start_module);
    if (!report.ok) {
      fail(&measured, report.error);
    } else if (static_cast<long long>(report.checksum) != installation->preferences) {
      fail(&measured, format("the module holds %llu preferences, the files define %lld",
                             report.checksum, installation->preferences));
    }
    state.SetIterationTime(report.ok ? report.seconds : 1e-6);
    if (!measured.error.empty()) continue;
    measured.library.push_back(report.seconds);
    measured.library_cpu.push_back(report.cpu_seconds);
    measured.heap.push_back(static_cast<double>(report.heap_after - report.heap_before));
    measured.beyond_texts.push_back(
        static_cast<double>(report.heap_after - report.heap_before - report.own_text_storage));
    measured.table_beyond_names.push_back(
        static_cast<double>(report.table.bytes - report.table.name_bytes));
    measured.table_cpu.push_back(report.table.build_cpu_seconds);
    measured.log_lines = report.log_lines;
  }
  // The peak in a start of its own, untimed, with the start-up images still off.
  if (scope == scope_e::whole && measured.error.empty()) {
    const child_report_s report = in_child(start_module_with_peak);
    if (report.ok) {
      measured.peak_heap.push_back(static_cast<double>(report.heap_peak - report.heap_before));
    } else {
      fail(&measured, report.error);
    }
  }
  unsetenv("KVRN_CACHE");
  if (!measured.error.empty()) {
    state.counters["failed"] = 1;
    return;
  }
  const result_s result = result_of(size, scope);
  if (result.library <= 0) return;
  state.counters["prefs"] = static_cast<double>(installation->preferences);
  state.counters["ns_per_pref"] = result.library * 1e9 / installation->preferences;
  state.counters["heap_B_per_pref"] = result.heap_per_pref;
  state.counters["beyond_texts_B_per_pref"] = result.beyond_texts_per_pref;
  state.counters["log_lines"] = static_cast<double>(result.log_lines);
}

// Ratio of two times, 0 when either is missing.
double ratio(double library, double baseline) {
  return library > 0 && baseline > 0 ? library / baseline : 0.0;
}

std::map<int, result_s> results_of(scope_e scope) {
  std::map<int, result_s> results;
  for (const auto& entry : samples[static_cast<int>(scope)]) {
    const result_s result = result_of(entry.first, scope);
    if (result.library > 0) results[entry.first] = result;
  }
  return results;
}

// The failures of the run, which leave their rows out.
void summarise_failures() {
  for (int scope = 0; scope < SCOPES; ++scope) {
    for (const auto& [size, measured] : samples[scope]) {
      if (measured.error.empty()) continue;
      kvrn_bench::summary(
          format("FAILED: %d prefs%s: %s", size, SCOPE_NAMES[scope], measured.error.c_str()));
    }
  }
}

void summarise() {
  using kvrn_bench::summary;
  summary("Start-up: VERU_init_module in a fresh process, beside pugixml parse + walk of the same");
  summary("27 definition and 3 value files. Medians; elapsed time, and in brackets processor");
  summary("time (user + system, all threads), which a busy machine disturbs less. Heap: growth of");
  summary(
      "malloc's bytes in use; beyond text: less the storage of names, titles, units, "
      "descriptions");
  summary("(the query table's copies of the names included).");
  summary("Without an image (KVRN_CACHE=off):");
  summary(format("%7s %6s %17s %17s %12s %13s %7s %9s %11s %4s", "prefs", "XML MB", "library ms",
                 "baseline ms", "ratio", "ns/pref", "growth", "heap B/pr", "beyond text", "log"));
  std::map<int, result_s> results = results_of(scope_e::whole);
  double first_per_pref = 0;
  for (const auto& [size, result] : results) {
    const installation_facts_s& installation = facts(size);
    const double prefs = static_cast<double>(installation.preferences);
    const double per_pref = result.library / prefs;
    if (first_per_pref == 0) first_per_pref = per_pref;
    summary(format(
        "%7lld %6.1f %8.1f (%6.1f) %8.1f (%6.1f) %5.2f (%4.2f) %6.0f (%5.0f) %7.2f %9.0f "
        "%11.0f %4lld",
        installation.preferences, installation.file_bytes / 1e6, result.library * 1e3,
        result.library_cpu * 1e3, result.baseline * 1e3, result.baseline_cpu * 1e3,
        ratio(result.library, result.baseline), ratio(result.library_cpu, result.baseline_cpu),
        per_pref * 1e9, result.library_cpu / prefs * 1e9, per_pref / first_per_pref,
        result.heap_per_pref, result.beyond_texts_per_pref, result.log_lines));
  }
  summary("");
  summary("From start-up images: all valid; valid but the user file's (changed before each");
  summary("start); and the start that writes them all.");
  summary(format("%7s %-20s %17s %12s %12s", "prefs", "start", "library ms", "ratio", "heap MB"));
  for (const scope_e scope :
       {scope_e::whole, scope_e::image, scope_e::changed_user, scope_e::writing}) {
    static const char* const NAMES[SCOPES] = {"without an image", "", "from images",
                                              "changed user file", "writing images"};
    for (const auto& [size, result] : results_of(scope)) {
      summary(format("%7lld %-20s %8.1f (%6.1f) %5.2f (%4.2f) %12.1f", facts(size).preferences,
                     NAMES[static_cast<int>(scope)], result.library * 1e3, result.library_cpu * 1e3,
                     ratio(result.library, result.baseline),
                     ratio(result.library_cpu, result.baseline_cpu), result.heap / 1e6));
    }
  }
  const std::map<int, result_s> definitions = results_of(scope_e::definitions);
  if (!definitions.empty()) {
    summary("");
    summary(
        "Without value files: the start with no level directories, beside pugixml parse + walk");
    summary("of the 27 definition files; the value files' part is what the whole start adds.");
    summary(format("%7s %6s %17s %17s %12s %17s %17s", "prefs", "XML MB", "library ms",
                   "baseline ms", "ratio", "values: lib ms", "baseline ms"));
    for (const auto& [size, result] : definitions) {
      const installation_facts_s& installation = facts(size);
      const result_s whole = results.count(size) ? results[size] : result_s{};
      const bool both = whole.library > 0;
      summary(format(
          "%7lld %6.1f %8.1f (%6.1f) %8.1f (%6.1f) %5.2f (%4.2f) %8.1f (%6.1f) %8.1f "
          "(%6.1f)",
          installation.preferences, installation.definition_bytes / 1e6, result.library * 1e3,
          result.library_cpu * 1e3, result.baseline * 1e3, result.baseline_cpu * 1e3,
          ratio(result.library, result.baseline), ratio(result.library_cpu, result.baseline_cpu),
          both ? (whole.library - result.library) * 1e3 : 0.0,
          both ? (whole.library_cpu - result.library_cpu) * 1e3 : 0.0,
          both ? (whole.baseline - result.baseline) * 1e3 : 0.0,
          both ? (whole.baseline_cpu - result.baseline_cpu) * 1e3 : 0.0));
    }
  }
  summarise_failures();
  // The targets: at 20,000 preferences; the other sizes for information.
  const auto info = [](int size) { return size == 20000 ? "" : ", info"; };
  const auto both_times = [&](const char* what, scope_e scope, double limit) {
    for (const auto& [size, result] : results_of(scope)) {
      kvrn_bench::target(
          format("start-up %s %d prefs / pugixml parse+walk%s", what, size, info(size)),
          ratio(result.library, result.baseline), limit, "x");
      kvrn_bench::target(format("start-up %s %d prefs / pugixml parse+walk, processor time%s", what,
                                size, info(size)),
                         ratio(result.library_cpu, result.baseline_cpu), limit, "x");
    }
  };
  both_times("without an image", scope_e::whole, 1.5);
  both_times("from valid images", scope_e::image, 0.5);
  both_times("with a changed user file", scope_e::changed_user, 0.8);
  for (const auto& [size, result] : results_of(scope_e::writing)) {
    const result_s without = result_of(size, scope_e::whole);
    kvrn_bench::target(
        format("start-up writing the images / without an image, %d prefs%s", size, info(size)),
        ratio(result.library, without.library), 1.1, "x");
  }
  for (const auto& [size, result] : results) {
    if (result.peak_over_kept > 0) {
      kvrn_bench::target(
          format("peak heap during start-up / heap kept after it, %d prefs%s", size, info(size)),
          result.peak_over_kept, 1.2, "x");
    }
  }
  for (const auto& [size, result] : results_of(scope_e::image)) {
    const result_s without = result_of(size, scope_e::whole);
    kvrn_bench::target(
        format("heap kept after start-up from images / without, %d prefs%s", size, info(size)),
        ratio(result.heap, without.heap), 1.0, "x");
  }
  for (const auto& [size, result] : definitions) {
    if (result.baseline > 0) {
      kvrn_bench::target(
          format("start-up without value files %d prefs / parse+walk of the definitions, info "
                 "(processor time %.2fx)",
                 size, ratio(result.library_cpu, result.baseline_cpu)),
          ratio(result.library, result.baseline), 1.5, "x");
    }
  }
  for (const auto& [size, result] : results_of(scope_e::beside_busy)) {
    if (result.baseline > 0) {
      kvrn_bench::target(
          format("start-up %d prefs beside a busy process / parse+walk beside it, info "
                 "(processor time %.2fx; %.2fx the start on the machine alone)",
                 size, ratio(result.library_cpu, result.baseline_cpu),
                 results.count(size) ? ratio(result.library, results[size].library) : 0.0),
          ratio(result.library, result.baseline), 1.2, "x");
    }
  }
  if (results.count(2000) && results.count(200000)) {
    const double prefs_small = static_cast<double>(facts(2000).preferences);
    const double prefs_large = static_cast<double>(facts(200000).preferences);
    const double growth =
        (results[200000].library / prefs_large) / (results[2000].library / prefs_small);
    const double cpu_growth =
        (results[200000].library_cpu / prefs_large) / (results[2000].library_cpu / prefs_small);
    kvrn_bench::target(
        format("start-up cost per pref, 200,000 / 2,000 (processor time %.2fx)", cpu_growth),
        growth, 1.3, "x");
  }
  for (const auto& [size, result] : results) {
    kvrn_bench::target(format("heap per pref beyond its texts, %d prefs (B)", size),
                       result.beyond_texts_per_pref, 400, "");
  }
  for (const auto& [size, result] : results) {
    kvrn_bench::target(format("query table per pref beyond its names, %d prefs (B)", size),
                       result.table_per_pref, 40, "");
  }
  for (const auto& [size, result] : results) {
    kvrn_bench::target(format("making the query table, of the start's processor time, %d prefs%s",
                              size, size == 20000 ? "" : ", info"),
                       result.table_share * 100, 3, "%");
  }
}

}  // namespace

int main(int argc, char** argv) {
  kvrn_bench::parse_options(&argc, &argv);
  for (int size : SIZES) {
    for (int kind = 0; kind < SCOPES; ++kind) {
      const auto scope = static_cast<scope_e>(kind);
      if (scope == scope_e::beside_busy && size != 20000) continue;
      std::vector<std::pair<std::string, void (*)(benchmark::State&, scope_e)>> benchmarks{
          {std::string("BM_VERU_init_module") + SCOPE_NAMES[kind], BM_VERU_init_module}};
      if (baseline_of(scope) == scope) {
        const std::string name =
            std::string("BM_parse_and_walk") +
            (scope == scope_e::definitions ? "_definitions" : SCOPE_NAMES[kind]);
        benchmarks.insert(benchmarks.begin(), {name, BM_parse_and_walk});
      }
      for (const auto& [name, function] : benchmarks) {
        benchmark::RegisterBenchmark(name.c_str(), function, scope)
            ->Arg(size)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(iterations_for(size))
            ->Repetitions(3)
            ->DisplayAggregatesOnly(true);
      }
    }
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  try {
    kvrn_bench::recording_reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    summarise();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "startup_benchmark: %s\n", error.what());
    return 1;
  }
  kvrn_bench::print_summary();
  benchmark::Shutdown();
  return 0;
}
