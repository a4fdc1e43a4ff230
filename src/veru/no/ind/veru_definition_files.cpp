// The definition file table and the search for each definition file: override directories,
// language variants, the localization directory and the installation's kvrn directory.
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "veru_sm_string.h"
#include "veru_xml.h"

#define VERU_SOURCE "src/veru/no/ind/veru_definition_files"

namespace {

constexpr int DEFINITION_FILE_COUNT = 27;

struct definition_file_s {
  char file_name[129];
  char resolved_path[257];
};

// The application modules' files in load order; the extras file must stay last, since it adds
// to applications that the others define.
definition_file_s definition_files[DEFINITION_FILE_COUNT] = {
    {"kv_gateway.dpx", ""},       {"kv_modeling.dpx", ""},      {"kv_sketcher.dpx", ""},
    {"kv_drafting.dpx", ""},      {"kv_assemblies.dpx", ""},    {"kv_sheet_metal.dpx", ""},
    {"kv_surfacing.dpx", ""},     {"kv_routing.dpx", ""},       {"kv_manufacturing.dpx", ""},
    {"kv_inspection.dpx", ""},    {"kv_simulation.dpx", ""},    {"kv_motion.dpx", ""},
    {"kv_analysis.dpx", ""},      {"kv_visualization.dpx", ""}, {"kv_rendering.dpx", ""},
    {"kv_data_exchange.dpx", ""}, {"kv_translators.dpx", ""},   {"kv_knowledge.dpx", ""},
    {"kv_validation.dpx", ""},    {"kv_pmi.dpx", ""},           {"kv_tooling.dpx", ""},
    {"kv_molding.dpx", ""},       {"kv_electrical.dpx", ""},    {"kv_piping.dpx", ""},
    {"kv_structures.dpx", ""},    {"kv_collaboration.dpx", ""}, {"kv_extras.dpx", ""},
};
bool paths_unresolved = true;

// The path of name in directory when a file is there; null otherwise.
char* existing_file(const char* directory, const char* name) {
  char* path = nullptr;
  if (!name || CFI_merge_filespec(directory, name, &path) != 0) return nullptr;
  if (CFI_ask_file_exist(path) == 0) return path;
  SM_free(path);
  return nullptr;
}

// kv_gateway.dpx with the language german is kv_gateway_german.dpx.
veru_sm_string language_variant(const char* name, const char* language) {
  char* stem = nullptr;
  char* variant = nullptr;
  if (CFI_remove_extension(name, CFI_TYPE_DPX, &stem) == 0) {
    veru_sm_string with_language = veru_owned(SM_sprintf("%s_%s", stem, language));
    CFI_add_extension(with_language.get(), CFI_TYPE_DPX, &variant);
  }
  SM_free(stem);
  return veru_owned(variant);
}

// The override directories: the list cut at ';', each piece expanded; pieces that do not expand
// or are not directories are dropped.
std::vector<std::string> override_directories(const char* list) {
  std::vector<std::string> directories;
  std::string remaining = list;
  for (std::size_t start = 0; start <= remaining.size();) {
    std::size_t end = remaining.find(';', start);
    if (end == std::string::npos) end = remaining.size();
    const std::string piece = remaining.substr(start, end - start);
    start = end + 1;
    if (piece.empty()) continue;
    char* expanded = nullptr;
    if (ENV_expand_name(piece.c_str(), &expanded) == 0 && CFI_is_directory(expanded)) {
      directories.emplace_back(expanded);
    }
    SM_free(expanded);
  }
  return directories;
}

}  // namespace

char* veru_find_definition_file(const char* name) {
  const veru_environment_s& environment = veru_environment();
  const char* language = veru_counting_language(environment.lang);
  const veru_sm_string variant = language ? language_variant(name, language) : veru_owned(nullptr);
  if (environment.xml_def_dir) {
    for (const std::string& directory : override_directories(environment.xml_def_dir)) {
      if (char* path = existing_file(directory.c_str(), variant.get())) return path;
      if (char* path = existing_file(directory.c_str(), name)) return path;
    }
  } else if (language && environment.base_dir) {
    char* localization = nullptr;
    if (CFI_merge_filespec(environment.base_dir, "localization", &localization) == 0) {
      char* path = existing_file(localization, variant.get());
      SM_free(localization);
      if (path) return path;
    }
  }
  char* installation = nullptr;
  if (environment.base_dir &&
      CFI_merge_filespec(environment.base_dir, "kvrn", &installation) == 0) {
    const veru_sm_string directory = veru_owned(installation);
    if (CFI_ask_directory_exist(directory.get()) != 0) {
      ERROR_raise(VERU_SOURCE, __LINE__, VERU_ERROR_DEFINITION_FILE_LOAD,
                  "directory %s does not exist", directory.get());
    }
    if (char* path = existing_file(directory.get(), name)) return path;
  }
  ERROR_raise(VERU_SOURCE, __LINE__, VERU_ERROR_DEFINITION_FILE_LOAD, "file %s could not be found",
              name);
}

int VERU_ask_dpx_files(char*** files) {
  char** paths = static_cast<char**>(SM_alloc(DEFINITION_FILE_COUNT * sizeof(char*)));
  int filled = 0;
  try {
    for (; filled < DEFINITION_FILE_COUNT; ++filled) {
      definition_file_s& entry = definition_files[filled];
      if (!paths_unresolved) {
        paths[filled] = SM_string_copy(entry.resolved_path);
        continue;
      }
      paths[filled] = veru_find_definition_file(entry.file_name);
      if (std::strlen(paths[filled]) >= sizeof entry.resolved_path) {
        ERROR_lprintf("VERU: path %s of definition file %s is longer than %zu characters\n",
                      paths[filled], entry.file_name, sizeof entry.resolved_path - 1);
        ++filled;
        ERROR_raise(VERU_SOURCE, __LINE__, VERU_ERROR_DEFINITION_FILE_LOAD,
                    "path of file %s is too long", entry.file_name);
      }
      std::strcpy(entry.resolved_path, paths[filled]);
    }
  } catch (...) {
    for (int i = 0; i < filled; ++i) SM_free(paths[i]);
    SM_free(paths);
    throw;
  }
  paths_unresolved = false;
  if (files) {
    *files = paths;
  } else {
    for (int i = 0; i < DEFINITION_FILE_COUNT; ++i) SM_free(paths[i]);
    SM_free(paths);
  }
  return DEFINITION_FILE_COUNT;
}

const char* const* VERU__ask_dpx_file_names(int* count) {
  static const auto names = [] {
    std::array<const char*, DEFINITION_FILE_COUNT + 1> pointers{};
    for (int i = 0; i < DEFINITION_FILE_COUNT; ++i) pointers[i] = definition_files[i].file_name;
    return pointers;
  }();
  if (count) *count = DEFINITION_FILE_COUNT;
  return names.data();
}
