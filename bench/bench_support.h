// What the benchmark programs share: where the generated installations are, the environment
// that points the module at one, children that measure a fresh module start, and the summary
// of ratios printed at the end of a run.
#pragma once

#include <benchmark/benchmark.h>

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace kvrn_bench {

// Takes the program's own options out of the arguments and adds the benchmark library's
// random interleaving of repetitions (unless the caller chose), so that a change of machine
// load during a run spreads over a benchmark and its baseline alike. Own options:
//   --installations=DIR  installations made by kvrn-gen-install as DIR/p<count> (bench/run
//                        makes them); without it, or KVRN_BENCH_INSTALLATIONS, the program
//                        generates what it needs into a temporary directory.
//   --summary=FILE       also append the summary lines to FILE (or KVRN_BENCH_SUMMARY).
// Call before benchmark::Initialize; *argv then points to arguments kept for the process.
void parse_options(int* argc, char*** argv);

// The directory of an installation with the given number of preferences, made on first use
// when no directory was given.
std::string installation(int preferences);

// A new empty directory under the system's temporary directory, removed at exit.
std::string temporary_directory(const char* purpose);

// Points the module at the installation: KVRN_BASE_DIR and the three level directories (the
// user level at user_directory when given), XDG_DATA_HOME and XDG_CACHE_HOME (start-up images,
// on) at temporary directories; unsets the variables that would move definition or value files
// elsewhere.
void set_installation_environment(const std::string& directory,
                                  const std::string& user_directory = "");

// Heap in use by this process, in bytes.
long long heap_in_use();

double median(std::vector<double> values);

// A line of the summary, printed after the benchmarks. Target lines have the form
//   TARGET|what|measured|target|met or missed
// and are collected by bench/run into one table.
void summary(const std::string& line);
void target(const std::string& what, double measured, double limit, const char* unit);
// A target that the measured figure must reach: at least limit.
void target_at_least(const std::string& what, double measured, double limit, const char* unit);
void print_summary();

// The console reporter, also keeping the time per iteration of each benchmark (function name
// and arguments) so that ratios can be printed at the end: the median over repetitions.
class recording_reporter : public benchmark::ConsoleReporter {
 public:
  // In colour when --benchmark_color asks for it, or by default on a terminal.
  recording_reporter();
  void ReportRuns(const std::vector<Run>& runs) override;
  // Seconds per iteration, real or processor time; 0 when the benchmark did not run.
  double real(const std::string& name) const;
  double cpu(const std::string& name) const;
  // A user counter of the benchmark, the same way; 0 when it did not run.
  double counter(const std::string& name, const std::string& counter) const;

 private:
  std::map<std::string, std::vector<double>> real_;
  std::map<std::string, std::vector<double>> cpu_;
  std::map<std::string, std::vector<double>> counters_;  // by benchmark name, "#", counter
};

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

}  // namespace kvrn_bench
