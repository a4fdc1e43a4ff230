// kvrn-prefs set: records a value (and a lock or comment) at a level and saves the level.
#include <cstdio>

#include "level_edit.h"
#include "suggest.h"

namespace {

// The value's text as the library reads it: a string list's items encoded into one text.
std::string value_text_of(VERU_pref* pref, const std::vector<std::string>& texts) {
  if (pref->class_id() != VERU_pref_string_list_c) return texts[0];
  std::vector<const char*> items;
  for (const std::string& text : texts) items.push_back(text.c_str());
  return taken(VERU_encode_string_list(static_cast<int>(items.size()), items.data()));
}

}  // namespace

int run_set(const command_line_s& line) {
  if (line.arguments.size() < 2) return refuse(EXIT_USAGE, "set takes a name and a value");
  const int level = edited_level(line, "set");
  if (level < 0) return EXIT_USAGE;
  if (line.lock && line.unlock) return refuse(EXIT_USAGE, "--lock and --unlock exclude each other");
  const std::string& name = line.arguments[0];
  VERU_pref* pref = VERU_lookup_pref(name.c_str());
  if (!pref) return refuse_unknown_pref(name);
  const std::vector<std::string> texts(line.arguments.begin() + 1, line.arguments.end());
  if (texts.size() > 1 && pref->class_id() != VERU_pref_string_list_c) {
    return refuse(EXIT_USAGE, name + " takes one value; only a string_list takes several items");
  }
  const std::string text = value_text_of(pref, texts);
  // An item that holds the list's separator would come back as other items. One empty item is
  // the empty list.
  if (pref->class_id() == VERU_pref_string_list_c && texts != std::vector<std::string>{""}) {
    const std::vector<std::string> read = list_items(text);
    if (read != texts) {
      std::string shown;
      for (std::size_t i = 0; i < read.size(); ++i) shown += (i ? ", " : "") + read[i];
      return refuse(EXIT_REFUSED, name +
                                      " was not changed: a string list cannot hold these items "
                                      "as typed; they would read back as " +
                                      shown);
    }
  }
  return edit_level(line, level, [&]() -> edit_outcome_s {
    // What the level had before: its effective value there.
    const std::string was = shown_value(pref, pref->ask_value(level));
    char* reason = nullptr;
    if (const int code = VERU_edit_value(name.c_str(), level, text.c_str(), &reason)) {
      return refused_edit(name + " was not changed", code, reason, name);
    }
    std::string done =
        name + " = " + shown_value(pref, pref->ask_value(level)) + " (was " + was + ")";
    if (line.lock || line.unlock) {
      if (const int code = VERU_edit_lock(name.c_str(), level, line.lock, &reason)) {
        return refused_edit(name + " was not changed", code, reason, name);
      }
      done += line.lock ? ", locked" : ", unlocked";
    }
    if (line.has_comment) {
      if (const int code = VERU_edit_comment(name.c_str(), level, line.comment.c_str(), &reason)) {
        return refused_edit(name + " was not changed", code, reason, name);
      }
      done += line.comment.empty() ? ", comment removed" : ", with its comment";
    }
    return {EXIT_OK, done, {pref}, true};
  });
}
