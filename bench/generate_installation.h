// Synthetic installations for the benchmarks: the 27 definition files and the site, group and
// user value files of a realistic host installation, made from a fixed seed so that every run
// measures the same data.
#pragma once

#include <cstddef>
#include <string>

namespace kvrn_bench {

// The definition files in load order, the extras file last: the library's own table
// (VERU__ask_dpx_file_names), which holds this many.
constexpr int DEFINITION_FILE_COUNT = 27;
// The name of the index-th definition file, from 0.
const char* definition_file(int index);

// The value files of the site, group and user levels, relative to the installation directory.
constexpr int VALUE_FILE_COUNT = 3;
extern const char* const VALUE_FILES[VALUE_FILE_COUNT];

constexpr unsigned long long DEFAULT_SEED = 20261130;

struct installation_s {
  int preferences = 0;        // defined, those of the extras categories included
  int overrides = 0;          // PrefValue entries of the extras file
  int values[3] = {0, 0, 0};  // entries of the site, group and user files
  int locks = 0;              // entries with locked="yes", all files together
  std::size_t definition_bytes = 0;
  std::size_t value_bytes = 0;
};

// Writes an installation with exactly `preferences` preferences under directory:
//   kvrn/<27 definition files>, kvrn/xsl/dpv.xsl,
//   site/startup/kvrn1_site.dpv, group/startup/kvrn1_group.dpv, user/startup/kvrn1_user.dpv
// Each value file holds values for a quarter of the preferences, all valid for their
// constraints and none locked at a level below. Directories are made as needed; existing files
// are replaced. Throws std::runtime_error when something cannot be written.
installation_s generate_installation(const std::string& directory, int preferences,
                                     unsigned long long seed = DEFAULT_SEED);

}  // namespace kvrn_bench
