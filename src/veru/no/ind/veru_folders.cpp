// Per-user application folders: <per-user application data>/Corvane/<product><major>, its
// subfolders, and the folders of earlier versions.
#include <veru.h>

#include <cstring>

#include "veru_sm_string.h"

namespace {

const char* const MAKER_FOLDER = "/Corvane";

// The platform's per-user application data folder: the local one, else the roaming one.
veru_sm_string base_folder() {
  SHELL_folder_lookup_fn lookup = SHELL_ask_folder_lookup();
  if (!lookup) return veru_owned(nullptr);
  char path[SHELL_FOLDER_PATH_SIZE] = "";
  int result = lookup(SHELL_FOLDER_LOCAL_APPDATA, path);
  if (result != 0) result = lookup(SHELL_FOLDER_ROAMING_APPDATA, path);
  path[SHELL_FOLDER_PATH_SIZE - 1] = '\0';
  return veru_owned(result == 0 && path[0] ? SM_string_copy(path) : nullptr);
}

bool is_usable(const char* path) {
  int detail = 0;
  return path && CFI_ask_directory_exist(path) == 0 &&
         CFI_is_access_permitted(path, CFI_ACCESS_WRITE, &detail);
}

void make_sure_exists(const char* path) {
  if (CFI_ask_directory_exist(path) == 1) CFI_create_directory(path);
}

// <base>/Corvane/<folder>, made with its maker folder when missing; null when not usable.
const char* versioned_folder(const char* folder) {
  const veru_sm_string base = base_folder();
  if (!is_usable(base.get())) return nullptr;
  veru_sm_string path = veru_owned(SM_sprintf("%s%s/%s", base.get(), MAKER_FOLDER, folder));
  if (!is_usable(path.get())) {
    const veru_sm_string maker = veru_owned(SM_sprintf("%s%s", base.get(), MAKER_FOLDER));
    make_sure_exists(maker.get());
    if (!is_usable(maker.get())) return nullptr;
    make_sure_exists(path.get());
    if (!is_usable(path.get())) return nullptr;
  }
  return SM_string_copy_persistent(path.get());
}

struct legacy_folder_s {
  const char* key;
  const char* folder;
  const char* path;
  bool computed;
};

legacy_folder_s legacy_folders[] = {
    {"ZR3", "ZR", nullptr, false},
    {"ZR4", "ZR4", nullptr, false},
};

}  // namespace

const char* VERU_ask_zr_application_folder() {
  static bool computed = false;
  static const char* folder = nullptr;
  if (!computed) {
    ENV_version_s version{};
    ENV_ask_version(&version);
    const veru_sm_string name =
        veru_owned(SM_sprintf("%s%d", version.product_name, version.numbers[0]));
    folder = versioned_folder(name.get());
    computed = true;
  }
  return folder;
}

const char* VERU_ask_zr_application_subfolder(const char* name) {
  const char* folder = VERU_ask_zr_application_folder();
  if (!folder) return nullptr;
  if (!name || !*name) return SM_string_copy_persistent(folder);
  // A subfolder is one level below the application folder, never elsewhere.
  if (std::strchr(name, '/') || std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
    return nullptr;
  }
  const veru_sm_string delimited = veru_owned(CFI_append_delimiter(folder));
  const veru_sm_string path = veru_owned(SM_sprintf("%s%s", delimited.get(), name));
  make_sure_exists(path.get());
  return is_usable(path.get()) ? SM_string_copy_persistent(path.get()) : nullptr;
}

const char* VERU_ask_zr_legacy_application_folder(const char* key) {
  if (!key) return nullptr;
  for (legacy_folder_s& row : legacy_folders) {
    if (std::strcmp(row.key, key) != 0) continue;
    if (!row.computed) {
      row.path = versioned_folder(row.folder);
      row.computed = true;
    }
    return row.path;
  }
  return nullptr;
}
