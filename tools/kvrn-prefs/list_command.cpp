// kvrn-prefs list: the definition tree with each preference's effective value at user level.
#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

#include "tool.h"

namespace {

using prefs_by_group = std::map<const VERU_group*, std::vector<VERU_pref*>>;

void collect(OM_object* object, void* data) {
  auto* pref = static_cast<VERU_pref*>(object);
  (*static_cast<prefs_by_group*>(data))[pref->ask_parent()].push_back(pref);
}

// Preferences get their tags in the order the definition files declare them.
void sort_in_file_order(prefs_by_group* groups) {
  for (auto& entry : *groups) {
    std::sort(entry.second.begin(), entry.second.end(), [](VERU_pref* a, VERU_pref* b) {
      return OM_ask_object_tag(a) < OM_ask_object_tag(b);
    });
  }
}

const char* role_of(const VERU_group* group, int depth) {
  if (group->ask_has_tabs()) return "category";
  if (group->ask_is_group()) return "group";
  return depth == 0 ? "application" : "tab";
}

void print_pref(VERU_pref* pref, int indent) {
  const std::string unit = text_of(pref->ask_unit());
  std::printf("%*s%s = %s%s%s", indent, "", pref->ask_name(), displayed_value(pref, 3).c_str(),
              unit.empty() ? "" : " ", unit.c_str());
  for (int level = 2; level >= 0; --level) {
    if (pref->is_locked(level) && !pref->is_locked(level - 1)) {
      std::printf("  [locked at %s]", level_name(level));
    }
  }
  std::printf("\n");
}

void print_group(const VERU_group* group, int depth, const prefs_by_group& prefs) {
  const int indent = 2 * depth;
  std::printf("%*s%s (%s)\n", indent, "", text_of(group->ask_name()).c_str(),
              role_of(group, depth));
  auto own = prefs.find(group);
  if (own != prefs.end()) {
    for (VERU_pref* pref : own->second) print_pref(pref, indent + 2);
  }
  for (int i = 0; i < group->ask_n_objects(); ++i) {
    const OM_object* child = group->ask_nth_object(i);
    if (child && OM_is_subclass(child->class_id(), VERU_group_c)) {
      print_group(static_cast<const VERU_group*>(child), depth + 1, prefs);
    }
  }
}

}  // namespace

int run_list(const command_line_s& line) {
  const VERU_group* tree_root = VERU__ask_module_root()->ask_tree_root();
  prefs_by_group prefs;
  OM_for_all_in_set(VERU__ask_module_root()->ask_pref_set(), collect, &prefs);
  sort_in_file_order(&prefs);
  const std::string wanted = line.arguments.empty() ? "" : line.arguments[0];
  bool shown = false;
  for (int i = 0; i < tree_root->ask_n_objects(); ++i) {
    const auto* application = static_cast<const VERU_group*>(tree_root->ask_nth_object(i));
    const char* csh = application->ask_csh_text();
    if (!wanted.empty() && text_of(application->ask_name()) != wanted && !(csh && wanted == csh)) {
      continue;
    }
    print_group(application, 0, prefs);
    shown = true;
  }
  if (!shown) return refuse(EXIT_REFUSED, "no application named " + wanted);
  return EXIT_OK;
}
