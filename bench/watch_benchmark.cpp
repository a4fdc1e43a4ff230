// Watching the value files of a 20,000-preference installation: processing one changed value of
// the 5,000-entry user file (reading it again and comparing), beside a pugixml parse of that
// file; queries while a watch is active, beside the same queries without one; and the time from
// the rename of a new user file to the listener's call. The settling time is waited for outside
// the measured time.
#include <benchmark/benchmark.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <pugixml.hpp>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <veru.h>

#include "bench_support.h"

namespace {

using kvrn_bench::format;

constexpr int PREFERENCES = 20000;
constexpr int SETTLE_MS = 300;

struct watch_bench_s {
  std::string user_file;
  // The user file as generated, and with one value changed: the two alternate.
  std::string contents[2];
  std::vector<std::string> int_names;
  long long records = 0;
  long long batches = 0;
};

watch_bench_s bench;

void count_records(const VERU_change_s*, int count, void*) {
  bench.records += count;
  ++bench.batches;
}

std::string file_contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void replace_file(const std::string& path, const std::string& contents) {
  const std::string temporary = path + ".new";
  std::ofstream(temporary, std::ios::binary) << contents;
  std::filesystem::rename(temporary, path);
}

// The user file with the value of its first entry of an int preference without a constraint
// changed.
std::string with_one_value_changed(const std::string& contents) {
  for (std::size_t entry = contents.find("<Pref "); entry != std::string::npos;
       entry = contents.find("<Pref ", entry + 1)) {
    const std::size_t name = contents.find(" name=\"", entry) + 7;
    VERU_pref* pref =
        VERU_lookup_pref(contents.substr(name, contents.find('"', name) - name).c_str());
    if (!pref || pref->class_id() != VERU_pref_int_c || pref->ask_data()) continue;
    const std::size_t value = contents.find(" value=\"", entry) + 8;
    const std::size_t end = contents.find('"', value);
    std::string changed = contents;
    changed.replace(value, end - value,
                    std::to_string(std::stoi(contents.substr(value, end - value)) + 1));
    return changed;
  }
  return contents;
}

void collect_int_names(OM_object* object, void*) {
  auto* pref = static_cast<VERU_pref*>(object);
  if (pref->class_id() == VERU_pref_int_c) bench.int_names.push_back(pref->ask_name());
}

// ---- benchmarks -----------------------------------------------------------------------------

void BM_process_one_changed_value(benchmark::State& state) {
  VERU_watch_levels(0, nullptr);
  const int listener = VERU_add_change_listener(nullptr, 0, count_records, nullptr);
  const long long records_before = bench.records;
  int turn = 0;
  for (auto _ : state) {
    state.PauseTiming();
    turn = 1 - turn;
    replace_file(bench.user_file, bench.contents[turn]);
    VERU_process_changes(nullptr);  // takes in the events
    std::this_thread::sleep_for(std::chrono::milliseconds(SETTLE_MS + 20));
    state.ResumeTiming();
    VERU_process_changes(nullptr);
  }
  if (bench.records - records_before != static_cast<long long>(state.iterations())) {
    state.SkipWithError("the processing did not tell one change each time");
  }
  VERU_remove_change_listener(listener);
  VERU_unwatch_levels();
}

void BM_pugixml_parse_user_file(benchmark::State& state) {
  for (auto _ : state) {
    pugi::xml_document document;
    benchmark::DoNotOptimize(document.load_file(bench.user_file.c_str()));
  }
}

// The same shuffled queries of every int preference, with and without a watch.
void ask_every_int(benchmark::State& state) {
  long long sum = 0;
  for (auto _ : state) {
    for (const std::string& name : bench.int_names) sum += VERU_ask_int(name.c_str());
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations() * static_cast<long long>(bench.int_names.size()));
}

void BM_VERU_ask_int(benchmark::State& state) {
  ask_every_int(state);
}

void BM_VERU_ask_int_while_watching(benchmark::State& state) {
  VERU_watch_levels(0, nullptr);
  ask_every_int(state);
  VERU_unwatch_levels();
}

// From the rename of a new user file to the listener's call, on the kernel's events: the
// settling time and what follows it.
double rename_to_callback_ms() {
  VERU_watch_levels(0, nullptr);
  const int listener = VERU_add_change_listener(nullptr, 0, count_records, nullptr);
  std::vector<double> latencies;
  for (int turn = 0; turn < 6; ++turn) {
    const long long batches = bench.batches;
    const auto renamed = std::chrono::steady_clock::now();
    replace_file(bench.user_file, bench.contents[turn % 2 == 0 ? 1 : 0]);
    while (bench.batches == batches) {
      pollfd watched{VERU_watch_fd(), POLLIN, 0};
      poll(&watched, 1, VERU_watch_timeout_ms());
      VERU_process_changes(nullptr);
    }
    latencies.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - renamed)
            .count());
  }
  VERU_remove_change_listener(listener);
  VERU_unwatch_levels();
  return kvrn_bench::median(latencies);
}

void summarise(const kvrn_bench::recording_reporter& times) {
  using kvrn_bench::summary;
  const double processing = times.real("BM_process_one_changed_value");
  const double parse = times.real("BM_pugixml_parse_user_file");
  const double asking = times.real("BM_VERU_ask_int");
  const double asking_watched = times.real("BM_VERU_ask_int_while_watching");
  summary("Watching the value files (median of repetitions):");
  summary(
      format("%-48s %10.3f ms", "processing one changed value of 5,000 entries", processing * 1e3));
  summary(format("%-48s %10.3f ms", "  pugixml parse of that file", parse * 1e3));
  summary(format("%-48s %10.1f ns", "VERU_ask_int", asking * 1e9 / bench.int_names.size()));
  summary(format("%-48s %10.1f ns", "VERU_ask_int while watching",
                 asking_watched * 1e9 / bench.int_names.size()));
  const double latency = rename_to_callback_ms();
  summary(format("%-48s %10.1f ms", "rename of the user file to the listener's call", latency));
  if (processing > 0 && parse > 0) {
    kvrn_bench::target("processing one changed value / pugixml parse of the file",
                       processing / parse, 2.0, "x");
  }
  if (asking > 0 && asking_watched > 0) {
    kvrn_bench::target("VERU_ask_int while watching / without a watch", asking_watched / asking,
                       1.03, "x");
  }
  kvrn_bench::target("rename to the listener's call, beyond the 300 ms of settling",
                     latency - SETTLE_MS, 50, " ms");
}

void start_module() {
  const std::string installation = kvrn_bench::installation(PREFERENCES);
  const std::string user = kvrn_bench::temporary_directory("user");
  std::filesystem::create_directories(user + "/startup");
  bench.user_file = user + "/startup/kvrn1_user.dpv";
  std::filesystem::copy_file(installation + "/user/startup/kvrn1_user.dpv", bench.user_file);
  kvrn_bench::set_installation_environment(installation, user);
  ERROR_set_log_sink([](const char*, void*) {}, nullptr);
  VERU_init_module();
  bench.contents[0] = file_contents(bench.user_file);
  bench.contents[1] = with_one_value_changed(bench.contents[0]);
  OM_for_all_in_set(VERU__ask_module_root()->ask_pref_set(), collect_int_names, nullptr);
  std::sort(bench.int_names.begin(), bench.int_names.end());
  std::shuffle(bench.int_names.begin(), bench.int_names.end(), std::mt19937(7));
}

}  // namespace

int main(int argc, char** argv) {
  kvrn_bench::parse_options(&argc, &argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  try {
    start_module();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "watch_benchmark: %s\n", error.what());
    return 1;
  }
  // Each processing waits for the file to settle outside its time: a few suffice.
  benchmark::RegisterBenchmark("BM_process_one_changed_value", BM_process_one_changed_value)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(8)
      ->Repetitions(3)
      ->DisplayAggregatesOnly(true)
      ->UseRealTime();
  const std::pair<const char*, void (*)(benchmark::State&)> benchmarks[] = {
      {"BM_pugixml_parse_user_file", BM_pugixml_parse_user_file},
      {"BM_VERU_ask_int", BM_VERU_ask_int},
      {"BM_VERU_ask_int_while_watching", BM_VERU_ask_int_while_watching},
  };
  for (const auto& [name, function] : benchmarks) {
    benchmark::RegisterBenchmark(name, function)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(0.2)
        ->MinWarmUpTime(0.05)
        ->Repetitions(5)
        ->DisplayAggregatesOnly(true)
        ->UseRealTime();
  }
  kvrn_bench::recording_reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  summarise(reporter);
  kvrn_bench::print_summary();
  benchmark::Shutdown();
  return 0;
}
