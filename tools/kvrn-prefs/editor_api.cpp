// kvrn-prefs edit: the page's questions and changes, on the library.
#include "editor_api.h"

#include <cstring>
#include <vector>

#include "level_edit.h"
#include "pref_view.h"

namespace {

const char* const CONSTRAINTS[] = {"none", "enum", "color", "range"};

bool is_list(const VERU_pref_view_s& view) {
  return std::strcmp(view.type, "string_list") == 0;
}

// A value of the view for the page: a string list's items as an array, anything else as the
// text the edits take back; null for none.
json_document value_json(const VERU_pref_view_s& view, const char* value) {
  if (!value) return nullptr;
  if (is_list(view)) return list_items(value);
  return value;
}

json_document text_json(const char* text) {
  return text ? json_document(text) : json_document(nullptr);
}

json_document bound_json(const VERU_pref_view_s& view, const VERU_view_bound_s& bound) {
  if (!bound.present) return nullptr;
  return {{"value", value_json(view, bound.value)},
          {"inclusive", bound.inclusive},
          {"label", text_json(bound.label)}};
}

json_document level_json(const VERU_pref_view_s& view, int level) {
  const VERU_view_level_s& at = view.levels[level];
  return {{"level", level},
          {"name", level_name(level)},
          {"entry", at.has_entry},
          {"value", value_json(view, at.value)},
          {"display", text_json(at.display)},
          {"locks", at.locks},
          {"modified", at.has_entry ? json_document(date_text(at.modified)) : json_document()},
          {"comment", text_json(at.comment)},
          {"carried", at.carried}};
}

json_document view_json(const VERU_pref_view_s& view) {
  json_document members = json_document::array();
  for (int i = 0; i < view.member_count; ++i) {
    members.push_back({{"value", view.members[i].value}, {"label", view.members[i].label}});
  }
  json_document levels = json_document::array();
  for (int level = 0; level <= 3; ++level) levels.push_back(level_json(view, level));
  return {{"name", view.name},
          {"type", view.type},
          {"title", text_json(view.title)},
          {"description", text_json(view.description)},
          {"unit", text_json(view.unit)},
          {"widget", text_json(VERU_ask_widget_name(view.widget))},
          {"toggle_off", text_json(view.toggle_off)},
          {"constraint", CONSTRAINTS[view.constraint]},
          {"members", members},
          {"lower", bound_json(view, view.lower)},
          {"upper", bound_json(view, view.upper)},
          {"range", text_json(view.range_text)},
          {"default", value_json(view, view.default_value)},
          {"default_display", text_json(view.default_display)},
          {"value", value_json(view, view.effective_value)},
          {"display", text_json(view.effective_display)},
          {"source", view.source},
          {"levels", levels},
          {"lock_level", view.lock_level < 0 ? json_document() : json_document(view.lock_level)},
          {"lock_comment", text_json(view.lock_comment)},
          {"refusal", text_json(view.change_reason)},
          {"modified", view.modified},
          {"comment", text_json(view.levels[view.level].comment)},
          {"visible", view.visible},
          {"enabled", view.enabled},
          {"restart", view.restart}};
}

const char* const TREE_KINDS[] = {"", "application", "category", "tab", "group", "pref"};

struct tree_walk_s {
  json_document nodes = json_document::array();
  json_document prefs = json_document::object();
  int level;
};

bool visit(const VERU_tree_node_s* node, void* data) {
  auto* walk = static_cast<tree_walk_s*>(data);
  walk->nodes.push_back(
      {{"kind", TREE_KINDS[node->kind]}, {"depth", node->depth}, {"name", node->name}});
  if (node->kind == VERU_TREE_PREF) {
    if (const pref_view view = describe_pref(node->name, walk->level)) {
      walk->prefs[node->name] = view_json(*view);
    }
  }
  return true;
}

json_document levels_json() {
  json_document levels = json_document::array();
  for (int level = 1; level <= 3; ++level) {
    const bool defined = VERU__is_level_defined(level);
    levels.push_back(
        {{"level", level},
         {"name", level_name(level)},
         {"defined", defined},
         {"editable", editor_may_edit(level)},
         {"file", defined ? json_document(VERU__ask_level_filename(level)) : json_document()}});
  }
  return levels;
}

// The text an edit takes for a value the page sends: a string list's items encoded, anything
// else as it is; false when the page sent no value of that form.
bool edit_text(const json_document& value, std::string* text) {
  if (value.is_string()) {
    *text = value.get<std::string>();
    return true;
  }
  if (!value.is_array()) return false;
  std::vector<std::string> items;
  for (const json_document& item : value) {
    if (!item.is_string()) return false;
    items.push_back(item.get<std::string>());
  }
  std::vector<const char*> pointers;
  for (const std::string& item : items) pointers.push_back(item.c_str());
  *text = taken(VERU_encode_string_list(static_cast<int>(pointers.size()), pointers.data()));
  return true;
}

// A value as the page sent it, for saying what was set: a list's items separated by ", ".
std::string shown_value_text(const json_document& change, const std::string& text) {
  const json_document& value = change["value"];
  if (!value.is_array()) return text;
  std::string shown;
  for (const json_document& item : value)
    shown += (shown.empty() ? "" : ", ") + item.get<std::string>();
  return shown;
}

std::string string_field(const json_document& request, const char* key) {
  auto found = request.find(key);
  return found != request.end() && found->is_string() ? found->get<std::string>() : "";
}

int level_field(const json_document& request) {
  auto found = request.find("level");
  return found != request.end() && found->is_number_integer() ? found->get<int>() : -1;
}

// Makes one part of a change: done says what it did, refused why it was not done.
template <typename Edit>
void record(Edit edit, const std::string& name, const std::string& what, json_document* done,
            json_document* refused) {
  char* reason = nullptr;
  if (edit(&reason) == 0) {
    done->push_back({{"name", name}, {"what", what}});
  } else {
    refused->push_back({{"name", name}, {"reason", taken(reason)}});
  }
}

// One change of the page (a reset, or a value and a comment), made through the checked edits.
void make_change(const json_document& change, int level, json_document* done,
                 json_document* refused) {
  const std::string name = change.is_object() ? string_field(change, "name") : "";
  if (name.empty()) {
    refused->push_back({{"name", name}, {"reason", "a change must name a preference"}});
    return;
  }
  if (change.value("reset", false)) {
    record([&](char** reason) { return VERU_edit_reset(name.c_str(), level, reason); }, name,
           "reset", done, refused);
    return;
  }
  if (auto value = change.find("value"); value != change.end()) {
    std::string text;
    if (!edit_text(*value, &text)) {
      refused->push_back({{"name", name}, {"reason", "the value must be a text or texts"}});
      return;
    }
    record(
        [&](char** reason) { return VERU_edit_value(name.c_str(), level, text.c_str(), reason); },
        name, "set to " + shown_value_text(change, text), done, refused);
  }
  if (auto comment = change.find("comment"); comment != change.end()) {
    const std::string text = comment->is_string() ? comment->get<std::string>() : "";
    record(
        [&](char** reason) { return VERU_edit_comment(name.c_str(), level, text.c_str(), reason); },
        name, text.empty() ? "comment removed" : "commented", done, refused);
  }
}

}  // namespace

bool editor_may_edit(int level) {
  if (level < 1 || level > 3 || !VERU__is_level_defined(level)) return false;
  return level == 3 || VERU_is_level_writeable(level);
}

json_document editor_state(int level) {
  tree_walk_s walk;
  walk.level = level;
  VERU_walk_pref_tree(visit, &walk);
  return {{"level", level},
          {"levels", levels_json()},
          {"tree", std::move(walk.nodes)},
          {"prefs", std::move(walk.prefs)}};
}

json_document editor_views(int level, const std::vector<std::string>& names) {
  json_document prefs = json_document::object();
  for (const std::string& name : names) {
    if (const pref_view view = describe_pref(name.c_str(), level)) prefs[name] = view_json(*view);
  }
  return {{"level", level}, {"prefs", std::move(prefs)}};
}

json_document editor_check(const json_document& request) {
  const int level = level_field(request);
  std::string text;
  auto value = request.find("value");
  if (value == request.end() || !edit_text(*value, &text)) {
    return {{"code", VERU_ERROR_LEVEL_NOT_CHANGEABLE},
            {"reason", "the value must be a text or a list of texts"}};
  }
  char* reason = nullptr;
  const int code =
      VERU_check_value(string_field(request, "name").c_str(), level, text.c_str(), &reason);
  return {{"code", code}, {"reason", code ? json_document(taken(reason)) : json_document()}};
}

json_document editor_apply(const json_document& request) {
  const int level = level_field(request);
  json_document done = json_document::array();
  json_document refused = json_document::array();
  auto changes = request.find("changes");
  if (!editor_may_edit(level) || changes == request.end() || !changes->is_array()) {
    return {{"saved", false},
            {"done", done},
            {"refused", refused},
            {"error", "the request names no level this editor may change, or no changes"}};
  }
  const std::string error = locked_edit(level, false, [&](bool) -> level_change_s {
    for (const json_document& change : *changes) make_change(change, level, &done, &refused);
    return {!done.empty(), ""};
  });
  const bool saved = error.empty() && !done.empty();
  return {{"saved", saved},
          {"file", VERU__ask_level_filename(level)},
          {"done", saved ? done : json_document::array()},
          {"refused", refused},
          {"error", error.empty() ? json_document() : json_document(error)}};
}
