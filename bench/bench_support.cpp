// What the benchmark programs share: installations, environment, heap figures and the summary.
#include "bench_support.h"

#include <malloc.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>

#include "generate_installation.h"

namespace kvrn_bench {

namespace {

std::string installations_option;
std::string summary_file;
std::string color_option = "auto";
std::vector<std::string> summary_lines;
std::vector<std::string> temporaries;
std::map<int, std::string> generated;

void remove_temporaries() {
  std::error_code ignored;
  for (const std::string& directory : temporaries) std::filesystem::remove_all(directory, ignored);
}

bool take_option(const char* argument, const char* name, std::string* value) {
  const std::size_t length = std::strlen(name);
  if (std::strncmp(argument, name, length) != 0 || argument[length] != '=') return false;
  *value = argument + length + 1;
  return true;
}

}  // namespace

void parse_options(int* argc, char*** argv) {
  if (const char* value = std::getenv("KVRN_BENCH_INSTALLATIONS")) installations_option = value;
  if (const char* value = std::getenv("KVRN_BENCH_SUMMARY")) summary_file = value;
  static std::vector<char*> kept;
  static char interleaving[] = "--benchmark_enable_random_interleaving=true";
  bool interleaving_chosen = false;
  kept.push_back((*argv)[0]);
  for (int i = 1; i < *argc; ++i) {
    char* argument = (*argv)[i];
    if (take_option(argument, "--installations", &installations_option)) continue;
    if (take_option(argument, "--summary", &summary_file)) continue;
    std::string value;
    if (take_option(argument, "--benchmark_color", &value)) color_option = value;
    if (take_option(argument, "--benchmark_enable_random_interleaving", &value)) {
      interleaving_chosen = true;
    }
    kept.push_back(argument);
  }
  if (!interleaving_chosen) kept.push_back(interleaving);
  *argc = static_cast<int>(kept.size());
  kept.push_back(nullptr);
  *argv = kept.data();
}

std::string temporary_directory(const char* purpose) {
  if (temporaries.empty()) std::atexit(remove_temporaries);
  std::string pattern =
      (std::filesystem::temp_directory_path() / (std::string("kvrn-bench-") + purpose + "-XXXXXX"))
          .string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make " + pattern);
  temporaries.push_back(pattern);
  return pattern;
}

std::string installation(int preferences) {
  if (!installations_option.empty()) {
    const std::string directory = installations_option + "/p" + std::to_string(preferences);
    if (!std::filesystem::exists(directory + "/kvrn/kv_extras.dpx")) {
      throw std::runtime_error("no installation of " + std::to_string(preferences) +
                               " preferences in " + directory + " (make it with kvrn-gen-install)");
    }
    return directory;
  }
  auto found = generated.find(preferences);
  if (found != generated.end()) return found->second;
  const std::string directory = temporary_directory("installation");
  std::fprintf(stderr, "generating an installation of %d preferences in %s\n", preferences,
               directory.c_str());
  generate_installation(directory, preferences);
  generated[preferences] = directory;
  return directory;
}

void set_installation_environment(const std::string& directory, const std::string& user_directory) {
  static const std::string data_home = temporary_directory("xdg");
  // Start-up images go to a folder of the run's own, never to the user's.
  static const std::string cache_home = temporary_directory("cache");
  setenv("KVRN_BASE_DIR", directory.c_str(), 1);
  setenv("KVRN_SITE_DIR", (directory + "/site").c_str(), 1);
  setenv("KVRN_GROUP_DIR", (directory + "/group").c_str(), 1);
  setenv("KVRN_USER_DIR", (user_directory.empty() ? directory + "/user" : user_directory).c_str(),
         1);
  setenv("XDG_DATA_HOME", data_home.c_str(), 1);
  setenv("XDG_CACHE_HOME", cache_home.c_str(), 1);
  unsetenv("KVRN_CACHE");
  unsetenv("KVRN_LANG");
  unsetenv("KVRN_VERU_XML_DEF_DIR");
  unsetenv("KVRN_LOCAL_USER_DEFAULTS");
}

long long heap_in_use() {
  const struct mallinfo2 info = mallinfo2();
  return static_cast<long long>(info.uordblks + info.hblkhd);
}

double median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::string format(const char* pattern, ...) {
  va_list arguments;
  va_start(arguments, pattern);
  char text[1024];
  std::vsnprintf(text, sizeof text, pattern, arguments);
  va_end(arguments);
  return text;
}

namespace {

benchmark::ConsoleReporter::OutputOptions console_options() {
  const std::string& color = color_option;
  const bool wanted = color == "true" || color == "yes" || color == "1" ||
                      ((color == "auto" || color.empty()) && isatty(STDOUT_FILENO));
  return wanted ? benchmark::ConsoleReporter::OO_ColorTabular
                : benchmark::ConsoleReporter::OO_Tabular;
}

}  // namespace

recording_reporter::recording_reporter() : ConsoleReporter(console_options()) {}

void recording_reporter::ReportRuns(const std::vector<Run>& runs) {
  for (const Run& run : runs) {
    if (run.error_occurred) continue;
    const bool median_of_repetitions =
        run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
    if (run.run_type != Run::RT_Iteration && !median_of_repetitions) continue;
    std::string name = run.run_name.function_name;
    if (!run.run_name.args.empty()) name += "/" + run.run_name.args;
    if (median_of_repetitions) name += "#median";
    const double unit = benchmark::GetTimeUnitMultiplier(run.time_unit);
    real_[name].push_back(run.GetAdjustedRealTime() / unit);
    cpu_[name].push_back(run.GetAdjustedCPUTime() / unit);
    for (const auto& [counter, value] : run.counters) {
      counters_[name + "#" + counter].push_back(value.value);
    }
  }
  ConsoleReporter::ReportRuns(runs);
}

namespace {

// The median of the runs of the benchmark, or the median the library computed over its
// repetitions when only the aggregates were reported.
double median_of(const std::map<std::string, std::vector<double>>& times, const std::string& name) {
  auto found = times.find(name);
  if (found == times.end()) found = times.find(name + "#median");
  return found == times.end() ? 0.0 : median(found->second);
}

}  // namespace

double recording_reporter::real(const std::string& name) const {
  return median_of(real_, name);
}

double recording_reporter::cpu(const std::string& name) const {
  return median_of(cpu_, name);
}

double recording_reporter::counter(const std::string& name, const std::string& counter) const {
  auto found = counters_.find(name + "#" + counter);
  if (found == counters_.end()) found = counters_.find(name + "#median#" + counter);
  return found == counters_.end() ? 0.0 : median(found->second);
}

void summary(const std::string& line) {
  summary_lines.push_back(line);
}

void target(const std::string& what, double measured, double limit, const char* unit) {
  summary(format("TARGET|%s|%.3g%s|<= %.3g%s|%s", what.c_str(), measured, unit, limit, unit,
                 measured <= limit ? "met" : "missed"));
}

void target_at_least(const std::string& what, double measured, double limit, const char* unit) {
  summary(format("TARGET|%s|%.3g%s|>= %.3g%s|%s", what.c_str(), measured, unit, limit, unit,
                 measured >= limit ? "met" : "missed"));
}

void print_summary() {
  std::FILE* copy = summary_file.empty() ? nullptr : std::fopen(summary_file.c_str(), "a");
  // The table first, then the target lines.
  std::stable_partition(summary_lines.begin(), summary_lines.end(),
                        [](const std::string& line) { return line.rfind("TARGET|", 0) != 0; });
  std::printf("\n");
  for (const std::string& line : summary_lines) {
    std::printf("%s\n", line.c_str());
    if (copy) std::fprintf(copy, "%s\n", line.c_str());
  }
  if (copy) std::fclose(copy);
  std::fflush(stdout);
}

}  // namespace kvrn_bench
