// The generations that saves keep of a level's value file.
#include "veru_history.h"

#include <veru.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "veru_levels.h"
#include "veru_sm_string.h"
#include "veru_xml.h"

namespace {

constexpr int DEFAULT_KEEP = 20;
constexpr int MAX_KEEP = 100000;
// "20261207T101500Z"
constexpr std::size_t STAMP_SIZE = 16;

struct split_path_s {
  std::string folder;  // the history folder beside the file
  std::string name;    // the file's name
};

bool split(const char* path, split_path_s* split) {
  char* directory = nullptr;
  char* name = nullptr;
  if (!path || CFI_split_filespec(path, &directory, &name) != 0 || !name || !*name) {
    SM_free(directory);
    SM_free(name);
    return false;
  }
  split->folder = std::string(directory && *directory ? directory : ".") + "/history";
  split->name = name;
  SM_free(directory);
  SM_free(name);
  return true;
}

// The serial of a generation's name for the file name; 0 when it is not one.
long serial_of(const std::string& entry, const std::string& name) {
  const std::size_t stamp = name.size() + 1;
  if (entry.size() < stamp + STAMP_SIZE + 2 || entry.compare(0, name.size(), name) != 0 ||
      entry[name.size()] != '.' || entry[stamp + STAMP_SIZE] != '.') {
    return 0;
  }
  const char* digits = entry.c_str() + stamp + STAMP_SIZE + 1;
  if (!std::isdigit(static_cast<unsigned char>(*digits))) return 0;
  char* end = nullptr;
  const long serial = std::strtol(digits, &end, 10);
  return *end == '\0' && serial > 0 ? serial : 0;
}

// The generations in the folder, newest (highest serial) first.
std::vector<std::pair<long, std::string>> generations_in(const split_path_s& file) {
  std::vector<std::pair<long, std::string>> found;
  char** names = nullptr;
  int count = 0;
  if (CFI_list_directory(file.folder.c_str(), &names, &count) != 0) return found;
  for (int i = 0; i < count; ++i) {
    const std::string entry = names[i];
    SM_free(names[i]);
    if (const long serial = serial_of(entry, file.name)) {
      found.emplace_back(serial, file.folder + "/" + entry);
    }
  }
  SM_free(names);
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a > b; });
  return found;
}

}  // namespace

std::string veru_compact_utc_stamp() {
  CLOCK_date_s date = CLOCK_null_date;
  CLOCK_time_to_date(CLOCK_gmt(), &date);
  const veru_sm_string text =
      veru_owned(CLOCK_format_date_time(&date, CLOCK_FORMAT_XML_SCHEMA, CLOCK_FORMAT_XML_SCHEMA));
  std::string stamp;
  for (const char* c = text ? text.get() : ""; *c; ++c) {
    if (*c != '-' && *c != ':') stamp += *c;
  }
  return stamp;
}

int veru_history_keep() {
  static const int keep = [] {
    const veru_sm_string owned = veru_owned(ENV_translate_variable("KVRN_HISTORY_KEEP"));
    const char* text = owned.get();
    if (!text) return DEFAULT_KEEP;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end || errno || value < 0 || value > MAX_KEEP) {
      ERROR_lprintf(
          "KVRN_HISTORY_KEEP %s is not a number of generations from 0 to %d; %d are "
          "kept\n",
          veru_quoted(text).c_str(), MAX_KEEP, DEFAULT_KEEP);
      return DEFAULT_KEEP;
    }
    return static_cast<int>(value);
  }();
  return keep;
}

std::vector<std::string> veru_generations(const char* path) {
  std::vector<std::string> paths;
  split_path_s file;
  if (!split(path, &file)) return paths;
  for (auto& generation : generations_in(file)) paths.push_back(std::move(generation.second));
  return paths;
}

std::string veru_keep_generation(const char* path) {
  split_path_s file;
  if (veru_history_keep() == 0 || CFI_ask_file_exist(path) != 0 || !split(path, &file)) return "";
  int error = 0;
  if (!CFI_is_directory(file.folder.c_str())) error = CFI_create_directory(file.folder.c_str());
  std::string generation;
  if (!error) {
    const auto existing = generations_in(file);
    const long serial = existing.empty() ? 1 : existing.front().first + 1;
    generation = file.folder + "/" + file.name + "." + veru_compact_utc_stamp() + "." +
                 std::to_string(serial);
    error = CFI_keep_file_as(path, generation.c_str());
  }
  if (error) {
    ERROR_lprintf("Unable to keep the replaced file %s in %s: %s; saved without it\n", path,
                  file.folder.c_str(), std::strerror(error));
    return "";
  }
  return generation;
}

void veru_prune_generations(const char* path) {
  split_path_s file;
  const int keep = veru_history_keep();
  // Turning history off keeps what earlier saves kept.
  if (keep == 0 || !split(path, &file)) return;
  const auto generations = generations_in(file);
  for (std::size_t i = static_cast<std::size_t>(keep); i < generations.size(); ++i) {
    CFI_delete_file(generations[i].second.c_str());
  }
}

int VERU_ask_level_generations(int level, char*** paths) {
  if (paths) *paths = nullptr;
  if (level < 1 || level >= VERU_LEVEL_COUNT || !veru_level(level).defined) return 0;
  veru_character_checking_off checking_off;
  const std::vector<std::string> found = veru_generations(veru_level(level).file_path);
  if (paths && !found.empty()) {
    *paths = static_cast<char**>(SM_alloc(found.size() * sizeof(char*)));
    for (std::size_t i = 0; i < found.size(); ++i) (*paths)[i] = SM_string_copy(found[i].c_str());
  }
  return static_cast<int>(found.size());
}
