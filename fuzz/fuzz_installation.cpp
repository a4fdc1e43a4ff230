// The installation that the fuzz targets start the module on: the example installation's 27
// definition files in a temporary directory, with empty levels.
#include "fuzz_installation.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

namespace {

const char* const LEVEL_NAMES[] = {"", "site", "group", "user"};

std::string root;

std::string taken(char* text) {
  std::string copy = text ? text : "";
  SM_free(text);
  return copy;
}

}  // namespace

void fuzz_write(const std::string& path, const unsigned char* data, std::size_t size) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

std::string fuzz_read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string fuzz_start_module() {
  if (!root.empty()) return root;
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/vuzodod-fuzz-XXXXXX";
  if (!mkdtemp(&pattern[0])) {
    std::perror(pattern.c_str());
    std::abort();
  }
  root = pattern;
  std::atexit(fuzz_remove_installation);
  namespace fs = std::filesystem;
  fs::copy(fs::path(VUZODOD_EXAMPLES_DIR) / "kvrn", root + "/kvrn", fs::copy_options::recursive);
  for (int level = 1; level <= 3; ++level) {
    fs::create_directories(root + "/" + LEVEL_NAMES[level] + "/startup");
  }
  fs::create_directories(root + "/data");
  fs::create_directories(root + "/config");
  setenv("KVRN_BASE_DIR", root.c_str(), 1);
  setenv("KVRN_SITE_DIR", (root + "/site").c_str(), 1);
  setenv("KVRN_GROUP_DIR", (root + "/group").c_str(), 1);
  setenv("KVRN_USER_DIR", (root + "/user").c_str(), 1);
  setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
  setenv("XDG_CACHE_HOME", (root + "/cache").c_str(), 1);
  for (const char* variable : {"KVRN_LANG", "KVRN_VERU_XML_DEF_DIR", "KVRN_LOCAL_USER_DEFAULTS"}) {
    unsetenv(variable);
  }
  ERROR_set_log_sink([](const char*, void*) {}, nullptr);
  VERU_init_module();
  return root;
}

std::string fuzz_value_file(int level) {
  return fuzz_start_module() + "/" + LEVEL_NAMES[level] + "/startup/kvrn1_" + LEVEL_NAMES[level] +
         ".dpv";
}

void fuzz_remove_installation() {
  if (root.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
}

void fuzz_reload_level(int level) {
  VERU_set_level_up_to_date(level, false);
  VERU_reload_values_xml();
}

std::string fuzz_pref_record(VERU_pref* pref, int level) {
  VERU_recorded_value* recorded = pref->ask_recorded_value(level);
  if (!recorded) return "-";
  std::string record = recorded->ask_value() ? taken(recorded->ask_value()->print()) : "(no value)";
  record += recorded->ask_locked() ? " locked" : " open";
  const TEXT_s* comment = recorded->ask_comment();
  record += comment ? std::string(" comment[") + TEXT_ask_utf8(comment) + "]" : " no comment";
  return record + " date " + std::to_string(recorded->ask_modification_date());
}

std::string fuzz_level_record(int level) {
  struct walk_s {
    int level;
    std::map<std::string, std::string> records;
  } walk{level, {}};
  OM_for_all_in_set(
      VERU__ask_module_root()->ask_pref_set(),
      [](OM_object* object, void* data) {
        auto* state = static_cast<walk_s*>(data);
        auto* pref = static_cast<VERU_pref*>(object);
        const std::string record = fuzz_pref_record(pref, state->level);
        if (record != "-") state->records[pref->ask_name()] = record;
      },
      &walk);
  std::string text = VERU_is_level_locked_by_default(level) ? "locked by default\n" : "open\n";
  for (const auto& [name, record] : walk.records) text += name + ": " + record + "\n";
  char** names = nullptr;
  const int carried = VERU_ask_level_carried_entries(level, &names);
  for (int i = 0; i < carried; ++i) {
    // An entry of a preference that the level holds a value for is not written back.
    VERU_pref* pref = VERU_lookup_pref(names[i]);
    if (!pref || !pref->has_value(level)) text += "carried " + std::string(names[i]) + "\n";
    SM_free(names[i]);
  }
  SM_free(names);
  return text;
}

void fuzz_fail(const char* what, const std::string& expected, const std::string& found) {
  std::fprintf(stderr, "%s\n--- expected\n%s\n--- found\n%s\n", what, expected.c_str(),
               found.c_str());
  std::abort();
}
