// kvrn-prefs reset, lock, unlock, comment and level-lock: the other edits of a level, each saved
// under the level's lock.
#include "level_edit.h"

#include <set>

#include "suggest.h"

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
    VERU_pref* pref = VERU_lookup_pref(name.c_str());
    const unsigned hidden = pref ? hidden_above(pref, level) : 0;
    const VERU_recorded_value* entry = pref ? pref->ask_recorded_value(level) : nullptr;
    const std::string was = entry ? "; was " + shown_value(pref, entry->ask_value()) : "";
    char* reason = nullptr;
    if (const int code = VERU_edit_reset(name.c_str(), level, &reason)) {
      return refused_edit(name + " was not reset", code, reason, name);
    }
    edit_outcome_s outcome{
        EXIT_OK, name + " reset (value, lock and comment removed" + was + ")", {}};
    if (pref) outcome.revealed.emplace_back(pref, hidden);
    return outcome;
  });
}

namespace {

int lock_or_unlock(const command_line_s& line, bool locked) {
  const char* command = locked ? "lock" : "unlock";
  if (!one_name(line, command, 0)) return EXIT_USAGE;
  const int level = edited_level(line, command);
  if (level < 0) return EXIT_USAGE;
  const std::string& name = line.arguments[0];
  return edit_level(line, level, [&]() -> edit_outcome_s {
    VERU_pref* pref = VERU_lookup_pref(name.c_str());
    const unsigned hidden = pref ? hidden_above(pref, level) : 0;
    const char* was = pref && pref->is_locked_at(level) ? " (was locked)" : " (was unlocked)";
    char* reason = nullptr;
    if (const int code = VERU_edit_lock(name.c_str(), level, locked, &reason)) {
      return refused_edit(name + " was not " + (locked ? "locked" : "unlocked"), code, reason,
                          name);
    }
    if (!locked) {
      edit_outcome_s outcome{EXIT_OK, name + " unlocked" + was, {}};
      outcome.revealed.emplace_back(pref, hidden);
      return outcome;
    }
    return {EXIT_OK,
            name + " locked with the value " + shown_value(pref, pref->ask_value(level)) + was,
            {pref}};
  });
}

}  // namespace

int run_lock(const command_line_s& line) {
  return lock_or_unlock(line, true);
}

int run_unlock(const command_line_s& line) {
  return lock_or_unlock(line, false);
}

int run_comment(const command_line_s& line) {
  if (!one_name(line, "comment", 1)) return EXIT_USAGE;
  const int level = edited_level(line, "comment");
  if (level < 0) return EXIT_USAGE;
  const std::string& name = line.arguments[0];
  const std::string& comment = line.arguments[1];
  return edit_level(line, level, [&]() -> edit_outcome_s {
    VERU_pref* pref = VERU_lookup_pref(name.c_str());
    const TEXT_s* old = pref ? pref->ask_comment(level) : nullptr;
    const std::string was = TEXT_is_null_text(old) || text_of(old).empty()
                                ? " (had none)"
                                : " (was \"" + one_line(text_of(old)) + "\")";
    char* reason = nullptr;
    if (const int code = VERU_edit_comment(name.c_str(), level, comment.c_str(), &reason)) {
      return refused_edit("the comment of " + name + " was not changed", code, reason, name);
    }
    return {EXIT_OK,
            (comment.empty() ? "the comment of " + name + " removed"
                             : "the comment of " + name + " set") +
                was,
            {}};
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
  const bool clear = line.has(OPTION_CLEAR_EXCEPTIONS);
  return edit_level(line, level, [&]() -> edit_outcome_s {
    if (VERU_is_level_locked_by_default(level) == locked) {
      return {EXIT_OK, std::string("already ") + state + " by default, nothing changed", {}};
    }
    // The exceptions to the old default: the entries whose own flag is set.
    std::vector<std::string> exceptions;
    for (VERU_pref* pref : prefs_in_file_order()) {
      const VERU_recorded_value* entry = pref->ask_recorded_value(level);
      if (entry && entry->ask_locked()) exceptions.emplace_back(pref->ask_name());
    }
    // The entries above that the old default lock hid, some of which may count once it goes.
    std::vector<std::pair<VERU_pref*, unsigned>> hidden;
    if (!locked) {
      std::set<std::string> names;
      for (int above = level + 1; above <= 3; ++above) {
        char** carried = nullptr;
        const int count = VERU_ask_level_carried_entries(above, &carried);
        for (const std::string& name : taken(carried, count)) names.insert(name);
      }
      for (const std::string& name : names) {
        VERU_pref* pref = VERU_lookup_pref(name.c_str());
        if (const unsigned bits = pref ? hidden_above(pref, level) : 0)
          hidden.emplace_back(pref, bits);
      }
    }
    char* reason = nullptr;
    int flipped = 0;
    const int code = clear ? VERU_edit_level_lock(level, locked, &reason)
                           : VERU_edit_level_lock_keeping_locks(level, locked, &flipped, &reason);
    if (code) return refused_edit("the level's default lock was not changed", code, reason, "");
    std::string done = std::string(locked ? "locked" : "unlocked") + " by default (was " +
                       (locked ? "unlocked" : "locked") + ")";
    if (!clear) {
      done += "; every preference with an entry here keeps its lock (" + std::to_string(flipped) +
              " entries' own lock flags turned over)";
      return {EXIT_OK, done, locked ? prefs_in_file_order() : std::vector<VERU_pref*>{}, false,
              hidden};
    }
    done += "; each entry's own lock flag cleared, " + std::to_string(exceptions.size()) +
            " exceptions removed";
    for (std::size_t i = 0; i < exceptions.size(); ++i) {
      done += (i ? ", " : ": ") + exceptions[i];
    }
    return {EXIT_OK, done, locked ? prefs_in_file_order() : std::vector<VERU_pref*>{}, false,
            hidden};
  });
}
