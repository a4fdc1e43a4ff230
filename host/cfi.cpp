// Files and directories of the host.
#include <vavadoz/cfi.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <vavadoz/sm.h>

namespace {

bool character_checking = true;

std::string directory_of(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The owner of what a link leads to: the file, or the folder that would hold a file not there
// yet; -1 when neither is there.
uid_t owner_of_link_target(const std::string& target) {
  struct stat status {};
  if (lstat(target.c_str(), &status) == 0 || stat(directory_of(target).c_str(), &status) == 0) {
    return status.st_uid;
  }
  return static_cast<uid_t>(-1);
}

// Follows symbolic links from path to the file they end at (which may not exist yet), under
// the rule of CFI_resolve_links.
int resolve_links(const char* path, std::string* target) {
  std::string current = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat status {};
    if (lstat(current.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
      *target = current;
      return 0;
    }
    char link[PATH_MAX];
    ssize_t length = readlink(current.c_str(), link, sizeof link - 1);
    if (length < 0) return errno;
    link[length] = '\0';
    std::string next = link[0] == '/' ? std::string(link) : directory_of(current) + "/" + link;
    if (status.st_uid != geteuid() && status.st_uid != owner_of_link_target(next)) return EACCES;
    current = std::move(next);
  }
  return ELOOP;
}

int write_all(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t written = write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return errno;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return 0;
}

bool is_usable(const char* path) {
  return path && *path && CFI_check_name_characters(path);
}

// The start of the names of the temporary files that replace target: a hidden name beside it,
// short enough for any target name the system allows; six random characters follow.
std::string replacement_prefix(const std::string& target) {
  const std::string name = target.substr(target.find_last_of('/') + 1);
  return "." + name.substr(0, 128) + ".";
}

// Gives the new file of a replacement the old one's owner and group, or only the group, where
// the process may: a save by the superuser must not take a user's file.
void keep_owner(int fd, const struct stat& old) {
  if (fchown(fd, old.st_uid, old.st_gid) != 0 &&
      fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
    // Neither is allowed: the file belongs to this process, as any file it makes does.
  }
}

bool is_replacement_of(const char* entry, const std::string& prefix) {
  if (std::strncmp(entry, prefix.c_str(), prefix.size()) != 0) return false;
  const char* suffix = entry + prefix.size();
  if (std::strlen(suffix) != 6) return false;
  for (const char* c = suffix; *c; ++c) {
    if (!std::isalnum(static_cast<unsigned char>(*c))) return false;
  }
  return true;
}

char* copy_of(const std::string& text) {
  return SM_string_ncopy(text.data(), text.size());
}

const char* extension_of(int type) {
  return type == CFI_TYPE_DPX ? ".dpx" : nullptr;
}

mode_t default_file_mode() {
  mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

// Makes the names in the folder of path durable.
void sync_directory_of(const std::string& path) {
  int directory_fd = open(directory_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directory_fd >= 0) {
    fsync(directory_fd);
    close(directory_fd);
  }
}

CFI_file_identity_s identity_of(const struct stat& status) {
  CFI_file_identity_s identity;
  identity.exists = true;
  identity.device = status.st_dev;
  identity.inode = status.st_ino;
  identity.size = status.st_size;
  identity.modified_seconds = status.st_mtim.tv_sec;
  identity.modified_nanoseconds = status.st_mtim.tv_nsec;
  return identity;
}

// Puts a new file with size bytes of data at target (whose symbolic links are resolved): the
// bytes go to a temporary file made exclusively beside it, which gets the mode (and the owner
// and group of owner, when given), is synced and is given target's name, over what is there
// when replace is set, else only while the name is free (EEXIST). *written, when not null,
// receives the new file's identity.
int write_new_file(const std::string& target, const char* data, std::size_t size, mode_t mode,
                   const struct stat* owner, bool replace, CFI_file_identity_s* written) {
  const std::string directory = directory_of(target);
  std::string temporary = directory + "/" + replacement_prefix(target) + "XXXXXX";
  int fd = mkostemp(&temporary[0], O_CLOEXEC);
  if (fd < 0) return errno;
  int error = write_all(fd, data, size);
  // The mode is set after the owner, which may clear it.
  if (!error && owner) keep_owner(fd, *owner);
  if (!error && fchmod(fd, mode) != 0) error = errno;
  if (!error && fsync(fd) != 0) error = errno;
  struct stat status {};
  if (!error && fstat(fd, &status) != 0) error = errno;
  if (close(fd) != 0 && !error) error = errno;
  if (!error) {
    error = replace ? (rename(temporary.c_str(), target.c_str()) == 0 ? 0 : errno)
                    : CFI_rename_file(temporary.c_str(), target.c_str());
  }
  if (error) {
    unlink(temporary.c_str());
    return error;
  }
  if (written) *written = identity_of(status);
  sync_directory_of(target);
  return 0;
}

// Replaces the file at path (CFI_replace_file), giving the new file mode when it is not null,
// else the old file's mode, or the default one for a new file.
int replace_file(const char* path, const char* data, std::size_t size, const mode_t* mode,
                 CFI_file_identity_s* written) {
  if (!path || !*path || (!data && size > 0)) return EINVAL;
  std::string target;
  if (int error = resolve_links(path, &target)) return error;
  struct stat old {};
  const bool had_file = stat(target.c_str(), &old) == 0;
  if (had_file && S_ISDIR(old.st_mode)) return EISDIR;
  const mode_t new_mode = mode ? *mode : had_file ? old.st_mode & 07777 : default_file_mode();
  return write_new_file(target, data, size, new_mode, had_file ? &old : nullptr, true, written);
}

// Gives a new lock file the owner, group and access of like (see CFI_lock_file), or of its
// folder when like is not a regular file: a symbolic link there may lead anywhere.
void take_access_of(int fd, const char* like) {
  struct stat model {};
  const bool is_file = like && lstat(like, &model) == 0 && S_ISREG(model.st_mode);
  if (!is_file && (!like || stat(directory_of(like).c_str(), &model) != 0)) {
    fchmod(fd, default_file_mode());
    return;
  }
  keep_owner(fd, model);
  fchmod(fd, 0600 | (model.st_mode & 0066));
}

}  // namespace

bool CFI_is_character_checking_enable() {
  return character_checking;
}

void CFI_enable_character_checking(bool enable) {
  character_checking = enable;
}

bool CFI_check_name_characters(const char* name) {
  if (!name || !*name) return false;
  if (!character_checking) return true;
  for (auto p = reinterpret_cast<const unsigned char*>(name); *p; ++p) {
    if (*p < 0x20 || *p == 0x7f || std::strchr("*?\"<>|", *p)) return false;
  }
  return true;
}

int CFI_ask_file_exist(const char* path) {
  struct stat status {};
  return is_usable(path) && stat(path, &status) == 0 && !S_ISDIR(status.st_mode) ? 0 : 1;
}

const char* CFI_ask_file_kind(const char* path) {
  struct stat status {};
  if (!is_usable(path) || lstat(path, &status) != 0) return nullptr;
  switch (status.st_mode & S_IFMT) {
    case S_IFREG:
      return "regular file";
    case S_IFDIR:
      return "directory";
    case S_IFLNK:
      return "symbolic link";
    case S_IFIFO:
      return "FIFO";
    case S_IFSOCK:
      return "socket";
    case S_IFCHR:
      return "character device";
    default:
      return "block device";
  }
}

void CFI_ask_file_identity(const char* path, CFI_file_identity_s* identity) {
  if (!identity) return;
  struct stat status {};
  *identity =
      path && *path && stat(path, &status) == 0 ? identity_of(status) : CFI_file_identity_s();
}

int CFI_ask_directory_exist(const char* path) {
  return CFI_is_directory(path) ? 0 : 1;
}

bool CFI_is_directory(const char* path) {
  struct stat status {};
  return is_usable(path) && stat(path, &status) == 0 && S_ISDIR(status.st_mode);
}

int CFI_merge_filespec(const char* directory, const char* name, char** result) {
  if (result) *result = nullptr;
  if (!result || !is_usable(directory) || !is_usable(name)) return EINVAL;
  std::string joined = directory;
  if (joined.back() != '/') joined += '/';
  joined += name;
  if (joined.size() >= PATH_MAX) return ENAMETOOLONG;
  *result = copy_of(joined);
  return 0;
}

int CFI_split_filespec(const char* path, char** directory, char** name) {
  if (directory) *directory = nullptr;
  if (name) *name = nullptr;
  if (!directory || !name || !is_usable(path)) return EINVAL;
  const std::string whole = path;
  const std::size_t slash = whole.find_last_of('/');
  if (slash == std::string::npos) {
    *directory = copy_of("");
    *name = copy_of(whole);
  } else {
    *directory = copy_of(slash == 0 ? "/" : whole.substr(0, slash));
    *name = copy_of(whole.substr(slash + 1));
  }
  return 0;
}

int CFI_remove_extension(const char* name, int type, char** result) {
  if (result) *result = nullptr;
  if (!result || !name) return EINVAL;
  std::string stem = name;
  const std::size_t slash = stem.find_last_of('/');
  const std::size_t dot = stem.find_last_of('.');
  const bool has_extension =
      dot != std::string::npos && (slash == std::string::npos || dot > slash);
  if (has_extension) {
    const char* wanted = extension_of(type);
    if (type == CFI_TYPE_ANY || (wanted && stem.compare(dot, std::string::npos, wanted) == 0)) {
      stem.erase(dot);
    }
  }
  *result = copy_of(stem);
  return 0;
}

int CFI_add_extension(const char* name, int type, char** result) {
  if (result) *result = nullptr;
  const char* extension = extension_of(type);
  if (!result || !name || !extension) return EINVAL;
  *result = copy_of(std::string(name) + extension);
  return 0;
}

char* CFI_append_delimiter(const char* path) {
  std::string joined = path ? path : "";
  if (joined.empty() || joined.back() != '/') joined += '/';
  return copy_of(joined);
}

int CFI_get_default_directory(int kind, char** result) {
  if (result) *result = nullptr;
  if (!result || kind != 1) return EINVAL;
  char directory[PATH_MAX];
  if (!getcwd(directory, sizeof directory)) return errno;
  *result = SM_string_copy(directory);
  return 0;
}

bool CFI_is_access_permitted(const char* path, int kind, int* detail) {
  if (detail) *detail = 0;
  const int wanted = kind == CFI_ACCESS_WRITE ? W_OK : kind == CFI_ACCESS_READ ? R_OK : -1;
  int error = 0;
  struct stat status {};
  if (wanted < 0 || !is_usable(path)) {
    error = EINVAL;
  } else if (access(path, wanted) != 0) {
    error = errno;
  } else if (wanted == W_OK && stat(path, &status) == 0 && !(status.st_mode & 0222)) {
    error = EACCES;  // marked read-only for everybody
  }
  if (detail) *detail = error;
  return error == 0;
}

int CFI_create_directory(const char* path) {
  if (!is_usable(path)) return EINVAL;
  return mkdir(path, 0777) == 0 ? 0 : errno;
}

int CFI_delete_file(const char* path) {
  if (!is_usable(path)) return EINVAL;
  return unlink(path) == 0 ? 0 : errno;
}

int CFI_copy_file(const char* source, const char* target, int mode) {
  if (!is_usable(source) || !is_usable(target)) return EINVAL;
  const bool replace = mode & CFI_COPY_REPLACE;
  struct stat there {};
  if (!replace && lstat(target, &there) == 0) return EEXIST;
  int fd = open(source, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return errno;
  struct stat status {};
  std::string contents;
  int error = fstat(fd, &status) != 0 ? errno : S_ISREG(status.st_mode) ? 0 : EINVAL;
  char chunk[65536];
  for (ssize_t got = 0; !error && (got = read(fd, chunk, sizeof chunk)) != 0;) {
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      error = errno;
      break;
    }
    contents.append(chunk, static_cast<std::size_t>(got));
  }
  close(fd);
  if (error) return error;
  const mode_t source_mode = status.st_mode & 07777;
  const mode_t* wanted_mode = (mode & CFI_COPY_MODE_BITS) ? &source_mode : nullptr;
  if (replace) return replace_file(target, contents.data(), contents.size(), wanted_mode, nullptr);
  return write_new_file(target, contents.data(), contents.size(),
                        wanted_mode ? *wanted_mode : default_file_mode(), nullptr, false, nullptr);
}

int CFI_replace_file(const char* path, const char* data, std::size_t size,
                     CFI_file_identity_s* written) {
  return replace_file(path, data, size, nullptr, written);
}

int CFI_resolve_links(const char* path, char** target) {
  if (target) *target = nullptr;
  if (!target || !path || !*path) return EINVAL;
  std::string resolved;
  if (const int error = resolve_links(path, &resolved)) return error;
  *target = copy_of(resolved);
  return 0;
}

int CFI_remove_replacement_leftovers(const char* path, int* removed) {
  if (removed) *removed = 0;
  if (!path || !*path) return EINVAL;
  const std::string directory = directory_of(path);
  const std::string prefix = replacement_prefix(path);
  DIR* listing = opendir(directory.c_str());
  if (!listing) return errno;
  int error = 0;
  while (const dirent* entry = readdir(listing)) {
    if (!is_replacement_of(entry->d_name, prefix)) continue;
    const std::string leftover = directory + "/" + entry->d_name;
    struct stat status {};
    if (lstat(leftover.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) continue;
    if (unlink(leftover.c_str()) != 0) {
      error = errno;
    } else if (removed) {
      ++*removed;
    }
  }
  closedir(listing);
  return error;
}

int CFI_list_directory(const char* path, char*** names, int* count) {
  if (names) *names = nullptr;
  if (count) *count = 0;
  if (!names || !count || !is_usable(path)) return EINVAL;
  DIR* listing = opendir(path);
  if (!listing) return errno;
  std::vector<std::string> found;
  while (const dirent* entry = readdir(listing)) {
    if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
      found.emplace_back(entry->d_name);
    }
  }
  closedir(listing);
  if (found.empty()) return 0;
  *names = static_cast<char**>(SM_alloc(found.size() * sizeof(char*)));
  for (const std::string& name : found) (*names)[(*count)++] = copy_of(name);
  return 0;
}

int CFI_lock_file(const char* path, const char* like, int wait_ms, int* handle) {
  if (handle) *handle = -1;
  if (!handle || !is_usable(path)) return EINVAL;
  struct stat status {};
  if (lstat(path, &status) == 0 && !S_ISREG(status.st_mode)) return ENOTSUP;
  // Whatever takes the file's place meanwhile is neither followed nor waited on.
  constexpr int FLAGS = O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK;
  int fd = open(path, O_RDWR | O_CREAT | O_EXCL | FLAGS, 0600);
  int error = fd < 0 ? errno : 0;
  if (fd >= 0) {
    take_access_of(fd, like);
  } else if (error == EEXIST) {
    fd = open(path, O_RDWR | FLAGS);
    error = fd < 0 ? errno : 0;
  }
  // A lock file that this process may not write still locks.
  if (fd < 0 && (error == EACCES || error == EROFS)) fd = open(path, O_RDONLY | FLAGS);
  if (fd < 0) return error == ELOOP ? ENOTSUP : error;
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    close(fd);
    return ENOTSUP;
  }
  const timespec pause{0, 10 * 1000 * 1000};
  for (int waited = 0;; waited += 10) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) break;
    error = errno;
    if ((error != EWOULDBLOCK && error != EINTR) || waited >= wait_ms) {
      close(fd);
      return error == EWOULDBLOCK ? ETIMEDOUT : error;
    }
    nanosleep(&pause, nullptr);
  }
  *handle = fd;
  return 0;
}

void CFI_unlock_file(int handle) {
  if (handle < 0) return;
  flock(handle, LOCK_UN);
  close(handle);
}

int CFI_rename_file(const char* from, const char* to) {
  if (!is_usable(from) || !is_usable(to)) return EINVAL;
  if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // A file system without the no-replace rename: a second name, then the first one goes.
  if (link(from, to) != 0) return errno;
  return unlink(from) == 0 ? 0 : errno;
}

int CFI_keep_file_as(const char* path, const char* copy) {
  if (!is_usable(path) || !is_usable(copy)) return EINVAL;
  if (linkat(AT_FDCWD, path, AT_FDCWD, copy, AT_SYMLINK_FOLLOW) != 0) {
    const int error = errno;
    if (error != EPERM && error != EXDEV && error != EMLINK && error != EOPNOTSUPP) return error;
    if (const int copied = CFI_copy_file(path, copy, CFI_COPY_MODE_BITS)) return copied;
    // The copy takes the file's owner and group too where this process may give them.
    struct stat status {};
    if (stat(path, &status) == 0 && chown(copy, status.st_uid, status.st_gid) != 0) {
      errno = 0;
    }
    return 0;
  }
  sync_directory_of(copy);
  return 0;
}
