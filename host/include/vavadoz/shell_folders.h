// Per-user folders of the platform, reached through a replaceable lookup so that a host (or a
// test) can stand in for it. The folder ids are those the host asks for: local (non-roaming)
// and roaming application data.
#pragma once

#include <cstddef>

#include "api.h"

VAVADOZ_EXPORTS_BEGIN

constexpr int SHELL_FOLDER_LOCAL_APPDATA = 28;
constexpr int SHELL_FOLDER_ROAMING_APPDATA = 26;
// Buffer size the lookup writes into, terminator included.
constexpr std::size_t SHELL_FOLDER_PATH_SIZE = 260;

// Writes the folder's path into path (SHELL_FOLDER_PATH_SIZE bytes); 0 on success.
using SHELL_folder_lookup_fn = int (*)(int folder_id, char* path);

// The lookup in force, or null when the platform offers none. By default: local application
// data is $XDG_DATA_HOME or ~/.local/share, roaming is $XDG_CONFIG_HOME or ~/.config; a folder
// that does not exist yet is made (mode 0700, with its missing parents), and one that cannot be
// made is not answered.
SHELL_folder_lookup_fn SHELL_ask_folder_lookup();
// Replaces the lookup; null leaves the platform without one. SHELL_default_folder_lookup
// restores the default.
void SHELL_set_folder_lookup(SHELL_folder_lookup_fn lookup);
int SHELL_default_folder_lookup(int folder_id, char* path);

VAVADOZ_EXPORTS_END
