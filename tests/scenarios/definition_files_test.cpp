// Finding the definition files: override directories, language variants, the localization
// folder and the installation's kvrn folder, and the paths kept after the first search.
#include "installation.h"

#include <cstdlib>
#include <filesystem>
#include <set>

namespace {

std::vector<std::string> dpx_files() {
  char** files = nullptr;
  const int count = VERU_ask_dpx_files(&files);
  return taken(files, count);
}

// The found path of one table file.
std::string found(const std::vector<std::string>& paths, const std::string& file) {
  const auto& names = Installation::definition_files();
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] == file) return paths.at(i);
  }
  return "(not in the table)";
}

}  // namespace

// Installations of tests, fuzzers and benchmarks are laid out from this table.
TEST(DefinitionFiles, TheTableNamesEachFileOnceInLoadOrder) {
  int count = 0;
  const char* const* names = VERU__ask_dpx_file_names(&count);
  ASSERT_EQ(count, 27);
  EXPECT_EQ(names[count], nullptr);
  EXPECT_EQ(VERU__ask_dpx_file_names(nullptr), names);
  std::set<std::string> distinct;
  for (int i = 0; i < count; ++i) {
    const std::string name = names[i];
    EXPECT_TRUE(distinct.insert(name).second) << name;
    EXPECT_EQ(name.rfind("kv_", 0), 0u) << name;
    EXPECT_EQ(name.substr(name.size() - 4), ".dpx") << name;
    EXPECT_EQ(name.find('/'), std::string::npos) << name;
  }
  EXPECT_STREQ(names[0], "kv_gateway.dpx");
  // The extras file adds to the applications of the others, so it is read last.
  EXPECT_STREQ(names[count - 1], "kv_extras.dpx");
}

TEST(DefinitionFiles, OverrideDirectoriesComeFirstInListOrder) {
  Installation installation;
  installation.use_environment();
  setenv("KVRN_LANG", "german", 1);
  setenv("VUZODOD_SECOND", installation.path("second").c_str(), 1);
  // Missing directories, a plain file, an unset variable and empty pieces are all passed over.
  installation.write("plain_file", "");
  setenv("KVRN_VERU_XML_DEF_DIR",
         (installation.path("missing") + ";;" + installation.path("first") + ";" +
          installation.path("plain_file") + ";${NO_SUCH_VARIABLE_HERE}/x;${VUZODOD_SECOND};")
             .c_str(),
         1);
  installation.write("first/kv_gateway.dpx", "");
  installation.write("second/kv_gateway.dpx", "");
  installation.write("second/kv_modeling.dpx", "");
  // Within one directory the language variant wins; an earlier directory wins over a later
  // directory's variant.
  installation.write("first/kv_sketcher.dpx", "");
  installation.write("first/kv_sketcher_german.dpx", "");
  installation.write("second/kv_drafting_german.dpx", "");
  installation.write("first/kv_drafting.dpx", "");
  // With overrides set, the localization folder is never consulted, nor are variants in kvrn.
  installation.write("base/localization/kv_assemblies_german.dpx", "");
  installation.write("base/kvrn/kv_sheet_metal_german.dpx", "");

  const std::vector<std::string> paths = dpx_files();
  ASSERT_EQ(paths.size(), 27u);
  EXPECT_EQ(found(paths, "kv_gateway.dpx"), installation.path("first/kv_gateway.dpx"));
  EXPECT_EQ(found(paths, "kv_modeling.dpx"), installation.path("second/kv_modeling.dpx"));
  EXPECT_EQ(found(paths, "kv_sketcher.dpx"), installation.path("first/kv_sketcher_german.dpx"));
  EXPECT_EQ(found(paths, "kv_drafting.dpx"), installation.path("first/kv_drafting.dpx"));
  EXPECT_EQ(found(paths, "kv_assemblies.dpx"), installation.kvrn_dir() + "/kv_assemblies.dpx");
  EXPECT_EQ(found(paths, "kv_sheet_metal.dpx"), installation.kvrn_dir() + "/kv_sheet_metal.dpx");
  EXPECT_EQ(paths.back(), installation.kvrn_dir() + "/kv_extras.dpx");
}

TEST(DefinitionFiles, LanguageVariantsComeFromTheLocalizationFolder) {
  Installation installation;
  installation.use_environment();
  setenv("KVRN_LANG", "german", 1);
  installation.write("base/localization/kv_gateway_german.dpx", "");
  installation.write("base/localization/kv_modeling_french.dpx", "");
  installation.write("base/localization/kv_sketcher.dpx", "");

  const std::vector<std::string> paths = dpx_files();
  EXPECT_EQ(found(paths, "kv_gateway.dpx"),
            installation.path("base/localization/kv_gateway_german.dpx"));
  EXPECT_EQ(found(paths, "kv_modeling.dpx"), installation.kvrn_dir() + "/kv_modeling.dpx");
  EXPECT_EQ(found(paths, "kv_sketcher.dpx"), installation.kvrn_dir() + "/kv_sketcher.dpx");
}

TEST(DefinitionFiles, EnglishCountsAsNoLanguage) {
  Installation installation;
  installation.use_environment();
  setenv("KVRN_LANG", "english", 1);
  installation.write("base/localization/kv_gateway_english.dpx", "");
  EXPECT_EQ(found(dpx_files(), "kv_gateway.dpx"), installation.kvrn_dir() + "/kv_gateway.dpx");
}

TEST(DefinitionFiles, AnEmptyOverrideListFallsBackToKvrnOnly) {
  Installation installation;
  installation.use_environment();
  setenv("KVRN_LANG", "german", 1);
  setenv("KVRN_VERU_XML_DEF_DIR", "", 1);
  installation.write("base/localization/kv_gateway_german.dpx", "");
  const std::vector<std::string> paths = dpx_files();
  for (std::size_t i = 0; i < paths.size(); ++i) {
    EXPECT_EQ(paths[i], installation.kvrn_dir() + "/" + Installation::definition_files()[i]);
  }
}

TEST(DefinitionFiles, AMissingKvrnFolderStopsTheStart) {
  Installation installation;
  installation.use_environment();
  std::filesystem::remove_all(installation.kvrn_dir());
  std::string what;
  EXPECT_EQ(raised_code([] { VERU_init_module(); }, &what), VERU_ERROR_DEFINITION_FILE_LOAD);
  EXPECT_EQ(what, "directory " + installation.kvrn_dir() + " does not exist");
  // The failed start still counts as a start.
  EXPECT_NE(VERU__ask_module_root(), nullptr);
  EXPECT_EQ(raised_code([] { VERU_init_module(); }), -1);
}

TEST(DefinitionFiles, AMissingFileIsReportedAndLookedForAgainNextTime) {
  Installation installation;
  installation.use_environment();
  std::filesystem::remove(installation.kvrn_dir() + "/kv_pmi.dpx");
  std::string what;
  EXPECT_EQ(raised_code([] { dpx_files(); }, &what), VERU_ERROR_DEFINITION_FILE_LOAD);
  EXPECT_EQ(what, "file kv_pmi.dpx could not be found");

  installation.define("kv_pmi.dpx", definitions(""));
  EXPECT_EQ(found(dpx_files(), "kv_pmi.dpx"), installation.kvrn_dir() + "/kv_pmi.dpx");
}

TEST(DefinitionFiles, PathsAreKeptAfterTheFirstSearch) {
  Installation installation;
  installation.start();
  const std::vector<std::string> first = dpx_files();
  std::filesystem::remove(installation.kvrn_dir() + "/kv_gateway.dpx");
  setenv("KVRN_VERU_XML_DEF_DIR", installation.path("override").c_str(), 1);
  installation.write("override/kv_modeling.dpx", "");
  EXPECT_EQ(dpx_files(), first);
  EXPECT_EQ(first.front(), installation.kvrn_dir() + "/kv_gateway.dpx");

  char** ignored = nullptr;
  EXPECT_EQ(VERU_ask_dpx_files(nullptr), 27);
  EXPECT_EQ(VERU_ask_dpx_files(&ignored), 27);
  taken(ignored, 27);
}
