// Files and directories of the host. While character checking is on (the default), file names
// holding characters that the host does not allow in names are refused.
#pragma once

#include <cstddef>

bool CFI_is_character_checking_enable();
void CFI_enable_character_checking(bool enable);
// Whether the name passes the current character check: control characters and * ? " < > |
// are refused while checking is on; only the empty name or null is refused when it is off.
bool CFI_check_name_characters(const char* name);

// Replaces the file at path with size bytes of data, atomically and durably: the bytes go to a
// temporary file created exclusively in the same directory, which is synced and renamed over
// the file, and the directory is synced. A path that is a symbolic link is replaced at its
// target; an existing file's permission bits are kept. 0 on success, otherwise an errno value,
// and the old file is then as it was.
int CFI_replace_file(const char* path, const char* data, std::size_t size);
