// The definition order of the preferences and their former names.
#include "veru_pref_names.h"

#include <string>
#include <unordered_map>

namespace {

std::vector<VERU_pref*>& definition_order() {
  static std::vector<VERU_pref*> prefs;
  return prefs;
}

std::unordered_map<std::string, VERU_pref*>& former_names() {
  static std::unordered_map<std::string, VERU_pref*> names;
  return names;
}

}  // namespace

void veru_note_defined_pref(VERU_pref* pref) {
  definition_order().push_back(pref);
}

void veru_note_former_names(VERU_pref* pref, const char* formerly) {
  if (!formerly) return;
  std::string names = formerly;
  std::size_t start = 0;
  while (start <= names.size()) {
    std::size_t end = names.find(';', start);
    if (end == std::string::npos) end = names.size();
    std::string name = names.substr(start, end - start);
    while (!name.empty() && name.back() == ' ') name.pop_back();
    while (!name.empty() && name.front() == ' ') name.erase(0, 1);
    // The first definition to claim an old name keeps it.
    if (!name.empty()) former_names().emplace(std::move(name), pref);
    start = end + 1;
  }
}

const std::vector<VERU_pref*>& veru_prefs_in_definition_order() {
  return definition_order();
}

VERU_pref* VERU_lookup_renamed_pref(const char* old_name) {
  if (!old_name || former_names().empty()) return nullptr;
  const auto found = former_names().find(old_name);
  return found == former_names().end() ? nullptr : found->second;
}
