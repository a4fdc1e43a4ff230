// Queries by name on a started module of 20,000 preferences, beside a std::unordered_map of the
// same names: found from the same const char* (a std::string key made for every query), and
// found with a ready std::string key. Names are asked in a shuffled order.
//
// VERU_ask_string returns a new string that the caller frees, so that SM_free is part of the
// measured query; its baselines copy the found std::string into a new std::string (which
// allocates only for values longer than the short-string buffer).
//
// Queries from reader threads: two readers beside one, each making the same number of queries
// (three int queries to one string query), while the host's thread waits, and while it edits
// one value every millisecond.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <unordered_map>
#include <vector>

#include <veru.h>

#include "bench_support.h"

namespace {

using kvrn_bench::format;

constexpr int PREFERENCES = 20000;

struct queries_s {
  // Our own copies of the names, so that no query passes the library its own string.
  std::vector<std::string> int_names;
  std::vector<std::string> string_names;
  std::vector<const char*> int_keys;
  std::vector<const char*> string_keys;
  // Every preference of the module, with its value where it has the type.
  std::unordered_map<std::string, int> ints;
  std::unordered_map<std::string, std::string> strings;
  // An int preference that the user level may set to 1 and to 2, for the editing host.
  std::string edited;
};

queries_s queries;

void collect(OM_object* object, void* data) {
  auto* pref = static_cast<VERU_pref*>(object);
  auto* found = static_cast<std::vector<std::pair<std::string, int>>*>(data);
  found->emplace_back(pref->ask_name(), pref->class_id());
}

void prepare() {
  std::vector<std::pair<std::string, int>> prefs;
  OM_for_all_in_set(VERU__ask_module_root()->ask_pref_set(), collect, &prefs);
  std::sort(prefs.begin(), prefs.end());  // the set's order is its own; ours is fixed
  for (const auto& [name, class_id] : prefs) {
    int value = 0;
    std::string text;
    if (class_id == VERU_pref_int_c) {
      value = VERU_ask_int(name.c_str());
      queries.int_names.push_back(name);
    } else if (class_id == VERU_pref_string_c) {
      char* copy = VERU_ask_string(name.c_str());
      text = copy;
      SM_free(copy);
      queries.string_names.push_back(name);
    }
    queries.ints.emplace(name, value);
    queries.strings.emplace(name, text);
  }
  std::mt19937 shuffle(20261130);
  std::shuffle(queries.int_names.begin(), queries.int_names.end(), shuffle);
  std::shuffle(queries.string_names.begin(), queries.string_names.end(), shuffle);
  for (const std::string& name : queries.int_names) queries.int_keys.push_back(name.c_str());
  for (const std::string& name : queries.string_names) queries.string_keys.push_back(name.c_str());
  for (const std::string& name : queries.int_names) {
    if (VERU_edit_value(name.c_str(), 3, "1", nullptr) == 0 &&
        VERU_edit_value(name.c_str(), 3, "2", nullptr) == 0) {
      queries.edited = name;
      break;
    }
  }
}

// The next index of a cyclic walk through n names.
inline std::size_t next(std::size_t index, std::size_t n) {
  return ++index == n ? 0 : index;
}

void BM_VERU_ask_int(benchmark::State& state) {
  const std::vector<const char*>& keys = queries.int_keys;
  std::size_t i = 0;
  long long sum = 0;
  for (auto _ : state) {
    sum += VERU_ask_int(keys[i]);
    i = next(i, keys.size());
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations());
}

// For the reader of the results: the set lookup alone, and the whole query with one name over
// and over, when everything it touches stays in the cache.
void BM_VERU_lookup_pref(benchmark::State& state) {
  const std::vector<const char*>& keys = queries.int_keys;
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(VERU_lookup_pref(keys[i]));
    i = next(i, keys.size());
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_VERU_ask_int_one_name(benchmark::State& state) {
  const char* key = queries.int_keys.front();
  long long sum = 0;
  for (auto _ : state) {
    sum += VERU_ask_int(key);
    benchmark::DoNotOptimize(key);
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations());
}

void BM_map_int_from_char_pointer(benchmark::State& state) {
  const std::vector<const char*>& keys = queries.int_keys;
  const std::unordered_map<std::string, int>& map = queries.ints;
  std::size_t i = 0;
  long long sum = 0;
  for (auto _ : state) {
    sum += map.find(std::string(keys[i]))->second;
    i = next(i, keys.size());
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations());
}

void BM_map_int_from_string(benchmark::State& state) {
  const std::vector<std::string>& keys = queries.int_names;
  const std::unordered_map<std::string, int>& map = queries.ints;
  std::size_t i = 0;
  long long sum = 0;
  for (auto _ : state) {
    sum += map.find(keys[i])->second;
    i = next(i, keys.size());
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations());
}

void BM_VERU_ask_string(benchmark::State& state) {
  const std::vector<const char*>& keys = queries.string_keys;
  std::size_t i = 0;
  for (auto _ : state) {
    char* value = VERU_ask_string(keys[i]);
    benchmark::DoNotOptimize(value[0]);
    SM_free(value);
    i = next(i, keys.size());
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_map_string_from_char_pointer(benchmark::State& state) {
  const std::vector<const char*>& keys = queries.string_keys;
  const std::unordered_map<std::string, std::string>& map = queries.strings;
  std::size_t i = 0;
  for (auto _ : state) {
    std::string value = map.find(std::string(keys[i]))->second;
    benchmark::DoNotOptimize(value.data()[0]);
    i = next(i, keys.size());
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_map_string_from_string(benchmark::State& state) {
  const std::vector<std::string>& keys = queries.string_names;
  const std::unordered_map<std::string, std::string>& map = queries.strings;
  std::size_t i = 0;
  for (auto _ : state) {
    std::string value = map.find(keys[i])->second;
    benchmark::DoNotOptimize(value.data()[0]);
    i = next(i, keys.size());
  }
  state.SetItemsProcessed(state.iterations());
}

double process_cpu_seconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Queries of each reader thread in one iteration of BM_reader_threads.
constexpr long long QUERIES_PER_READER = 1000000;

// One reader's queries: three int queries to one string query, along the shuffled names from a
// place of its own.
void read(std::size_t start) {
  const std::vector<const char*>& ints = queries.int_keys;
  const std::vector<const char*>& strings = queries.string_keys;
  std::size_t i = start % ints.size();
  std::size_t s = start % strings.size();
  long long sum = 0;
  for (long long n = 0; n < QUERIES_PER_READER; n += 4) {
    for (int k = 0; k < 3; ++k, i = next(i, ints.size())) sum += VERU_ask_int(ints[i]);
    char* value = VERU_ask_string(strings[s]);
    sum += value[0];
    SM_free(value);
    s = next(s, strings.size());
  }
  benchmark::DoNotOptimize(sum);
}

// Arguments: the number of readers, and whether the host's thread edits one value every
// millisecond meanwhile (the value of an int preference that the readers ask for).
void BM_reader_threads(benchmark::State& state) {
  const auto readers = static_cast<std::size_t>(state.range(0));
  const bool editing = state.range(1) != 0;
  const char* edited = queries.edited.c_str();
  int edits = 0;
  const double cpu_start = process_cpu_seconds();
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    std::atomic<std::size_t> done{0};
    std::vector<std::thread> threads;
    for (std::size_t r = 0; r < readers; ++r) {
      threads.emplace_back([r, &done] {
        read(r * 997);
        done.fetch_add(1, std::memory_order_release);
      });
    }
    while (editing && done.load(std::memory_order_acquire) < readers) {
      VERU_edit_value(edited, 3, ++edits % 2 ? "1" : "2", nullptr);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    for (std::thread& thread : threads) thread.join();
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  const long long queries_made =
      state.iterations() * static_cast<long long>(readers) * QUERIES_PER_READER;
  state.SetItemsProcessed(queries_made);
  // The processor time of every thread: where a busy machine leaves the readers no processor
  // each, the elapsed time shows it, this does not.
  state.counters["cpu_ns_per_query"] =
      (process_cpu_seconds() - cpu_start) * 1e9 / static_cast<double>(queries_made);
  state.counters["edits"] = edits;
}

void summarise(const kvrn_bench::recording_reporter& times) {
  using kvrn_bench::summary;
  summary(
      format("Queries on %zu preferences (%zu int and %zu string names, shuffled; processor "
             "time, median of repetitions):",
             queries.ints.size(), queries.int_names.size(), queries.string_names.size()));
  summary(format("%-36s %10s %10s", "", "ns/query", "ratio"));
  struct row_s {
    const char* label;
    const char* library;
    const char* from_pointer;
    const char* from_string;
    double from_pointer_limit;
    double from_string_limit;  // 0: no target
  };
  const row_s rows[] = {
      {"VERU_ask_int", "BM_VERU_ask_int", "BM_map_int_from_char_pointer", "BM_map_int_from_string",
       0.6, 1.0},
      {"VERU_ask_string (+ SM_free)", "BM_VERU_ask_string", "BM_map_string_from_char_pointer",
       "BM_map_string_from_string", 0.9, 0},
  };
  const double lookup = times.cpu("BM_VERU_lookup_pref");
  const double one_name = times.cpu("BM_VERU_ask_int_one_name");
  if (lookup > 0)
    summary(format("%-36s %10.1f %10s", "VERU_lookup_pref alone (info)", lookup * 1e9, ""));
  if (one_name > 0)
    summary(format("%-36s %10.1f %10s", "VERU_ask_int, one name (info)", one_name * 1e9, ""));
  for (const row_s& row : rows) {
    const double library = times.cpu(row.library);
    const double from_pointer = times.cpu(row.from_pointer);
    const double from_string = times.cpu(row.from_string);
    if (library <= 0) continue;
    summary(format("%-36s %10.1f", row.label, library * 1e9));
    if (from_pointer > 0) {
      summary(format("%-36s %10.1f %10.2f", "  map find, key made from char*", from_pointer * 1e9,
                     library / from_pointer));
      kvrn_bench::target(format("%s / map find from const char*", row.label),
                         library / from_pointer, row.from_pointer_limit, "x");
    }
    if (from_string > 0) {
      summary(format("%-36s %10.1f %10.2f", "  map find, ready std::string", from_string * 1e9,
                     library / from_string));
      if (row.from_string_limit > 0) {
        kvrn_bench::target(format("%s / map find with std::string", row.label),
                           library / from_string, row.from_string_limit, "x");
      }
    }
  }
}

}  // namespace

// Queries per second of two readers against one, elapsed time.
void summarise_threads(const kvrn_bench::recording_reporter& times) {
  using kvrn_bench::summary;
  summary("");
  summary(format("Reader threads, %lld queries each (3 int : 1 string), elapsed time:",
                 QUERIES_PER_READER));
  summary("(and in brackets the processor time per query of all threads, which a busy machine");
  summary("does not change: where it stays, the readers do not slow each other down)");
  summary(format("%-32s %16s %16s %10s", "", "1 reader", "2 readers", "speed-up"));
  for (const auto& [editing, label, limit] :
       {std::tuple<int, const char*, double>{0, "host's thread idle", 1.8},
        {1, "host's thread editing every ms", 1.6}}) {
    const std::string one_reader = format("BM_reader_threads/1/%d", editing);
    const std::string two_readers = format("BM_reader_threads/2/%d", editing);
    const double one = times.real(one_reader);
    const double two = times.real(two_readers);
    if (one <= 0 || two <= 0) continue;
    const double speed_up = 2 * one / two;  // twice the queries in the time two readers took
    summary(format("%-32s %5.0f ms (%3.0f ns) %5.0f ms (%3.0f ns) %9.2fx", label, one * 1e3,
                   times.counter(one_reader, "cpu_ns_per_query"), two * 1e3,
                   times.counter(two_readers, "cpu_ns_per_query"), speed_up));
    kvrn_bench::target_at_least(format("two reader threads / one, queries per second, %s", label),
                                speed_up, limit, "x");
  }
}

int main(int argc, char** argv) {
  kvrn_bench::parse_options(&argc, &argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  try {
    kvrn_bench::set_installation_environment(kvrn_bench::installation(PREFERENCES));
    ERROR_set_log_sink([](const char*, void*) {}, nullptr);
    VERU_init_module();
    ERROR_set_log_sink(nullptr, nullptr);
    prepare();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "query_benchmark: %s\n", error.what());
    return 1;
  }
  if (queries.int_keys.empty() || queries.string_keys.empty() || queries.edited.empty()) {
    std::fprintf(stderr,
                 "query_benchmark: the installation has no int or no string preferences, or no "
                 "int preference that the user level may set to 1 and 2\n");
    return 1;
  }
  // Each query beside its baselines, repeated, so that a change of machine load during the run
  // shows in the spread rather than in one side of a ratio.
  const std::pair<const char*, void (*)(benchmark::State&)> benchmarks[] = {
      {"BM_map_int_from_char_pointer", BM_map_int_from_char_pointer},
      {"BM_map_int_from_string", BM_map_int_from_string},
      {"BM_VERU_ask_int", BM_VERU_ask_int},
      {"BM_map_string_from_char_pointer", BM_map_string_from_char_pointer},
      {"BM_map_string_from_string", BM_map_string_from_string},
      {"BM_VERU_ask_string", BM_VERU_ask_string},
      {"BM_VERU_lookup_pref", BM_VERU_lookup_pref},
      {"BM_VERU_ask_int_one_name", BM_VERU_ask_int_one_name},
  };
  for (const auto& [name, function] : benchmarks) {
    benchmark::RegisterBenchmark(name, function)
        ->MinTime(0.1)
        ->MinWarmUpTime(0.05)
        ->Repetitions(5)
        ->DisplayAggregatesOnly(true);
  }
  for (int editing : {0, 1}) {
    for (int readers : {1, 2}) {
      benchmark::RegisterBenchmark("BM_reader_threads", BM_reader_threads)
          ->Args({readers, editing})
          ->UseManualTime()
          ->Unit(benchmark::kMillisecond)
          ->Iterations(3)
          ->Repetitions(5)
          ->DisplayAggregatesOnly(true);
    }
  }
  kvrn_bench::recording_reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  summarise(reporter);
  summarise_threads(reporter);
  kvrn_bench::print_summary();
  benchmark::Shutdown();
  return 0;
}
