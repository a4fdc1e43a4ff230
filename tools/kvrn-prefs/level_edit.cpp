// kvrn-prefs: an edit of one level: locked, read again, changed, saved.
#include "level_edit.h"

#include <cstdio>
#include <cstring>

#include "suggest.h"

namespace {

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

// One warning line for each entry above the level that a lock hid before the edit (hidden, as
// hidden_above gave it) and that now takes effect. Start-up ignored such entries, so the levels
// above are read again to see which of them count now.
void warn_about_revealed_entries(VERU_pref* pref, int level, unsigned hidden) {
  if (!hidden) return;
  for (int above = level + 1; above <= 3; ++above) {
    if (hidden & (1u << above)) VERU_set_level_up_to_date(above, false);
  }
  VERU_reload_values_xml();
  for (int above = level + 1; above <= 3; ++above) {
    const VERU_recorded_value* entry = pref->ask_recorded_value(above);
    if (!(hidden & (1u << above)) || !entry || pref->is_locked(above - 1)) continue;
    const std::string value = shown_value(pref, entry->ask_value());
    std::fprintf(stderr,
                 "kvrn-prefs: warning: the %s level's entry for %s (%s) now takes effect: the "
                 "lock that hid it is gone\n",
                 level_name(above), pref->ask_name(), value.c_str());
  }
}

// Whether the level carries an entry of that name.
bool carries(int level, const char* name) {
  char** names = nullptr;
  const int count = VERU_ask_level_carried_entries(level, &names);
  bool found = false;
  for (int i = 0; i < count; ++i) {
    found = found || std::strcmp(names[i], name) == 0;
    SM_free(names[i]);
  }
  SM_free(names);
  return found;
}

}  // namespace

unsigned hidden_above(VERU_pref* pref, int level) {
  unsigned hidden = 0;
  for (int above = level + 1; above <= 3; ++above) {
    const bool recorded = pref->ask_recorded_value(above) != nullptr;
    if ((recorded && pref->is_locked(above - 1)) ||
        (!recorded && pref->is_locked(level) && carries(above, pref->ask_name()))) {
      hidden |= 1u << above;
    }
  }
  return hidden;
}

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
                        const std::function<level_change_s(bool over_broken)>& change) {
  char* reason = nullptr;
  if (const int code = VERU_begin_level_edit(level, replace_broken, &reason)) {
    const std::string why = taken(reason);
    if (code == VERU_ERROR_LEVEL_FILE_BROKEN) {
      return std::string("the ") + level_name(level) + " level's file failed to load, so it is " +
             "not saved over:\n  " + why + "\n  mend the file at that position and try again, " +
             "or add --replace-broken to move it\n  aside and start a new file with this change";
    }
    return (code == VERU_ERROR_LEVEL_NOT_WRITEABLE ? "nothing was saved: "
                                                   : "the level cannot be edited now: ") +
           why;
  }
  const bool over_broken = VERU_ask_level_load_state(level, &reason) == VERU_LOAD_FAILED;
  const std::string failure = taken(reason);
  if (over_broken) {
    std::printf("the %s level's file failed to load (%s)\n", level_name(level), failure.c_str());
  }
  const level_change_s changed = change(over_broken);
  // The broken file stays where it is unless there is a change to save in its place.
  const bool save = changed.refusal.empty() && changed.save;
  char* kept_as = nullptr;
  const int refused = VERU_end_level_edit(level, save, &kept_as, &reason);
  const std::string kept = taken(kept_as);
  const std::string why = taken(reason);
  if (!kept.empty()) std::printf("it was moved aside to %s\n", kept.c_str());
  if (!save) return changed.refusal;
  return refused ? "nothing was saved: " + why : "";
}

int edit_level(const command_line_s& line, int level,
               const std::function<edit_outcome_s()>& change) {
  if (!VERU__is_level_defined(level)) {
    return refuse(EXIT_REFUSED,
                  std::string("the ") + level_name(level) + " level is not defined: " +
                      taken(VERU_ask_level_undefined_reason(level)) + " (see kvrn-prefs levels)");
  }
  edit_outcome_s outcome;
  const std::string refusal = locked_edit(level, line.replace_broken, [&](bool) -> level_change_s {
    // A lock that a lower level's broken file holds is missing: the change may be ignored later.
    warn_about_failed_levels(level - 1);
    outcome = change();
    return {outcome.status == EXIT_OK, ""};
  });
  if (!refusal.empty()) return refuse(EXIT_REFUSED, refusal);
  if (outcome.status != EXIT_OK) return outcome.status;
  std::printf("%s at the %s level, saved in %s\n", outcome.done.c_str(), level_name(level),
              VERU__ask_level_filename(level));
  for (VERU_pref* pref : outcome.watched) {
    warn_about_higher_entries(pref, level, outcome.value_set);
  }
  for (const auto& [pref, hidden] : outcome.revealed) {
    warn_about_revealed_entries(pref, level, hidden);
  }
  return EXIT_OK;
}
