// kvrn-prefs list: the definition tree with each preference's title and effective value at user
// level, optionally only the preferences with an entry at a level or changed from the defaults.
#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

#include "json.h"
#include "tool.h"

namespace {

using prefs_by_group = std::map<const VERU_group*, std::vector<VERU_pref*>>;

const char* role_of(const VERU_group* group, int depth) {
  if (group->ask_has_tabs()) return "category";
  if (group->ask_is_group()) return "group";
  return depth == 0 ? "application" : "tab";
}

// What a listing shows and where it goes.
struct listing_s {
  int level = -1;  // --level, or -1
  bool changed = false;
  bool json = false;
  prefs_by_group prefs;
  json_document records = json_document::array();

  bool wants(VERU_pref* pref) const {
    if (level >= 0 && !pref->ask_recorded_value(level)) return false;
    return !changed || value_source(pref) > 0;
  }
};

std::string pref_line(VERU_pref* pref, int indent) {
  const std::string unit = text_of(pref->ask_unit());
  std::string line = std::string(indent, ' ') + pref->ask_name() + " \"" +
                     one_line(text_of(pref->ask_title())) + "\" = " + displayed_value(pref, 3) +
                     (unit.empty() ? "" : " " + unit);
  if (const int level = locked_from(pref); level >= 0) {
    line += std::string("  [locked at ") + level_name(level) + "]";
  }
  return line + "\n";
}

// The group's text, empty when nothing in it is wanted.
std::string group_text(const VERU_group* group, int depth, listing_s* listing) {
  const int indent = 2 * depth;
  std::string body;
  auto own = listing->prefs.find(group);
  if (own != listing->prefs.end()) {
    for (VERU_pref* pref : own->second) {
      if (!listing->wants(pref)) continue;
      if (listing->json)
        listing->records.push_back(pref_json_fields(pref));
      else
        body += pref_line(pref, indent + 2);
    }
  }
  for (int i = 0; i < group->ask_n_objects(); ++i) {
    const OM_object* child = group->ask_nth_object(i);
    if (child && OM_is_subclass(child->class_id(), VERU_group_c)) {
      body += group_text(static_cast<const VERU_group*>(child), depth + 1, listing);
    }
  }
  if (body.empty()) return "";
  return std::string(indent, ' ') + text_of(group->ask_name()) + " (" + role_of(group, depth) +
         ")\n" + body;
}

}  // namespace

bool application_matches(const VERU_group* application, const std::string& wanted) {
  const char* csh = application->ask_csh_text();
  return wanted.empty() || text_of(application->ask_name()) == wanted || (csh && wanted == csh);
}

int run_list(const command_line_s& line) {
  if (line.arguments.size() > 1) return refuse(EXIT_USAGE, "list takes at most one application");
  listing_s listing;
  listing.changed = line.changed;
  listing.json = line.json;
  if (line.given & OPTION_LEVEL) {
    listing.level = any_level_of(line.level);
    if (listing.level < 0) {
      return refuse(EXIT_USAGE, "list --level takes defaults, site, group or user (0 to 3)");
    }
  }
  for (VERU_pref* pref : prefs_in_file_order()) listing.prefs[pref->ask_parent()].push_back(pref);
  const VERU_group* tree_root = VERU__ask_module_root()->ask_tree_root();
  const std::string wanted = line.arguments.empty() ? "" : line.arguments[0];
  bool found = false;
  std::string text;
  for (int i = 0; i < tree_root->ask_n_objects(); ++i) {
    const auto* application = static_cast<const VERU_group*>(tree_root->ask_nth_object(i));
    if (!application_matches(application, wanted)) continue;
    found = true;
    text += group_text(application, 0, &listing);
  }
  if (!found) return refuse(EXIT_REFUSED, "no application named " + wanted);
  if (listing.json) text = json_text(listing.records, true) + "\n";
  std::fputs(text.c_str(), stdout);
  return EXIT_OK;
}
