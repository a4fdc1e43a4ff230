// Helpers of the preference and query tests: a module started without any definitions, owning
// handles for objects that a test makes, and the release of returned strings and lists.
#pragma once

#include "test_support.h"

#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

// Starts the module on an installation whose 27 definition files define nothing, without value
// files, so that a test sees only the preferences it adds itself.
inline void start_module() {
  TempDir definitions;
  std::istringstream names(
      "gateway modeling sketcher drafting assemblies sheet_metal surfacing routing manufacturing "
      "inspection simulation motion analysis visualization rendering data_exchange translators "
      "knowledge validation pmi tooling molding electrical piping structures collaboration extras");
  for (std::string name; names >> name;)
    write_file(definitions / ("kv_" + name + ".dpx"), "<Preferences/>\n");
  setenv("KVRN_VERU_XML_DEF_DIR", definitions.path().c_str(), 1);
  for (const char* variable : {"KVRN_BASE_DIR", "KVRN_LANG", "KVRN_SITE_DIR", "KVRN_GROUP_DIR",
                               "KVRN_USER_DIR", "KVRN_LOCAL_USER_DEFAULTS"}) {
    unsetenv(variable);
  }
  VERU_init_module();
}

// An object of the object manager that the test owns.
struct OmDeleter {
  void operator()(OM_object* object) const { OM_delete_object(object); }
};
template <class T>
using OmPtr = std::unique_ptr<T, OmDeleter>;

// The contents of a returned string, text or list, which is then released.
inline std::string taken(char* text) {
  std::string copy = text ? text : "(null)";
  SM_free(text);
  return copy;
}

inline std::string taken(TEXT_s* text) {
  std::string copy = TEXT_ask_utf8(text);
  TEXT_free(text);
  return copy;
}

inline std::vector<std::string> taken(char** list, int count) {
  std::vector<std::string> items;
  for (int i = 0; i < count; ++i) {
    items.push_back(list[i]);
    SM_free(list[i]);
  }
  EXPECT_EQ(list[count], nullptr);
  SM_free(list);
  return items;
}
