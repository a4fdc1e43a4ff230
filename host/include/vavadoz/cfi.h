// Files and directories of the host. Predicates named ask_..._exist answer 0 for presence, as
// do the operations that return an int status; functions that return char** results give new
// strings (SM_free). While character checking is on (the default), names holding characters
// that the host does not allow in file names are refused: they are never found, joined or made.
#pragma once

#include <cstddef>

#include "api.h"

VAVADOZ_EXPORTS_BEGIN

bool CFI_is_character_checking_enable();
void CFI_enable_character_checking(bool enable);
// Whether the name passes the current character check: control characters and * ? " < > |
// are refused while checking is on; only the empty name or null is refused when it is off.
bool CFI_check_name_characters(const char* name);

// File types for the extension operations: CFI_TYPE_DPX is ".dpx"; CFI_TYPE_ANY (with
// CFI_remove_extension) removes whatever extension the name has.
constexpr int CFI_TYPE_ANY = -1;
constexpr int CFI_TYPE_DPX = 192;
// Access kinds of CFI_is_access_permitted.
constexpr int CFI_ACCESS_READ = 1;
constexpr int CFI_ACCESS_WRITE = 2;
// Modes of CFI_copy_file: replace an existing target, and give it the source's permission bits.
constexpr int CFI_COPY_REPLACE = 1;
constexpr int CFI_COPY_MODE_BITS = 2;

// 0 when something other than a directory exists at path, 1 otherwise.
int CFI_ask_file_exist(const char* path);
// What is at path itself, a symbolic link not followed: "regular file", "directory", "symbolic
// link", "FIFO", "socket", "character device" or "block device" (static texts); null when
// nothing is there.
const char* CFI_ask_file_kind(const char* path);

// What tells one file from another put in its place, or from itself changed: its device and
// inode, its size and its modification time. exists is false, and the rest 0, where there is
// no file.
struct CFI_file_identity_s {
  bool exists = false;
  unsigned long long device = 0;
  unsigned long long inode = 0;
  long long size = 0;
  long long modified_seconds = 0;
  long modified_nanoseconds = 0;
};
// The identity of the file at path, symbolic links followed; any thread may ask (the name is
// not checked).
void CFI_ask_file_identity(const char* path, CFI_file_identity_s* identity);
inline bool CFI_is_same_file(const CFI_file_identity_s& a, const CFI_file_identity_s& b) {
  return a.exists == b.exists && a.device == b.device && a.inode == b.inode && a.size == b.size &&
         a.modified_seconds == b.modified_seconds &&
         a.modified_nanoseconds == b.modified_nanoseconds;
}
// 0 when a directory exists at path, 1 otherwise.
int CFI_ask_directory_exist(const char* path);
bool CFI_is_directory(const char* path);
// Joins a directory and a name with the path delimiter. 0 with *result set; non-zero when
// either part is empty or refused.
int CFI_merge_filespec(const char* directory, const char* name, char** result);
// Splits a path at its last delimiter; the directory is "" for a bare name. 0 on success.
int CFI_split_filespec(const char* path, char** directory, char** name);
// The name without its extension of the given type (any extension for CFI_TYPE_ANY).
int CFI_remove_extension(const char* name, int type, char** result);
// The name with the extension of the type added.
int CFI_add_extension(const char* name, int type, char** result);
// A new string: path followed by the path delimiter.
char* CFI_append_delimiter(const char* path);
// The host's default directory of a kind; kind 1 is the current working directory.
int CFI_get_default_directory(int kind, char** result);
// Whether the access kind is permitted; *detail receives an errno value when it is not. A
// path without any write permission bit counts as not writeable even for the superuser.
bool CFI_is_access_permitted(const char* path, int kind, int* detail);
int CFI_create_directory(const char* path);
int CFI_delete_file(const char* path);
// Gives the file at from the name to, which must not exist yet (EEXIST when it does). 0 on
// success, otherwise an errno value.
int CFI_rename_file(const char* from, const char* to);
// Keeps the file at path (symbolic links followed) under the name copy as well, which must not
// exist yet (EEXIST when it does): a second name of the same file, or where the file system
// cannot give one, a copy made under a temporary name, synced and then given the name, with the
// file's mode (and its owner and group where the process may set them). The file at path stays. 0
// on success, otherwise an errno value.
int CFI_keep_file_as(const char* path, const char* copy);
// Copies a regular file; the target is replaced atomically. Without CFI_COPY_REPLACE nothing at
// target is replaced nor followed, a symbolic link included (EEXIST then): the copy is made
// under a temporary name and given the target's name only while it is free. 0 on success.
int CFI_copy_file(const char* source, const char* target, int mode);

// Replaces the file at path with size bytes of data, atomically and durably: the bytes go to a
// temporary file created exclusively in the same directory, which is synced and renamed over
// the file, and the directory is synced. A path that is a symbolic link is replaced at its
// target (see CFI_resolve_links); an existing file's permission bits are kept, and its owner
// and group where the process may set them. A hard link is replaced by a new file: the other
// names keep the old contents. 0 on success, and *written (when not null) receives the
// identity of the file written, taken from the file itself before it got its name; otherwise
// an errno value, and the old file is then as it was.
int CFI_replace_file(const char* path, const char* data, std::size_t size,
                     CFI_file_identity_s* written = nullptr);
// Where the symbolic links from path lead: 0 with *target (a new string) the path of the file
// they end at, which may not exist yet, or path itself when it is no link. A link is followed
// only when this process's user owns it or its owner owns what it leads to (the file, or the
// folder that would hold a file not there yet), so that a link planted in a folder that others
// can write does not take a file of someone else: EACCES then, and ELOOP for a chain of links
// that does not end.
int CFI_resolve_links(const char* path, char** target);
// Removes the temporary files that interrupted replacements of the file at path left beside
// it, in path's own folder (a symbolic link at path is not followed). Only while nobody else
// replaces that file: callers hold its lock (CFI_lock_file). *removed (when not null) counts
// them. 0 on success, otherwise an errno value.
int CFI_remove_replacement_leftovers(const char* path, int* removed);
// Takes an exclusive advisory lock on the lock file at path, waiting at most wait_ms
// milliseconds for another holder. A missing lock file is made with the owner and group of
// like (a regular file, or else its folder: a symbolic link is not followed) and its access for
// them: mode 0666 less the read and write bits that the model lacks for its group and for
// others. Anything but a regular file at path (a symbolic link, a FIFO, a directory, a device)
// is refused at once with ENOTSUP, and nothing at path is waited on. 0 with *handle set;
// ETIMEDOUT when another holder kept the lock, otherwise the errno value of the first attempt
// that failed. The lock goes with CFI_unlock_file or when the process ends.
int CFI_lock_file(const char* path, const char* like, int wait_ms, int* handle);
// The names of the entries of the directory at path, "." and ".." left out, in no order: 0 with
// *names a new array of *count new strings (SM_free each and the array; null when empty);
// otherwise an errno value.
int CFI_list_directory(const char* path, char*** names, int* count);
void CFI_unlock_file(int handle);

VAVADOZ_EXPORTS_END
