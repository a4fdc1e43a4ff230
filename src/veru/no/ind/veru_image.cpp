// Start-up images in the user's cache folder: keys, the folder's checks, reading an image whole
// and checked, writing one through a temporary file, keeping the few most recent.
#include "veru_image.h"

#include <veru.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xxhash.h>
// The hashing library as Debian builds it for x86-64 also has forms for wider vector units, which
// give the same hashes with the widest form the processor runs.
#if defined(__x86_64__) && __has_include(<xxh_x86dispatch.h>)
#include <xxh_x86dispatch.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include "veru_sm_string.h"

namespace {

constexpr char MAGIC[8] = {'V', 'U', 'Z', 'I', 'M', 'A', 'G', 'E'};
// Changes whenever what a section holds changes.
constexpr std::uint32_t FORMAT = 1;
// Images kept for each role of one installation; older ones are removed.
constexpr std::size_t KEPT = 4;
// A temporary file this old was left by a writer that died.
constexpr time_t STALE_SECONDS = 600;

struct header_s {
  char magic[8];
  std::uint32_t format;
  std::uint32_t role;
  unsigned char key[16];
  unsigned char installation[16];
  std::uint64_t payload_size;
  std::uint64_t checksum;  // of the payload
  std::uint32_t description_size;
  std::uint32_t section_count;
};
static_assert(sizeof(header_s) == 72, "the header is laid out without padding");

const char* const SETTINGS[] = {
    "KVRN_LANG",      "KVRN_VERU_XML_DEF_DIR", "KVRN_BASE_DIR",           "KVRN_SITE_DIR",
    "KVRN_GROUP_DIR", "KVRN_USER_DIR",         "KVRN_LOCAL_USER_DEFAULTS"};

std::size_t padded(std::size_t size) {
  return (size + 3) / 4 * 4;
}

// The settings of the installation in words, for a person looking at the cache folder.
std::string installation_description() {
  std::string description;
  for (const char* variable : SETTINGS) {
    const veru_sm_string value = veru_owned(ENV_translate_variable(variable));
    if (!value || !*value) continue;
    if (!description.empty()) description += ' ';
    description += std::string(variable) + "=" + value.get();
  }
  return description.empty() ? "(no settings)" : description;
}

veru_image_key_s installation_id() {
  veru_image_hasher hasher;
  hasher.add_text(VUZODOD_VERSION);
  hasher.add_text(installation_description().c_str());
  return hasher.key();
}

std::string hex(const veru_image_key_s& key) {
  static const char DIGITS[] = "0123456789abcdef";
  std::string text;
  for (const unsigned char byte : key.bytes) {
    text += DIGITS[byte >> 4];
    text += DIGITS[byte & 15];
  }
  return text;
}

// The names of the images of a role of this installation begin so.
std::string name_prefix(int role) {
  return hex(installation_id()) + "-" + std::to_string(role) + "-";
}

std::string image_name(int role, const veru_image_key_s& key) {
  return name_prefix(role) + hex(key) + ".img";
}

bool ends_with(const std::string& text, const char* end) {
  const std::size_t size = std::strlen(end);
  return text.size() >= size && text.compare(text.size() - size, size, end) == 0;
}

bool cache_is_off() {
  const veru_sm_string value = veru_owned(ENV_translate_variable("KVRN_CACHE"));
  return value && std::strcmp(value.get(), "off") == 0;
}

// The base folder of per-user caches: $XDG_CACHE_HOME when it is an absolute path, else
// $HOME/.cache; "" when neither can be had.
std::string cache_base() {
  const veru_sm_string xdg = veru_owned(ENV_translate_variable("XDG_CACHE_HOME"));
  if (xdg && xdg.get()[0] == '/') return xdg.get();
  const veru_sm_string home = veru_owned(ENV_translate_variable("HOME"));
  if (home && home.get()[0] == '/') return std::string(home.get()) + "/.cache";
  return "";
}

// Whether the folder is a directory of the user's that no one else may write into; one of the
// user's that others may read is made private.
bool is_private_folder(const std::string& path) {
  struct stat status {};
  if (lstat(path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode) || status.st_uid != geteuid() ||
      (status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    return false;
  }
  return (status.st_mode & 077) == 0 || chmod(path.c_str(), 0700) == 0;
}

// Reads size bytes at offset of the open file, all of them or false.
bool read_exactly(int fd, void* to, std::size_t size, off_t offset) {
  auto* bytes = static_cast<char*>(to);
  while (size > 0) {
    const ssize_t got = pread(fd, bytes, size, offset);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    bytes += got;
    size -= static_cast<std::size_t>(got);
    offset += got;
  }
  return true;
}

// Whether an image file, open at fd, may be read: a regular file of the user's that no one else
// may write.
bool is_trusted_file(int fd, struct stat* status) {
  return fstat(fd, status) == 0 && S_ISREG(status->st_mode) && status->st_uid == geteuid() &&
         (status->st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// The sections of a payload that passed its checksum, each inside it and with a table of texts
// ending in a NUL; false when they do not fit.
bool take_sections(const char* payload, std::size_t size, const header_s& header,
                   std::vector<veru_section_s>* sections) {
  std::size_t at = padded(header.description_size);
  if (at > size) return false;
  for (std::uint32_t i = 0; i < header.section_count; ++i) {
    std::uint32_t counts[2];
    if (size - at < sizeof counts) return false;
    std::memcpy(counts, payload + at, sizeof counts);
    at += sizeof counts;
    const std::size_t words = std::size_t{counts[0]} * 4;
    const std::size_t texts = counts[1];
    if (words > size - at || padded(texts) > size - at - words) return false;
    if (texts > 0 && payload[at + words + texts - 1] != '\0') return false;
    veru_section_s section;
    section.words = reinterpret_cast<const std::uint32_t*>(payload + at);
    section.word_count = counts[0];
    section.texts = payload + at + words;
    section.text_size = texts;
    sections->push_back(section);
    at += words + padded(texts);
  }
  return at == size;
}

// Removes the oldest images of the prefix beyond the few kept, and temporary files of writers
// that died.
void prune(const std::string& folder, const std::string& prefix) {
  DIR* directory = opendir(folder.c_str());
  if (!directory) return;
  std::vector<std::pair<timespec, std::string>> images;
  const time_t now = time(nullptr);
  while (const dirent* entry = readdir(directory)) {
    const std::string name = entry->d_name;
    struct stat status {};
    const std::string path = folder + "/" + name;
    if (lstat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) continue;
    if (name.compare(0, prefix.size(), prefix) == 0 && ends_with(name, ".img")) {
      images.emplace_back(status.st_mtim, path);
    } else if (name.compare(0, prefix.size() + 1, "." + prefix) == 0 &&
               now - status.st_mtime > STALE_SECONDS) {
      unlink(path.c_str());
    }
  }
  closedir(directory);
  if (images.size() <= KEPT) return;
  std::sort(images.begin(), images.end(), [](const auto& a, const auto& b) {
    return a.first.tv_sec != b.first.tv_sec ? a.first.tv_sec > b.first.tv_sec
                                            : a.first.tv_nsec > b.first.tv_nsec;
  });
  for (std::size_t i = KEPT; i < images.size(); ++i) unlink(images[i].second.c_str());
}

}  // namespace

bool veru_image_key_s::operator==(const veru_image_key_s& other) const {
  return std::memcmp(bytes, other.bytes, sizeof bytes) == 0;
}

veru_image_hasher::veru_image_hasher() : state_(XXH3_createState()) {
  if (!state_) throw std::bad_alloc();
  XXH3_128bits_reset(static_cast<XXH3_state_t*>(state_));
}

veru_image_hasher::~veru_image_hasher() {
  XXH3_freeState(static_cast<XXH3_state_t*>(state_));
}

void veru_image_hasher::add(const void* data, std::size_t size) {
  XXH3_128bits_update(static_cast<XXH3_state_t*>(state_), data, size);
}

void veru_image_hasher::add_text(const char* text) {
  const char none = 1;
  if (!text) {
    add(&none, 1);
    return;
  }
  add(text, std::strlen(text) + 1);
}

veru_image_key_s veru_image_hasher::key() const {
  XXH128_canonical_t canonical;
  XXH128_canonicalFromHash(&canonical, XXH3_128bits_digest(static_cast<XXH3_state_t*>(state_)));
  veru_image_key_s key;
  std::memcpy(key.bytes, canonical.digest, sizeof key.bytes);
  return key;
}

veru_image_key_s veru_hash_bytes(const void* data, std::size_t size) {
  XXH128_canonical_t canonical;
  XXH128_canonicalFromHash(&canonical, XXH3_128bits(data, size));
  veru_image_key_s key;
  std::memcpy(key.bytes, canonical.digest, sizeof key.bytes);
  return key;
}

bool veru_hash_file(const char* path, veru_image_key_s* digest) {
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat status {};
  bool whole = fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
  veru_image_hasher hasher;
  constexpr std::size_t PIECE = 64 * 1024;
  const std::unique_ptr<char[]> piece(new char[PIECE]);
  while (whole) {
    const ssize_t got = ::read(fd, piece.get(), PIECE);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      whole = got == 0;
      break;
    }
    hasher.add(piece.get(), static_cast<std::size_t>(got));
  }
  close(fd);
  if (whole) *digest = hasher.key();
  return whole;
}

void veru_start_image_key(veru_image_hasher* hasher, int role) {
  hasher->add(&FORMAT, sizeof FORMAT);
  hasher->add(&role, sizeof role);
  hasher->add_text(VUZODOD_VERSION);
  for (const char* variable : SETTINGS) {
    const veru_sm_string value = veru_owned(ENV_translate_variable(variable));
    hasher->add_text(value.get());
  }
}

std::string veru_image_folder() {
  if (cache_is_off()) return "";
  const std::string base = cache_base();
  if (base.empty()) return "";
  const std::string folder = base + "/vuzodod";
  // The base may be missing on a new account; it is the user's own, so private too.
  if (mkdir(base.c_str(), 0700) != 0 && errno != EEXIST) return "";
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return "";
  return is_private_folder(folder) ? folder : "";
}

// ---- reading ---------------------------------------------------------------------------------

std::unique_ptr<veru_image> veru_image::open(int role, const veru_image_key_s& key) {
  const std::string folder = veru_image_folder();
  if (folder.empty()) return nullptr;
  const std::string path = folder + "/" + image_name(role, key);
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return nullptr;
  struct stat status {};
  header_s header{};
  const bool readable = is_trusted_file(fd, &status) &&
                        static_cast<std::size_t>(status.st_size) >= sizeof header &&
                        read_exactly(fd, &header, sizeof header, 0);
  const veru_image_key_s installation = installation_id();
  if (!readable || std::memcmp(header.magic, MAGIC, sizeof MAGIC) != 0 || header.format != FORMAT ||
      header.role != static_cast<std::uint32_t>(role) ||
      std::memcmp(header.key, key.bytes, sizeof key.bytes) != 0 ||
      std::memcmp(header.installation, installation.bytes, sizeof installation.bytes) != 0 ||
      header.payload_size != static_cast<std::uint64_t>(status.st_size) - sizeof header) {
    close(fd);
    return nullptr;
  }
  void* map =
      mmap(nullptr, static_cast<std::size_t>(status.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
  close(fd);
  if (map == MAP_FAILED) return nullptr;
  std::unique_ptr<veru_image> image(new veru_image());
  image->map_ = map;
  image->size_ = static_cast<std::size_t>(status.st_size);
  const char* payload = static_cast<const char*>(map) + sizeof header;
  const auto payload_size = static_cast<std::size_t>(header.payload_size);
  if (XXH3_64bits(payload, payload_size) != header.checksum ||
      !take_sections(payload, payload_size, header, &image->sections_)) {
    return nullptr;
  }
  // Used now: the last to be removed when there are too many.
  utimensat(AT_FDCWD, path.c_str(), nullptr, AT_SYMLINK_NOFOLLOW);
  return image;
}

veru_image::~veru_image() {
  if (map_) munmap(map_, size_);
}

// ---- writing ---------------------------------------------------------------------------------

veru_image_writer::veru_image_writer(int role, const veru_image_key_s& key)
    : role_(role), key_(key), folder_(veru_image_folder()) {
  if (folder_.empty()) return;
  std::string pattern = folder_ + "/." + image_name(role, key) + ".XXXXXX";
  fd_ = mkostemp(pattern.data(), O_CLOEXEC);
  if (fd_ < 0) return;
  temporary_ = pattern;
  checksum_ = XXH3_createState();
  const std::string description = installation_description();
  const char padding[4] = {};
  // The header is written last, over the room kept for it here.
  if (!checksum_ || XXH3_64bits_reset(static_cast<XXH3_state_t*>(checksum_)) != XXH_OK ||
      fchmod(fd_, 0600) != 0 || lseek(fd_, sizeof(header_s), SEEK_SET) < 0 ||
      !write(description.c_str(), description.size()) ||
      !write(padding, padded(description.size()) - description.size())) {
    abandon();
  }
}

veru_image_writer::~veru_image_writer() {
  abandon();
  if (checksum_) XXH3_freeState(static_cast<XXH3_state_t*>(checksum_));
}

bool veru_image_writer::write(const void* data, std::size_t size) {
  XXH3_64bits_update(static_cast<XXH3_state_t*>(checksum_), data, size);
  size_ += size;
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t done = ::write(fd_, bytes, size);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    bytes += done;
    size -= static_cast<std::size_t>(done);
  }
  return true;
}

void veru_image_writer::add(const veru_section_s& section) {
  if (!active()) return;
  const std::uint32_t counts[2] = {static_cast<std::uint32_t>(section.word_count),
                                   static_cast<std::uint32_t>(section.text_size)};
  const char padding[4] = {};
  if (!write(counts, sizeof counts) || !write(section.words, section.word_count * 4) ||
      !write(section.texts, section.text_size) ||
      !write(padding, padded(section.text_size) - section.text_size)) {
    abandon();
    return;
  }
  ++section_count_;
}

void veru_image_writer::abandon() {
  if (fd_ < 0) return;
  close(fd_);
  fd_ = -1;
  unlink(temporary_.c_str());
}

void veru_image_writer::finish() {
  if (!active()) return;
  header_s header{};
  std::memcpy(header.magic, MAGIC, sizeof MAGIC);
  header.format = FORMAT;
  header.role = static_cast<std::uint32_t>(role_);
  std::memcpy(header.key, key_.bytes, sizeof key_.bytes);
  const veru_image_key_s installation = installation_id();
  std::memcpy(header.installation, installation.bytes, sizeof installation.bytes);
  header.payload_size = size_;
  header.checksum = XXH3_64bits_digest(static_cast<XXH3_state_t*>(checksum_));
  header.description_size = static_cast<std::uint32_t>(installation_description().size());
  header.section_count = section_count_;
  const bool written =
      pwrite(fd_, &header, sizeof header, 0) == static_cast<ssize_t>(sizeof header);
  close(fd_);
  fd_ = -1;
  if (!written ||
      rename(temporary_.c_str(), (folder_ + "/" + image_name(role_, key_)).c_str()) != 0) {
    unlink(temporary_.c_str());
    return;
  }
  prune(folder_, name_prefix(role_));
}

// ---- listing ---------------------------------------------------------------------------------

std::vector<veru_image_listing_s> veru_list_images() {
  std::vector<veru_image_listing_s> images;
  const std::string folder = veru_image_folder();
  DIR* directory = folder.empty() ? nullptr : opendir(folder.c_str());
  if (!directory) return images;
  while (const dirent* entry = readdir(directory)) {
    const std::string name = entry->d_name;
    if (name[0] == '.' || !ends_with(name, ".img")) continue;
    veru_image_listing_s listing;
    listing.path = folder + "/" + name;
    const int fd = ::open(listing.path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    struct stat status {};
    header_s header{};
    if (fd >= 0 && is_trusted_file(fd, &status)) {
      listing.size = status.st_size;
      if (read_exactly(fd, &header, sizeof header, 0) &&
          std::memcmp(header.magic, MAGIC, sizeof MAGIC) == 0 && header.format == FORMAT &&
          header.description_size <= 65536 &&
          header.description_size <= static_cast<std::uint64_t>(status.st_size) - sizeof header) {
        listing.role = static_cast<int>(header.role);
        listing.installation.resize(header.description_size);
        if (!read_exactly(fd, listing.installation.data(), header.description_size,
                          sizeof header)) {
          listing.installation.clear();
        }
      }
    }
    if (fd >= 0) close(fd);
    images.push_back(std::move(listing));
  }
  closedir(directory);
  std::sort(images.begin(), images.end(),
            [](const auto& a, const auto& b) { return a.path < b.path; });
  return images;
}

int veru_clear_images() {
  int removed = 0;
  for (const veru_image_listing_s& image : veru_list_images()) {
    if (unlink(image.path.c_str()) == 0) ++removed;
  }
  return removed;
}

// ---- the exported interface ------------------------------------------------------------------

char* VERU_ask_image_folder() {
  const std::string folder = veru_image_folder();
  return folder.empty() ? nullptr : SM_string_copy(folder.c_str());
}

int VERU_ask_images(VERU_image_s** images) {
  const std::vector<veru_image_listing_s> listings = veru_list_images();
  const int count = static_cast<int>(listings.size());
  if (!images) return count;
  *images = nullptr;
  if (count == 0) return 0;
  *images = static_cast<VERU_image_s*>(SM_alloc(listings.size() * sizeof(VERU_image_s)));
  for (std::size_t i = 0; i < listings.size(); ++i) {
    VERU_image_s& image = (*images)[i];
    image.path = SM_string_copy(listings[i].path.c_str());
    image.size = listings[i].size;
    image.role = listings[i].role;
    image.installation =
        listings[i].role < 0 ? nullptr : SM_string_copy(listings[i].installation.c_str());
  }
  return count;
}

void VERU_free_images(VERU_image_s* images, int count) {
  if (!images) return;
  for (int i = 0; i < count; ++i) {
    SM_free(images[i].path);
    SM_free(images[i].installation);
  }
  SM_free(images);
}

int VERU_clear_images() {
  return veru_clear_images();
}
