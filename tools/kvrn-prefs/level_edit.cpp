// kvrn-prefs: an edit of one level: locked, read again, changed, saved.
#include "level_edit.h"

#include <cstdio>

#include "suggest.h"

namespace {

// Holds the level's lock for the life of the command, so that concurrent editors all land.
class level_lock {
 public:
  explicit level_lock(int level) : level_(level) {}
  ~level_lock() {
    if (held_) VERU_unlock_level(level_);
  }
  level_lock(const level_lock&) = delete;
  level_lock& operator=(const level_lock&) = delete;
  // "" when held, else why not.
  std::string take() {
    char* reason = nullptr;
    held_ = VERU_lock_level(level_, &reason) == 0;
    return taken(reason);
  }

 private:
  int level_;
  bool held_ = false;
};

// Reads the level's file again under the lock: another editor may have saved it since start-up.
// A file that fails to load is left alone; with --replace-broken it is to be moved aside once the
// change is accepted, and *set_aside says so. "" when the level may be saved, else why not.
std::string reload_level(int level, bool replace_broken, bool* set_aside) {
  *set_aside = false;
  VERU_set_level_up_to_date(level, false);
  VERU_reload_values_xml();
  char* reason = nullptr;
  if (VERU_ask_level_load_state(level, &reason) != VERU_LOAD_FAILED) return "";
  const std::string failure = taken(reason);
  if (!replace_broken) {
    return std::string("the ") + level_name(level) + " level's file failed to load, so it is not " +
           "saved over:\n  " + failure + "\n  mend the file at that position and try again, or " +
           "add --replace-broken to move it\n  aside and start a new file with this change";
  }
  std::printf("the %s level's file failed to load (%s)\n", level_name(level), failure.c_str());
  *set_aside = true;
  return "";
}

// Moves the level's broken file aside under a new name, which it prints. "" when moved.
std::string set_aside_broken_file(int level) {
  char* moved_to = nullptr;
  char* reason = nullptr;
  if (VERU_set_aside_level_file(level, &moved_to, &reason) != 0) return taken(reason);
  std::printf("it was moved aside to %s\n", taken(moved_to).c_str());
  return "";
}

// One warning line for each entry above the level that a lock now hides, or whose value still
// decides over the level's: the edit does not do what its person may expect there.
void warn_about_higher_entries(VERU_pref* pref, int level, bool value_set) {
  for (int above = level + 1; above <= 3; ++above) {
    const VERU_recorded_value* entry = pref->ask_recorded_value(above);
    if (!entry) continue;
    const std::string value = shown_value(pref, entry->ask_value());
    if (pref->is_locked(above - 1)) {
      std::fprintf(stderr,
                   "kvrn-prefs: warning: the %s level's entry for %s (%s) is hidden by the lock "
                   "at the %s level: it stays in its file but no longer counts\n",
                   level_name(above), pref->ask_name(), value.c_str(), level_name(level));
    } else if (value_set && value_source(pref) == above) {
      std::fprintf(stderr,
                   "kvrn-prefs: warning: the %s level's own value of %s (%s) still decides over "
                   "the %s level's\n",
                   level_name(above), pref->ask_name(), value.c_str(), level_name(level));
    }
  }
}

}  // namespace

int edited_level(const command_line_s& line, const char* command) {
  const int level = level_of(line.level);
  if (level < 0) {
    refuse(EXIT_USAGE, std::string(command) + " needs --level site, group or user");
    return -1;
  }
  return level;
}

edit_outcome_s refused_edit(const std::string& what, int code, char* reason,
                            const std::string& name) {
  const std::string nearest = code == VERU_ERROR_UNKNOWN_PREF ? did_you_mean_pref(name) : "";
  return {refuse(EXIT_REFUSED, what + ": " + taken(reason) + nearest), "", {}};
}

std::string locked_edit(int level, bool replace_broken,
                        const std::function<level_change_s(bool set_aside)>& change) {
  level_lock lock(level);
  if (const std::string refusal = lock.take(); !refusal.empty()) {
    return "the level cannot be edited now: " + refusal;
  }
  bool set_aside = false;
  if (std::string refusal = reload_level(level, replace_broken, &set_aside); !refusal.empty()) {
    return refusal;
  }
  const level_change_s changed = change(set_aside);
  if (!changed.refusal.empty() || !changed.save) return changed.refusal;
  char* reason = nullptr;
  if (VERU_save_level(level, &reason) != 0) return "nothing was saved: " + taken(reason);
  return "";
}

int edit_level(const command_line_s& line, int level,
               const std::function<edit_outcome_s()>& change) {
  if (!VERU__is_level_defined(level)) {
    return refuse(EXIT_REFUSED, std::string("the ") + level_name(level) +
                                    " level is not defined: its directory variable is not set or "
                                    "has no startup folder (see kvrn-prefs levels)");
  }
  edit_outcome_s outcome;
  const std::string refusal =
      locked_edit(level, line.replace_broken, [&](bool set_aside) -> level_change_s {
        // A lock that a lower level's broken file holds is missing: the change may be ignored
        // later.
        warn_about_failed_levels(level - 1);
        outcome = change();
        if (outcome.status != EXIT_OK) return {};
        // The broken file stays where it is unless there is a change to save in its place.
        if (const std::string moved = set_aside ? set_aside_broken_file(level) : "";
            !moved.empty()) {
          return {false, "nothing was saved: " + moved};
        }
        return {true, ""};
      });
  if (!refusal.empty()) return refuse(EXIT_REFUSED, refusal);
  if (outcome.status != EXIT_OK) return outcome.status;
  std::printf("%s at the %s level, saved in %s\n", outcome.done.c_str(), level_name(level),
              VERU__ask_level_filename(level));
  for (VERU_pref* pref : outcome.watched) {
    warn_about_higher_entries(pref, level, outcome.value_set);
  }
  return EXIT_OK;
}
