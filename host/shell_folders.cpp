// Per-user folders of the platform.
#include <vavadoz/shell_folders.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

SHELL_folder_lookup_fn lookup_in_force = SHELL_default_folder_lookup;

std::string home_directory() {
  const char* home = std::getenv("HOME");
  if (home && *home) return home;
  const passwd* entry = getpwuid(getuid());
  return entry && entry->pw_dir ? entry->pw_dir : "";
}

// Makes the folder and any missing parents, each readable by its owner only, as the base
// directory rules of the desktop ask; true when the folder is there at the end.
bool make_private_folder(const std::string& folder) {
  struct stat status {};
  if (stat(folder.c_str(), &status) == 0) return S_ISDIR(status.st_mode);
  for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    const std::string part = folder.substr(0, slash);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  return stat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace

SHELL_folder_lookup_fn SHELL_ask_folder_lookup() {
  return lookup_in_force;
}

void SHELL_set_folder_lookup(SHELL_folder_lookup_fn lookup) {
  lookup_in_force = lookup;
}

int SHELL_default_folder_lookup(int folder_id, char* path) {
  if (!path) return 1;
  std::string folder;
  const char* variable = folder_id == SHELL_FOLDER_LOCAL_APPDATA     ? "XDG_DATA_HOME"
                         : folder_id == SHELL_FOLDER_ROAMING_APPDATA ? "XDG_CONFIG_HOME"
                                                                     : nullptr;
  if (!variable) return 1;
  if (const char* value = std::getenv(variable); value && *value == '/') {
    folder = value;
  } else {
    const std::string home = home_directory();
    if (home.empty()) return 1;
    folder = home + (folder_id == SHELL_FOLDER_LOCAL_APPDATA ? "/.local/share" : "/.config");
  }
  if (folder.size() >= SHELL_FOLDER_PATH_SIZE || !make_private_folder(folder)) return 1;
  std::memcpy(path, folder.c_str(), folder.size() + 1);
  return 0;
}
