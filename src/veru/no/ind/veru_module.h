// Calls from the loaders into the module: the host's hooks, and the bound on the log lines of
// duplicate preference names.
#pragma once

#include <veru.h>

// The host's create_object_hook; null when no hooks are registered.
OM_object* veru_call_create_object_hook(OM_object* owner, XERCES_DOM_node* element);
// Whether the host registered a create_object_hook (display elements are made for it only then).
bool veru_has_create_object_hook();
// The host's level_report_hook; nothing when no hooks are registered.
void veru_call_level_report_hook(int level, int flag);

// While one lives, add_pref logs at most VERU_MAX_ENTRY_LINES duplicate names, and at its end
// one line counts the rest of the definition file at path. One at a time.
class veru_duplicate_name_lines {
 public:
  explicit veru_duplicate_name_lines(const char* path);
  ~veru_duplicate_name_lines();
  veru_duplicate_name_lines(const veru_duplicate_name_lines&) = delete;
  veru_duplicate_name_lines& operator=(const veru_duplicate_name_lines&) = delete;

 private:
  const char* path_;
};
