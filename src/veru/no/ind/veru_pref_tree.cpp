// The editor model's walk of the definition tree: applications, categories, tabs and groups with
// the preferences of each, in the order the definition files give them.
#include <algorithm>
#include <unordered_map>
#include <utility>
#include <vector>

#include <veru.h>

namespace {

using prefs_by_parent = std::unordered_map<const VERU_group*, std::vector<VERU_pref*>>;

void collect(OM_object* object, void* data) {
  auto* pref = static_cast<VERU_pref*>(object);
  (*static_cast<prefs_by_parent*>(data))[pref->ask_parent()].push_back(pref);
}

int kind_of(const VERU_group* group, int depth) {
  if (depth == 1) return VERU_TREE_APPLICATION;
  if (group->ask_has_tabs()) return VERU_TREE_CATEGORY;
  if (group->ask_is_group()) return VERU_TREE_GROUP;
  return VERU_TREE_TAB;
}

// What a group holds, in definition order: its subgroups and its preferences, told apart by
// their tags, which the loader gives in document order.
std::vector<OM_object*> contents_of(VERU_group* group, prefs_by_parent& prefs) {
  std::vector<OM_object*> contents;
  for (int i = 0; i < group->ask_n_objects(); ++i) {
    OM_object* child = group->ask_nth_object(i);
    if (child && OM_is_subclass(child->class_id(), VERU_group_c)) contents.push_back(child);
  }
  auto own = prefs.find(group);
  if (own != prefs.end()) contents.insert(contents.end(), own->second.begin(), own->second.end());
  std::stable_sort(contents.begin(), contents.end(), [](OM_object* a, OM_object* b) {
    return OM_ask_object_tag(a) < OM_ask_object_tag(b);
  });
  return contents;
}

}  // namespace

void VERU_walk_pref_tree(bool (*visit)(const VERU_tree_node_s* node, void* data), void* data) {
  VERU_module_root* root = VERU__ask_module_root();
  if (!root || !visit) return;
  prefs_by_parent prefs;
  OM_for_all_in_set(root->ask_pref_set(), collect, &prefs);
  // Depth first without recursion: each open group with what it holds and the next to visit.
  struct open_s {
    VERU_group* group;
    std::vector<OM_object*> contents;
    std::size_t next;
  };
  std::vector<open_s> open{{root->ask_tree_root(), contents_of(root->ask_tree_root(), prefs), 0}};
  while (!open.empty()) {
    open_s& top = open.back();
    if (top.next >= top.contents.size()) {
      open.pop_back();
      continue;
    }
    OM_object* child = top.contents[top.next++];
    const int depth = static_cast<int>(open.size());
    VERU_tree_node_s node{};
    node.depth = depth;
    if (OM_is_subclass(child->class_id(), VERU_group_c)) {
      auto* group = static_cast<VERU_group*>(child);
      node.kind = kind_of(group, depth);
      node.name = TEXT_ask_utf8(group->ask_name());
      node.group = group;
      if (!visit(&node, data)) return;
      open.push_back({group, contents_of(group, prefs), 0});
    } else {
      auto* pref = static_cast<VERU_pref*>(child);
      node.kind = VERU_TREE_PREF;
      node.name = pref->ask_name();
      node.group = top.group;
      node.pref = pref;
      if (!visit(&node, data)) return;
    }
  }
}
