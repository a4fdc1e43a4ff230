// Start-up images: compiled definition and value files kept in the user's cache folder, keyed by
// a hash of what they were compiled from, so that a start reads them instead of parsing files
// whose bytes have not changed. An image is input like any file: one that is damaged, from
// another version, not the user's own, or in a folder others may write is ignored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "veru_compiled.h"

// What an image holds: the definition files, or the value file of a level (1 to 3).
constexpr int VERU_IMAGE_DEFINITIONS = 0;

// A 128-bit hash of everything an image was compiled from.
struct veru_image_key_s {
  unsigned char bytes[16] = {};
  bool operator==(const veru_image_key_s& other) const;
};

// Hashes the inputs of an image in the order given.
class veru_image_hasher {
 public:
  veru_image_hasher();
  ~veru_image_hasher();
  veru_image_hasher(const veru_image_hasher&) = delete;
  veru_image_hasher& operator=(const veru_image_hasher&) = delete;
  void add(const void* data, std::size_t size);
  // A text and its end, so that "ab","c" and "a","bc" differ; null differs from "".
  void add_text(const char* text);
  veru_image_key_s key() const;

 private:
  void* state_;
};

// The hash of size bytes.
veru_image_key_s veru_hash_bytes(const void* data, std::size_t size);
// The hash of the bytes of the regular file at path, as veru_hash_bytes gives it for them, read
// in pieces so that no memory of the file's size is taken; false when it cannot be read whole.
bool veru_hash_file(const char* path, veru_image_key_s* digest);

// A hasher that has taken in the format, the library's version, the image's role and the
// settings that decide which files a start reads (KVRN_LANG, KVRN_VERU_XML_DEF_DIR, the level
// variables); the caller adds the files.
void veru_start_image_key(veru_image_hasher* hasher, int role);

// The folder images are kept in, made (mode 0700) when missing; "" when images are off
// (KVRN_CACHE=off), no folder can be had, or the folder is not the user's alone.
std::string veru_image_folder();

// An image read from the cache folder and checked whole: its checksum, and that its sections
// lie inside it. Mapped into memory while it lives.
class veru_image {
 public:
  // The image of that role and key, or null when there is none that can be used.
  static std::unique_ptr<veru_image> open(int role, const veru_image_key_s& key);
  ~veru_image();
  veru_image(const veru_image&) = delete;
  veru_image& operator=(const veru_image&) = delete;
  const std::vector<veru_section_s>& sections() const { return sections_; }

 private:
  veru_image() = default;
  void* map_ = nullptr;
  std::size_t size_ = 0;
  std::vector<veru_section_s> sections_;
};

// Writes an image section by section into a temporary file of the cache folder, which takes
// the image's name only when finished: a reader never sees half an image, and two writers of
// the same image leave one whole. Any failure (a full disk, a folder that cannot be written)
// costs the image and nothing else.
class veru_image_writer {
 public:
  // Writes nothing when images are off or the folder cannot be used.
  veru_image_writer(int role, const veru_image_key_s& key);
  ~veru_image_writer();  // abandons an image not finished
  veru_image_writer(const veru_image_writer&) = delete;
  veru_image_writer& operator=(const veru_image_writer&) = delete;
  bool active() const { return fd_ >= 0; }
  void add(const veru_section_s& section);
  // Gives up the image: what the start read no longer matches its key.
  void abandon();
  // Names the image and removes the oldest images of the same role and installation beyond
  // the few that are kept.
  void finish();

 private:
  bool write(const void* data, std::size_t size);
  int role_;
  veru_image_key_s key_;
  std::string folder_;
  std::string temporary_;
  int fd_ = -1;
  std::uint64_t size_ = 0;
  std::uint32_t section_count_ = 0;
  void* checksum_ = nullptr;
};

// One image file of the cache folder as kvrn-prefs cache lists it.
struct veru_image_listing_s {
  std::string path;
  long long size = 0;
  int role = -1;             // -1 when the file is no image of this version
  std::string installation;  // the settings of the installation it serves
};
std::vector<veru_image_listing_s> veru_list_images();
// Removes every image file of the cache folder; how many.
int veru_clear_images();
