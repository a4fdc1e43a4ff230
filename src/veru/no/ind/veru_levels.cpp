// The level table: one entry per level with its value file and flags, and the level queries.
#include "veru_levels.h"

#include <cstdarg>
#include <cstring>
#include <string>
#include <vector>

#include "veru_installation_names.h"
#include "veru_sm_string.h"
#include "veru_xml.h"

#define VERU_SOURCE "src/veru/no/ind/veru_levels"

namespace {

// Copies text into a fixed field when it fits; false, and nothing copied, when it does not.
template <std::size_t size>
bool copy_into(char (&field)[size], const char* text) {
  if (std::strlen(text) >= size) return false;
  std::strcpy(field, text);
  return true;
}

// The value file's name prefix: the product name in lower case and the major version, kvrn1.
std::string value_file_prefix() {
  ENV_version_s version{};
  ENV_ask_version(&version);
  std::string prefix;
  for (const char* c = version.product_name; c && *c; ++c) prefix += STR_tolower(*c);
  return prefix + std::to_string(version.numbers[0]);
}

// Where a level's value file lies: its path, or else the log line that says why it has none.
struct level_file_s {
  std::string path;
  std::string why_none;
};

level_file_s none_because(const char* format, ...) __attribute__((format(printf, 1, 2)));
level_file_s none_because(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const veru_sm_string text = veru_owned(SM_vsprintf(format, arguments));
  va_end(arguments);
  return {"", text.get()};
}

// Works out where a level's value file lies from its directory variable: its path, or why there
// is none for the caller to log. The folder may have any name the system allows.
level_file_s locate_level_file(const veru_level_s& entry, const std::string& prefix) {
  const veru_character_checking_off checking_off;
  const veru_sm_string directory = veru_owned(ENV_translate_variable(entry.variable));
  if (!directory) {
    return none_because("No user customizations read from %s - environment variable is not set\n",
                        entry.variable);
  }
  if (CFI_ask_directory_exist(directory.get()) != 0) {
    return none_because("No user customizations read from %s - directory %s does not exist\n",
                        entry.variable, directory.get());
  }
  char* startup_path = nullptr;
  if (CFI_merge_filespec(directory.get(), "startup", &startup_path) != 0) {
    return none_because("No user customizations read from %s - unable to merge filespec %s \n",
                        entry.variable, directory.get());
  }
  const veru_sm_string startup = veru_owned(startup_path);
  if (CFI_ask_directory_exist(startup.get()) != 0) {
    return none_because("No user customizations read from %s - startup directory %s not found\n",
                        entry.variable, startup.get());
  }
  const std::string file_name = prefix + "_" + entry.base_name;
  char* path = nullptr;
  if (file_name.size() > 127 || CFI_merge_filespec(startup.get(), file_name.c_str(), &path) != 0) {
    return none_because("No user customizations read - failed to merge %s %s\n", startup.get(),
                        file_name.c_str());
  }
  const veru_sm_string file = veru_owned(path);
  if (std::strlen(file.get()) >= sizeof entry.file_path) {
    return none_because(
        "No user customizations read from %s - path %s is longer than %zu characters\n",
        entry.variable, file.get(), sizeof entry.file_path - 1);
  }
  return {file.get(), ""};
}

// Logs why a level has no value file, and keeps it in the level's words of why it is not used.
void say_why_none(veru_level_s* entry, const std::string& why_none) {
  ERROR_lprintf("%s", why_none.c_str());
  std::string reason = why_none;
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == ' ')) reason.pop_back();
  if (!entry->undefined_reason.empty()) entry->undefined_reason += "; ";
  entry->undefined_reason += reason;
}

void define_level(int level, const std::string& prefix) {
  veru_level_s& entry = veru_level(level);
  const level_file_s file = locate_level_file(entry, prefix);
  if (!file.why_none.empty()) {
    say_why_none(&entry, file.why_none);
    return;
  }
  copy_into(entry.file_path, file.path.c_str());
  entry.defined = true;
}

// Where the user level's file lies when KVRN_LOCAL_USER_DEFAULTS names it (value): a path, or a
// file name in the current directory. Character checking must be off.
level_file_s locate_local_user_file(const char* value) {
  char* directory_part = nullptr;
  char* name_part = nullptr;
  const int split = CFI_split_filespec(value, &directory_part, &name_part);
  const veru_sm_string directory = veru_owned(directory_part);
  const veru_sm_string name = veru_owned(name_part);
  if (split != 0) {
    return none_because("No local user customizations read - failed to split filespec %s\n", value);
  }
  veru_sm_string local_file = veru_owned(nullptr);
  if (!*directory) {
    char* default_directory = nullptr;
    char* joined = nullptr;
    const bool found = CFI_get_default_directory(1, &default_directory) == 0 &&
                       CFI_merge_filespec(default_directory, name.get(), &joined) == 0;
    SM_free(default_directory);
    local_file = veru_owned(joined);
    if (!found) {
      return none_because(
          "No local user customizations read - failed to establish local filename for %s\n", value);
    }
  } else {
    local_file = veru_owned(SM_string_copy(value));
  }
  if (std::strlen(local_file.get()) >= sizeof veru_level(3).file_path) {
    return none_because(
        "No local user customizations read - path %s is longer than %zu characters\n",
        local_file.get(), sizeof veru_level(3).file_path - 1);
  }
  return {local_file.get(), ""};
}

void define_local_user_defaults() {
  veru_level_s& user = veru_level(3);
  const veru_sm_string value = veru_owned(
      ENV_translate_variable(VERU_INSTALLATION_VARIABLES[VERU_VARIABLE_LOCAL_USER_DEFAULTS]));
  if (!value) {
    say_why_none(&user,
                 "No local user customizations read - environment variable "
                 "KVRN_LOCAL_USER_DEFAULTS is not set\n");
    return;
  }
  veru_character_checking_off checking_off;
  VERU_ask_zr_application_folder();
  const level_file_s file = locate_local_user_file(value.get());
  if (!file.why_none.empty()) {
    say_why_none(&user, file.why_none);
    return;
  }
  copy_into(user.file_path, file.path.c_str());
  user.defined = true;
}

veru_level_s levels[VERU_LEVEL_COUNT] = {
    {"", "", true},
    {VERU_INSTALLATION_VARIABLES[VERU_VARIABLE_SITE_DIR], "site.dpv", false},
    {VERU_INSTALLATION_VARIABLES[VERU_VARIABLE_GROUP_DIR], "group.dpv", false},
    {VERU_INSTALLATION_VARIABLES[VERU_VARIABLE_USER_DIR], "user.dpv", false},
};

void clear_recorded_lock(OM_object* pref, void* level) {
  static_cast<VERU_pref*>(pref)->clear_locked(*static_cast<int*>(level));
}

struct flipping_s {
  int level;
  int flipped;
};

void flip_recorded_lock(OM_object* object, void* data) {
  auto* flipping = static_cast<flipping_s*>(data);
  auto* pref = static_cast<VERU_pref*>(object);
  if (VERU_recorded_value* entry = pref->ask_recorded_value(flipping->level)) {
    entry->set_locked(!entry->ask_locked());
    ++flipping->flipped;
  }
}

}  // namespace

veru_level_s::veru_level_s(const char* variable_name, const char* file_base_name,
                           bool is_up_to_date)
    : up_to_date(is_up_to_date), load_state(is_up_to_date ? VERU_LOAD_LOADED : VERU_LOAD_NOT_READ) {
  copy_into(variable, variable_name);
  copy_into(base_name, file_base_name);
}

veru_level_s& veru_level(int level) {
  if (level < 0 || level >= VERU_LEVEL_COUNT) {
    ERROR_internal(VERU_SOURCE, __LINE__, "level %d is outside 0 to 3", level);
  }
  return levels[level];
}

bool VERU__is_level_defined(int level) {
  return veru_level(level).defined;
}

const char* VERU__ask_level_filename(int level) {
  return veru_level(level).file_path;
}

bool VERU_is_level_locked_by_default(int level) {
  return veru_level(level).locked_by_default;
}

void VERU_set_level_locked_by_default(int level, bool locked) {
  veru_level_s& entry = veru_level(level);
  if (VERU_module_root* root = VERU__ask_module_root()) {
    if (OM_set* prefs = root->ask_pref_set()) OM_for_all_in_set(prefs, clear_recorded_lock, &level);
  }
  // The entries the level carries follow the new default too, or their flags would turn over.
  entry.carried.clear_locks();
  entry.locked_by_default = locked;
}

int veru_set_level_locked_by_default_keeping_locks(int level, bool locked) {
  veru_level_s& entry = veru_level(level);
  flipping_s flipping{level, 0};
  if (VERU_module_root* root = VERU__ask_module_root()) {
    if (OM_set* prefs = root->ask_pref_set())
      OM_for_all_in_set(prefs, flip_recorded_lock, &flipping);
  }
  flipping.flipped += entry.carried.flip_locks();
  entry.locked_by_default = locked;
  return flipping.flipped;
}

bool VERU_is_level_up_to_date(int level) {
  return veru_level(level).up_to_date;
}

void VERU_set_level_up_to_date(int level, bool up_to_date) {
  veru_level(level).up_to_date = up_to_date;
}

void veru_init_levels() {
  const std::string prefix = value_file_prefix();
  for (int level = 1; level < VERU_LEVEL_COUNT; ++level) define_level(level, prefix);
  define_local_user_defaults();
  bool any_defined = false;
  for (int level = 1; level < VERU_LEVEL_COUNT; ++level) {
    any_defined |= levels[level].defined;
    if (levels[level].defined) levels[level].undefined_reason.clear();
  }
  if (!any_defined) levels[0].defined = true;
}

char* VERU_ask_level_undefined_reason(int level) {
  const veru_level_s& entry = veru_level(level);
  return level == 0 || entry.defined ? nullptr : SM_string_copy(entry.undefined_reason.c_str());
}

const CFI_file_identity_s& veru_level_file_identity(int level) {
  return veru_level(level).identity;
}

int VERU_ask_value_files(char*** files) {
  int count = 0;
  for (const veru_level_s& entry : levels) count += entry.defined ? 1 : 0;
  if (count == 0) {
    if (files) *files = nullptr;
    return 0;
  }
  if (!files) return count;
  char** paths = static_cast<char**>(SM_alloc(static_cast<std::size_t>(count) * sizeof(char*)));
  int filled = 0;
  for (const veru_level_s& entry : levels) {
    if (entry.defined) paths[filled++] = SM_string_copy(entry.file_path);
  }
  *files = paths;
  return count;
}

bool VERU_is_level_writeable(int level) {
  const veru_level_s& entry = veru_level(level);
  if (level == 0 || !entry.defined) return false;
  veru_character_checking_off checking_off;
  char* directory_part = nullptr;
  char* name_part = nullptr;
  const int split = CFI_split_filespec(entry.file_path, &directory_part, &name_part);
  const veru_sm_string directory = veru_owned(directory_part);
  const veru_sm_string name = veru_owned(name_part);
  if (split != 0) return false;
  int detail = 0;
  if (!CFI_is_access_permitted(*directory ? directory.get() : ".", CFI_ACCESS_WRITE, &detail)) {
    return false;
  }
  return CFI_ask_file_exist(entry.file_path) != 0 ||
         CFI_is_access_permitted(entry.file_path, CFI_ACCESS_WRITE, &detail);
}

int VERU_ask_level_load_state(int level, char** reason) {
  const veru_level_s& entry = veru_level(level);
  if (reason) {
    *reason =
        entry.load_state == VERU_LOAD_FAILED ? SM_string_copy(entry.load_failure.c_str()) : nullptr;
  }
  return entry.load_state;
}

int VERU_ask_level_carried_entries(int level, char*** names) {
  const veru_carried_entries& carried = veru_level(level).carried;
  const int count = carried.count();
  if (names) {
    *names = nullptr;
    if (count > 0) {
      *names = static_cast<char**>(SM_alloc(static_cast<std::size_t>(count) * sizeof(char*)));
      for (int i = 0; i < count; ++i)
        (*names)[i] = SM_string_copy(carried.entries()[i].name.c_str());
    }
  }
  return count;
}

int VERU_ask_level_carried_entry(int level, int index, int* position, char** reason) {
  const veru_carried_entries& carried = veru_level(level).carried;
  const bool known = index >= 0 && index < carried.count();
  const veru_carried_entries::why_s none;
  const veru_carried_entries::why_s& why = known ? carried.entries()[index].why : none;
  if (position) *position = why.position;
  if (reason) *reason = known ? SM_string_copy(carried.reason(index).c_str()) : nullptr;
  return why.code;
}
