// kvrn-gen-install: writes a synthetic installation (definition files, style sheet, site, group
// and user value files) for the benchmarks.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "generate_installation.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: kvrn-gen-install DIRECTORY PREFERENCES [--seed N]\n"
               "  Writes DIRECTORY/kvrn/*.dpx (27 definition files), DIRECTORY/kvrn/xsl/dpv.xsl\n"
               "  and the value files DIRECTORY/{site,group,user}/startup/kvrn1_*.dpv, each with\n"
               "  values for a quarter of the PREFERENCES. The same seed gives the same files.\n");
  return 2;
}

bool parse_number(const char* text, unsigned long long* number) {
  if (!text || !*text) return false;
  char* end = nullptr;
  errno = 0;
  *number = std::strtoull(text, &end, 10);
  return errno == 0 && end && *end == '\0' && text[0] != '-';
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 5) return usage();
  unsigned long long preferences = 0;
  unsigned long long seed = kvrn_bench::DEFAULT_SEED;
  if (!parse_number(argv[2], &preferences) || preferences > 10000000) return usage();
  if (argc == 5 && (std::strcmp(argv[3], "--seed") != 0 || !parse_number(argv[4], &seed))) {
    return usage();
  }
  try {
    const kvrn_bench::installation_s made =
        kvrn_bench::generate_installation(argv[1], static_cast<int>(preferences), seed);
    std::printf(
        "%s: %d preferences (%d default overrides), %.1f MB of definitions; values site %d, "
        "group %d, user %d (%d locked), %.1f MB\n",
        argv[1], made.preferences, made.overrides, made.definition_bytes / 1e6, made.values[0],
        made.values[1], made.values[2], made.locks, made.value_bytes / 1e6);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "kvrn-gen-install: %s\n", error.what());
    return 1;
  }
  return 0;
}
