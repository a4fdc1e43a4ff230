// A small installation in a temporary directory, on which the fuzz targets start the module.
#include "fuzz_installation.h"

#include <sys/stat.h>
#include <veru.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

const char* const FILES[] = {
    "kv_gateway",       "kv_modeling",    "kv_sketcher",   "kv_drafting",      "kv_assemblies",
    "kv_sheet_metal",   "kv_surfacing",   "kv_routing",    "kv_manufacturing", "kv_inspection",
    "kv_simulation",    "kv_motion",      "kv_analysis",   "kv_visualization", "kv_rendering",
    "kv_data_exchange", "kv_translators", "kv_knowledge",  "kv_validation",    "kv_pmi",
    "kv_tooling",       "kv_molding",     "kv_electrical", "kv_piping",        "kv_structures",
    "kv_collaboration",
};

const char* const GATEWAY =
    "<Preferences><Application name=\"Gateway\" csh=\"kv_gateway\"><Category name=\"General\">"
    "<Tab name=\"Main\">"
    "<Pref name=\"Count\" type=\"int\" value=\"5\" title=\"Count\"><Data type=\"range\">"
    "<LowerBound value=\"0\" include=\"1\"/><UpperBound value=\"10\" include=\"0\"/></Data>"
    "<Integer/></Pref>"
    "<Pref name=\"Scale\" type=\"real\" value=\"1.5\" title=\"Scale\"><Data type=\"range\">"
    "<LowerBound value=\"0.5\"/></Data><Real/></Pref>"
    "<Pref name=\"Mode\" type=\"int\" value=\"1\" title=\"Mode\"><Data type=\"enum\">"
    "<EnumElem name=\"One\" value=\"1\"/><EnumElem name=\"Two\" value=\"2\"/></Data>"
    "<OptionMenu/></Pref>"
    "<Pref name=\"Colour\" type=\"int\" value=\"3\" title=\"Colour\"><Color/></Pref>"
    "<Pref name=\"Shown\" type=\"logical\" value=\"true\" title=\"Shown\"/>"
    "<Pref name=\"Label\" type=\"string\" value=\"a\" title=\"Label\"/>"
    "<Pref name=\"Dirs\" type=\"string_list\" value=\"&quot;a&quot;\\&quot;b&quot;\" "
    "title=\"Dirs\"/>"
    "</Tab></Category></Application></Preferences>";

std::string root;

void write_text(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

}  // namespace

void fuzz_write(const std::string& path, const unsigned char* data, std::size_t size) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

std::string fuzz_start_module() {
  if (!root.empty()) return root;
  char pattern[] = "/tmp/vuzodod-fuzz-XXXXXX";
  root = mkdtemp(pattern);
  for (const char* folder : {"/kvrn", "/user", "/user/startup", "/data", "/config"}) {
    mkdir((root + folder).c_str(), 0700);
  }
  for (const char* name : FILES) {
    const std::string application = std::string("<Preferences><Application name=\"") + name +
                                    "\" csh=\"" + name + "\"/></Preferences>";
    write_text(root + "/kvrn/" + name + ".dpx",
               std::string(name) == "kv_gateway" ? GATEWAY : application);
  }
  write_text(root + "/kvrn/kv_extras.dpx", "<Preferences/>");
  setenv("KVRN_BASE_DIR", root.c_str(), 1);
  setenv("KVRN_USER_DIR", (root + "/user").c_str(), 1);
  setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
  ERROR_set_log_sink([](const char*, void*) {}, nullptr);
  VERU_init_module();
  return root;
}

std::string fuzz_user_file() {
  return fuzz_start_module() + "/user/startup/kvrn1_user.dpv";
}

void fuzz_remove_installation() {
  if (root.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
}
