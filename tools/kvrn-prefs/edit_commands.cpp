// kvrn-prefs reset, lock, unlock, comment and level-lock: the other edits of a level, each saved
// under the level's lock.
#include "level_edit.h"

namespace {

// The one name a command takes, or a usage error.
bool one_name(const command_line_s& line, const char* command, std::size_t extra) {
  if (line.arguments.size() == 1 + extra) return true;
  refuse(EXIT_USAGE,
         std::string(command) + (extra ? " takes a name and a text" : " takes one name"));
  return false;
}

}  // namespace

int run_reset(const command_line_s& line) {
  if (!one_name(line, "reset", 0)) return EXIT_USAGE;
  const int level = edited_level(line, "reset");
  if (level < 0) return EXIT_USAGE;
  const std::string& name = line.arguments[0];
  return edit_level(line, level, [&]() -> edit_outcome_s {
    char* reason = nullptr;
    if (VERU_edit_reset(name.c_str(), level, &reason) != 0) {
      return refused_edit(name + " was not reset", reason);
    }
    return {EXIT_OK, name + " reset (value, lock and comment removed)"};
  });
}

int run_lock(const command_line_s& line, bool locked) {
  const char* command = locked ? "lock" : "unlock";
  if (!one_name(line, command, 0)) return EXIT_USAGE;
  const int level = edited_level(line, command);
  if (level < 0) return EXIT_USAGE;
  const std::string& name = line.arguments[0];
  return edit_level(line, level, [&]() -> edit_outcome_s {
    char* reason = nullptr;
    if (VERU_edit_lock(name.c_str(), level, locked, &reason) != 0) {
      return refused_edit(name + " was not " + (locked ? "locked" : "unlocked"), reason);
    }
    if (!locked) return {EXIT_OK, name + " unlocked"};
    VERU_pref* pref = VERU_lookup_pref(name.c_str());
    return {EXIT_OK, name + " locked with the value " + shown_value(pref, pref->ask_value(level))};
  });
}

int run_comment(const command_line_s& line) {
  if (!one_name(line, "comment", 1)) return EXIT_USAGE;
  const int level = edited_level(line, "comment");
  if (level < 0) return EXIT_USAGE;
  const std::string& name = line.arguments[0];
  const std::string& comment = line.arguments[1];
  return edit_level(line, level, [&]() -> edit_outcome_s {
    char* reason = nullptr;
    if (VERU_edit_comment(name.c_str(), level, comment.c_str(), &reason) != 0) {
      return refused_edit("the comment of " + name + " was not changed", reason);
    }
    return {EXIT_OK, comment.empty() ? "the comment of " + name + " removed"
                                     : "the comment of " + name + " set"};
  });
}

int run_level_lock(const command_line_s& line) {
  const std::string state = line.arguments.size() == 1 ? line.arguments[0] : "";
  if (state != "locked" && state != "unlocked") {
    return refuse(EXIT_USAGE, "level-lock takes locked or unlocked");
  }
  const int level = edited_level(line, "level-lock");
  if (level < 0) return EXIT_USAGE;
  const bool locked = state == "locked";
  return edit_level(line, level, [&]() -> edit_outcome_s {
    // The entries' own lock flags are cleared only when the default changes.
    const bool changes = VERU_is_level_locked_by_default(level) != locked;
    char* reason = nullptr;
    if (VERU_edit_level_lock(level, locked, &reason) != 0) {
      return refused_edit("the level's default lock was not changed", reason);
    }
    if (!changes) return {EXIT_OK, "already " + state + " by default"};
    return {EXIT_OK, state + " by default (each entry's own lock flag cleared)"};
  });
}
