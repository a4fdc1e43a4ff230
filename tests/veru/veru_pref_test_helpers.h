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
  // No start-up image in the home folder of whoever runs the tests.
  setenv("KVRN_CACHE", "off", 1);
  for (const char* variable : {"KVRN_BASE_DIR", "KVRN_LANG", "KVRN_SITE_DIR", "KVRN_GROUP_DIR",
                               "KVRN_USER_DIR", "KVRN_LOCAL_USER_DEFAULTS"}) {
    unsetenv(variable);
  }
  VERU_init_module();
}

// Fixture of tests on the started module: each test finds the module without preferences and
// no level locked by default, and the preferences it added to the module are deleted after it.
// A test must give back every pooled block it takes (what it added to the module aside), since
// a leak checker does not see blocks left in the pools.
class ModuleTest : public HostDefaults {
 protected:
  void SetUp() override {
    HostDefaults::SetUp();
    start_module();
    live_blocks_ = SM_pool_live_blocks();
  }

  void TearDown() override {
    VERU_module_root* root = VERU__ask_module_root();
    std::vector<OM_object*> added;
    OM_for_all_in_set(
        root->ask_pref_set(),
        [](OM_object* pref, void* list) {
          static_cast<std::vector<OM_object*>*>(list)->push_back(pref);
        },
        &added);
    OM_set* used = root->ask_pref_set();
    root->set_pref_set(VERU_module_root::create_pref_set(root));
    OM_delete_object(used);
    for (OM_object* pref : added) OM_delete_object(pref);
    for (int level = 0; level <= 3; ++level) VERU_set_level_locked_by_default(level, false);
    HostDefaults::TearDown();
    EXPECT_EQ(SM_pool_live_blocks(), live_blocks_) << "pooled blocks left behind by the test";
  }

 private:
  std::size_t live_blocks_ = 0;
};

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
