// kvrn-prefs: a level's value file as it is written, with what start-up made of each entry.
#include "value_file.h"

#include <cstring>
#include <map>

#include "xml_file.h"

bool read_value_file(int level, value_file_s* file, std::string* error) {
  file->level = level;
  file->path = VERU__ask_level_filename(level);
  file->locked_by_default = VERU_is_level_locked_by_default(level);
  xml_file parsed;
  if (!parsed.parse(file->path)) {
    *error = parsed.error();
    return false;
  }
  // The library says which entries its load ignored, by their place in the file.
  std::map<int, std::pair<int, std::string>> ignored;
  const int carried = VERU_ask_level_carried_entries(level, nullptr);
  for (int i = 0; i < carried; ++i) {
    int position = 0;
    char* reason = nullptr;
    const int code = VERU_ask_level_carried_entry(level, i, &position, &reason);
    ignored[position] = {code, taken(reason)};
  }
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
    entry.locked_flag = locked && std::strcmp(locked, "yes") == 0;
    entry.has_modified = modified != nullptr;
    entry.modified = modified ? modified : "";
    entry.comment = child_text(element, "UserComment", &entry.has_comment);
    if (auto found = ignored.find(position); found != ignored.end()) {
      entry.ignored_code = found->second.first;
      entry.ignored_reason = found->second.second;
    }
    file->entries.push_back(entry);
  }
  return true;
}

bool entry_locks(const value_file_s& file, const value_entry_s& entry) {
  return entry.locked_flag != file.locked_by_default;
}
