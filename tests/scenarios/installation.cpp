// A temporary host installation for one scenario, and the recorder of the host's hooks.
#include "installation.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace {

const char* const LEVEL_NAMES[] = {"", "site", "group", "user"};

}  // namespace

Installation::Installation() {
  for (const std::string& file : definition_files()) define(file, definitions(""));
  for (int level = 1; level <= 3; ++level) make_directories(level_dir(level) + "/startup");
  make_directories(path("data"));
  make_directories(path("config"));
}

std::string Installation::examples_dir() {
  const char* source = std::getenv("VUZODOD_SOURCE_DIR");
  return std::string(source ? source : ".") + "/examples";
}

void Installation::use_examples() const {
  for (const auto& item : std::filesystem::directory_iterator(examples_dir())) {
    const std::string name = item.path().filename().string();
    if (!item.is_directory()) continue;
    const bool is_level = name == "site" || name == "group" || name == "user";
    std::filesystem::copy(item.path(), is_level ? path(name) : base_dir() + "/" + name,
                          std::filesystem::copy_options::recursive |
                              std::filesystem::copy_options::overwrite_existing);
  }
  use_environment();
}

std::string Installation::level_dir(int level) const {
  return path(LEVEL_NAMES[level]);
}

std::string Installation::value_file(int level) const {
  return level_dir(level) + "/startup/kvrn1_" + LEVEL_NAMES[level] + ".dpv";
}

void Installation::define(const std::string& file, const std::string& content) const {
  write("base/kvrn/" + file, content);
}

void Installation::write_values(int level, const std::string& content) const {
  write_file(value_file(level), content);
}

void Installation::write(const std::string& relative, const std::string& content) const {
  const std::string whole = path(relative);
  make_directories(std::filesystem::path(whole).parent_path().string());
  write_file(whole, content);
}

void Installation::use_environment() const {
  setenv("KVRN_BASE_DIR", base_dir().c_str(), 1);
  setenv("KVRN_SITE_DIR", level_dir(1).c_str(), 1);
  setenv("KVRN_GROUP_DIR", level_dir(2).c_str(), 1);
  setenv("KVRN_USER_DIR", level_dir(3).c_str(), 1);
  setenv("XDG_DATA_HOME", path("data").c_str(), 1);
  setenv("XDG_CONFIG_HOME", path("config").c_str(), 1);
  setenv("XDG_CACHE_HOME", path("cache").c_str(), 1);
  unsetenv("KVRN_LANG");
  unsetenv("KVRN_VERU_XML_DEF_DIR");
  unsetenv("KVRN_LOCAL_USER_DEFAULTS");
}

void Installation::start() const {
  use_environment();
  VERU_init_module();
}

const std::vector<std::string>& Installation::definition_files() {
  static const std::vector<std::string> files = [] {
    int count = 0;
    const char* const* names = VERU__ask_dpx_file_names(&count);
    return std::vector<std::string>(names, names + count);
  }();
  return files;
}

std::string definitions(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Preferences>\n" + body + "</Preferences>\n";
}

std::string values(const std::string& entries, const std::string& default_lock) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PrefValues defaultLockStatus=\"" +
         default_lock + "\">\n" + entries + "</PrefValues>\n";
}

std::string entry(const std::string& name, const std::string& value, const std::string& extra) {
  return "<Pref name=\"" + name + "\" value=\"" + value + "\" " + extra + "/>\n";
}

// ---- hooks --------------------------------------------------------------------------------

namespace {

OM_object* create_object(OM_object* owner, XERCES_DOM_node* element) {
  const std::string name = pvtbl_kvxml->XERCES_DOM_getNodeName(element);
  const std::string owner_name = owner ? static_cast<VERU_pref*>(owner)->ask_name() : "null";
  HookRecorder::calls().push_back("create " + name + " owner=" + owner_name);
  const char* declined = pvtbl_kvxml->XERCES_DOM_getAttribute(element, "declined");
  if (declined && std::string(declined) == "yes") return nullptr;
  return VERU_group::create(("shown " + name).c_str());
}

int init_done() {
  HookRecorder::calls().push_back("init_done");
  return 0;
}

int level_report(int level, int flag) {
  HookRecorder::calls().push_back("report " + std::to_string(level) + " " + std::to_string(flag));
  return 0;
}

}  // namespace

void HookRecorder::register_hooks() {
  const REG_VERU_data_s hooks = {create_object, init_done, level_report};
  REG_VERU_register(&hooks);
}

std::vector<std::string>& HookRecorder::calls() {
  static std::vector<std::string> recorded;
  return recorded;
}

int HookRecorder::count(const std::string& call) {
  return static_cast<int>(std::count(calls().begin(), calls().end(), call));
}

std::vector<std::string> HookRecorder::reports() {
  std::vector<std::string> found;
  for (const std::string& call : calls()) {
    if (call.rfind("create ", 0) != 0) found.push_back(call);
  }
  return found;
}

// ---- small conversions --------------------------------------------------------------------

VERU_pref* pref(const char* name) {
  return required(VERU_lookup_pref(name), std::string("the preference ") + name);
}

VERU_group* child(const VERU_group* group, int index) {
  return static_cast<VERU_group*>(
      required(group->ask_nth_object(index), "object " + std::to_string(index) + " of a group"));
}

std::string value_at(VERU_pref* pref, int level) {
  if (!pref->has_value(level)) return "(none)";
  return taken(pref->ask_value(level)->print());
}

std::string text_of(const TEXT_s* text) {
  return text ? TEXT_ask_utf8(text) : "(null)";
}

std::string taken(char* text) {
  std::string copy = text ? text : "(null)";
  SM_free(text);
  return copy;
}

std::vector<std::string> taken(char** list, int count) {
  std::vector<std::string> items;
  for (int i = 0; i < count; ++i) items.push_back(taken(list[i]));
  SM_free(list);
  return items;
}
