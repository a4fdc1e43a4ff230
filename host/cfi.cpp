// Files and directories of the host.
#include "cfi.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool character_checking = true;

std::string directory_of(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Follows symbolic links from path to the file they end at (which may not exist yet).
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
    if (length < 0)
      return errno;
    link[length] = '\0';
    current = link[0] == '/' ? std::string(link) : directory_of(current) + "/" + link;
  }
  return ELOOP;
}

int write_all(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t written = write(fd, data, size);
    if (written < 0 && errno == EINTR)
      continue;
    if (written < 0)
      return errno;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return 0;
}

mode_t default_file_mode() {
  mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace

bool CFI_is_character_checking_enable() {
  return character_checking;
}

void CFI_enable_character_checking(bool enable) {
  character_checking = enable;
}

bool CFI_check_name_characters(const char* name) {
  if (!name || !*name)
    return false;
  if (!character_checking)
    return true;
  for (auto p = reinterpret_cast<const unsigned char*>(name); *p; ++p) {
    if (*p < 0x20 || *p == 0x7f || std::strchr("*?\"<>|", *p))
      return false;
  }
  return true;
}

int CFI_replace_file(const char* path, const char* data, std::size_t size) {
  if (!path || !*path || (!data && size > 0))
    return EINVAL;
  std::string target;
  if (int error = resolve_links(path, &target))
    return error;
  struct stat old {};
  mode_t mode = default_file_mode();
  if (stat(target.c_str(), &old) == 0) {
    if (S_ISDIR(old.st_mode))
      return EISDIR;
    mode = old.st_mode & 07777;
  }
  const std::string directory = directory_of(target);
  std::string temporary = target + ".XXXXXX";
  int fd = mkostemp(&temporary[0], O_CLOEXEC);
  if (fd < 0)
    return errno;
  int error = write_all(fd, data, size);
  if (!error && fchmod(fd, mode) != 0)
    error = errno;
  if (!error && fsync(fd) != 0)
    error = errno;
  if (close(fd) != 0 && !error)
    error = errno;
  if (!error && rename(temporary.c_str(), target.c_str()) != 0)
    error = errno;
  if (error) {
    unlink(temporary.c_str());
    return error;
  }
  int directory_fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directory_fd >= 0) {
    fsync(directory_fd);
    close(directory_fd);
  }
  return 0;
}
