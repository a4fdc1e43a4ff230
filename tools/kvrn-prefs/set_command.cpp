// kvrn-prefs set: records a value (and a lock or comment) at a level and saves the level.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tool.h"

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
// A file that fails to load is left alone, or with --replace-broken moved aside. "" when the
// level may be saved, else why not.
std::string reload_level(int level, bool replace_broken) {
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
  char* moved_to = nullptr;
  if (VERU_set_aside_level_file(level, &moved_to, &reason) != 0) return taken(reason);
  std::printf("the %s level's file failed to load (%s);\nit was moved aside to %s\n",
              level_name(level), failure.c_str(), taken(moved_to).c_str());
  return "";
}

// The value of the text for the preference, read strictly: a person's typing mistakes are
// refused rather than read as the longest number they begin with. Null when not a value.
VERU_value* strict_value(VERU_pref* pref, const std::vector<std::string>& texts) {
  const int type = pref->class_id();
  if (type == VERU_pref_string_list_c) {
    std::vector<const char*> items;
    for (const std::string& text : texts) items.push_back(text.c_str());
    char* encoded = VERU_encode_string_list(static_cast<int>(items.size()), items.data());
    VERU_value* value = VERU_string_value::create(encoded ? encoded : "");
    SM_free(encoded);
    return value;
  }
  if (texts.size() != 1) return nullptr;
  const char* text = texts[0].c_str();
  char* end = nullptr;
  errno = 0;
  if (type == VERU_pref_int_c) {
    const long number = std::strtol(text, &end, 10);
    if (!*text || *end || errno || number < -2147483647L - 1 || number > 2147483647L) {
      return nullptr;
    }
    return VERU_int_value::create(static_cast<int>(number));
  }
  if (type == VERU_pref_real_c) {
    const double number = std::strtod(text, &end);
    if (!*text || *end || errno || !std::isfinite(number)) return nullptr;
    return VERU_real_value::create(number);
  }
  if (type == VERU_pref_logical_c) {
    if (STR_compare_i(text, "true") != 0 && STR_compare_i(text, "false") != 0) return nullptr;
    return VERU_logical_value::create(STR_compare_i(text, "true") == 0);
  }
  return pref->create_veru_value(text);
}

// Lists are not checked against constraints, nor are logicals, as when value files are read.
std::string constraint_refusal(VERU_pref* pref, const VERU_value* value) {
  const VERU_data* data = pref->ask_data();
  const int type = pref->class_id();
  if (!data || type == VERU_pref_logical_c || OM_is_subclass(type, VERU_pref_list_c)) return "";
  try {
    data->validate(value);
  } catch (const TQS::Error::Exception& error) {
    const char* meaning = ERROR_decode(error.askCode());
    std::string reason = meaning ? meaning : error.what();
    if (char* allowed = data->print()) {
      reason += std::string(" Allowed: ") + allowed;
      SM_free(allowed);
    }
    return reason;
  }
  return "";
}

}  // namespace

int run_set(const command_line_s& line) {
  if (line.arguments.size() < 2) return refuse(EXIT_USAGE, "set takes a name and a value");
  const int level = level_of(line.level);
  if (level < 0) return refuse(EXIT_USAGE, "set needs --level site, group or user");
  if (line.lock && line.unlock) return refuse(EXIT_USAGE, "--lock and --unlock exclude each other");
  const std::string& name = line.arguments[0];
  VERU_pref* pref = VERU_lookup_pref(name.c_str());
  if (!pref) return refuse(EXIT_REFUSED, "no preference is named " + name);
  if (!VERU__is_level_defined(level)) {
    return refuse(EXIT_REFUSED, std::string("the ") + level_name(level) +
                                    " level is not defined: its directory variable is not set or "
                                    "has no startup folder (see kvrn-prefs levels)");
  }
  level_lock lock(level);
  if (const std::string refusal = lock.take(); !refusal.empty()) {
    return refuse(EXIT_REFUSED, "the level cannot be edited now: " + refusal);
  }
  if (const std::string refusal = reload_level(level, line.replace_broken); !refusal.empty()) {
    return refuse(EXIT_REFUSED, refusal);
  }
  // A lock that a lower level's broken file holds is missing: the value may be ignored later.
  warn_about_failed_levels(level - 1);
  if (pref->is_locked(level - 1)) {
    return refuse(EXIT_REFUSED, name + " is locked below the " + level_name(level) +
                                    " level (see kvrn-prefs explain " + name + ")");
  }
  if (line.lock && !pref->is_lockable(level)) {
    return refuse(EXIT_REFUSED,
                  std::string("the ") + level_name(level) + " level cannot lock preferences");
  }
  const std::vector<std::string> texts(line.arguments.begin() + 1, line.arguments.end());
  VERU_value* value = strict_value(pref, texts);
  if (!value) {
    return refuse(EXIT_REFUSED, "not a " + std::string(type_name(pref)) + " value for " + name);
  }
  const std::string refusal = constraint_refusal(pref, value);
  if (!refusal.empty()) {
    OM_delete_object(value);
    return refuse(EXIT_REFUSED, texts[0] + " is not allowed for " + name + ": " + refusal);
  }
  pref->set_value(value, level);
  if (line.lock || line.unlock) pref->set_locked(line.lock, level);
  if (line.has_comment) {
    TEXT_s* comment = TEXT_create_from_locale(line.comment.c_str());
    pref->set_comment(comment, level);
    TEXT_free(comment);
  }
  char* reason = nullptr;
  if (VERU_save_level(level, &reason) != 0) {
    return refuse(EXIT_REFUSED, "the value was not saved: " + taken(reason));
  }
  std::printf("%s = %s saved at the %s level in %s\n", name.c_str(),
              value_text(pref->ask_value(level)).c_str(), level_name(level),
              VERU__ask_level_filename(level));
  return EXIT_OK;
}
