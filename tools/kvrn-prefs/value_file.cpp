// kvrn-prefs: a level's value file as it is written, with what start-up made of each entry.
#include "value_file.h"

#include <cstring>
#include <map>

#include "xml_file.h"

namespace {

bool is_entry_attribute(const char* name) {
  for (const char* const* known = VERU__ask_value_entry_attribute_names(nullptr); *known; ++known) {
    if (std::strcmp(name, *known) == 0) return true;
  }
  return false;
}

}  // namespace

bool read_value_file_at(const std::string& path, value_file_s* file, std::string* error) {
  file->path = path;
  xml_file parsed;
  if (!parsed.parse(path)) {
    *error = parsed.error();
    return false;
  }
  const char* status = attribute(parsed.root(), "defaultLockStatus");
  file->has_default_lock_status = status != nullptr;
  file->default_lock_status = status ? status : "";
  file->locked_by_default = status && std::strcmp(status, "locked") == 0;
  int position = 0;
  for (XERCES_DOM_node* element : child_elements(parsed.root(), "Pref")) {
    value_entry_s entry;
    entry.position = ++position;
    const char* name = attribute(element, "name");
    const char* value = attribute(element, "value");
    const char* locked = attribute(element, "locked");
    const char* modified = attribute(element, "modified");
    entry.name = name ? name : "";
    entry.has_value = value != nullptr;
    entry.value = value ? value : "";
    entry.has_locked = locked != nullptr;
    entry.locked = locked ? locked : "";
    entry.locked_flag = locked && std::strcmp(locked, "yes") == 0;
    entry.has_modified = modified != nullptr;
    entry.modified = modified ? modified : "";
    entry.comment = child_text(element, "UserComment", &entry.has_comment);
    const char* names[32];
    const char* values[32];
    const int count = pvtbl_kvxml->XERCES_DOM_getAttributeList(element, names, values, 32);
    for (int i = 0; i < count && i < 32; ++i) {
      if (!is_entry_attribute(names[i])) entry.unknown_attributes.emplace_back(names[i]);
    }
    file->entries.push_back(entry);
  }
  return true;
}

bool read_value_file(int level, value_file_s* file, std::string* error) {
  file->level = level;
  if (!read_value_file_at(VERU__ask_level_filename(level), file, error)) return false;
  // The level's default lock as start-up applied it.
  file->locked_by_default = VERU_is_level_locked_by_default(level);
  // The library says which entries its load ignored, by their place in the file.
  std::map<int, std::pair<int, std::string>> ignored;
  const int carried = VERU_ask_level_carried_entries(level, nullptr);
  for (int i = 0; i < carried; ++i) {
    int position = 0;
    char* reason = nullptr;
    const int code = VERU_ask_level_carried_entry(level, i, &position, &reason);
    ignored[position] = {code, taken(reason)};
  }
  for (value_entry_s& entry : file->entries) {
    if (auto found = ignored.find(entry.position); found != ignored.end()) {
      entry.ignored_code = found->second.first;
      entry.ignored_reason = found->second.second;
    }
  }
  return true;
}

bool entry_locks(const value_file_s& file, const value_entry_s& entry) {
  return entry.locked_flag != file.locked_by_default;
}
