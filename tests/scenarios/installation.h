// A temporary host installation for one scenario: the base directory with its kvrn folder of
// definition files, the site, group and user directories with their startup folders and value
// files, and the per-user folders, together with the environment that points at them.
#pragma once

#include "test_support.h"

#include <string>
#include <vector>

// Everything lives under one temporary directory that goes at the end of the scenario:
//   base/kvrn/*.dpx         the 27 definition files, each defining nothing until replaced
//   site|group|user/startup the level directories, without value files until written
//   data, config            XDG_DATA_HOME and XDG_CONFIG_HOME
class Installation {
 public:
  Installation();

  const std::string& root() const { return dir_.path(); }
  std::string path(const std::string& relative) const { return dir_ / relative; }
  std::string base_dir() const { return path("base"); }
  std::string kvrn_dir() const { return path("base/kvrn"); }
  // The directory that KVRN_SITE_DIR, KVRN_GROUP_DIR or KVRN_USER_DIR names (level 1 to 3).
  std::string level_dir(int level) const;
  // Where the level's value file lies: <level dir>/startup/kvrn1_<site|group|user>.dpv.
  std::string value_file(int level) const;

  // Replaces the definition file of the table (such as "kv_gateway.dpx") in base/kvrn.
  void define(const std::string& file, const std::string& content) const;
  void write_values(int level, const std::string& content) const;
  // Writes a file anywhere below the root, making its directories.
  void write(const std::string& relative, const std::string& content) const;

  // Points KVRN_BASE_DIR and the three level variables at this installation and the per-user
  // folders into it; KVRN_LANG, KVRN_VERU_XML_DEF_DIR and KVRN_LOCAL_USER_DEFAULTS are unset.
  void use_environment() const;
  // use_environment, then VERU_init_module.
  void start() const;
  // Copies the example installation of the source tree over this one (the level folders to
  // their places, everything else into the base directory), then use_environment.
  void use_examples() const;
  static std::string examples_dir();

  // The library's 27 definition file names in load order, kv_extras.dpx last.
  static const std::vector<std::string>& definition_files();

 private:
  TempDir dir_;
};

// A definition file: the document element around body.
std::string definitions(const std::string& body);
// A value file with its default lock status and the entries.
std::string values(const std::string& entries, const std::string& default_lock = "unlocked");
// One value file entry; extra is more attributes, such as locked="yes".
std::string entry(const std::string& name, const std::string& value, const std::string& extra = "");

// Records the calls of the host's hooks in order, as text:
//   "create <element> owner=<preference name>|null", "init_done", "report <level> <flag>".
// The create hook makes a display object (a group named "shown <element>") unless the element
// carries declined="yes".
class HookRecorder {
 public:
  static void register_hooks();
  static std::vector<std::string>& calls();
  // The calls other than the create hook's.
  static std::vector<std::string> reports();
  static int count(const std::string& call);
};

// The preference of that name; a test failure when there is none.
VERU_pref* pref(const char* name);
// The index-th object of a group, as a group.
VERU_group* child(const VERU_group* group, int index);
// The preference's recorded value at a level as the value file writes it; "(none)" when the
// preference has no value there.
std::string value_at(VERU_pref* pref, int level);
// The text's UTF-8 characters as a string; "(null)" for a null text.
std::string text_of(const TEXT_s* text);
// Takes a string of the host's memory service and frees it.
std::string taken(char* text);
// Takes an array of count strings and frees it.
std::vector<std::string> taken(char** list, int count);
