// Fuzz target: a start-up image as the library reads it. The first byte chooses what the rest
// is: the sections of a user file's image, written with a valid header around them; a whole
// image file, header and all; or a compiled definition file.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_installation.h"
#include "veru_image.h"
#include "veru_xml.h"

namespace {

const char* const USER_FILE =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PrefValues defaultLockStatus=\"unlocked\">\n"
    "<Pref name=\"Gateway_Startup_Show_Tips\" value=\"false\"/>\n</PrefValues>\n";

// The sections the input holds, each a word count, a text size and as many bytes as there are
// (words copied into memory of their own, to be aligned).
struct sections_s {
  std::vector<std::vector<std::uint32_t>> words;
  std::vector<std::string> texts;
  std::vector<veru_section_s> sections;
};

void split_sections(const unsigned char* data, std::size_t size, sections_s* split) {
  std::size_t at = 0;
  while (at + 8 <= size && split->words.size() < 8) {
    std::uint32_t counts[2];
    std::memcpy(counts, data + at, sizeof counts);
    at += sizeof counts;
    const std::size_t words = std::min<std::size_t>(counts[0], (size - at) / 4);
    std::vector<std::uint32_t>& kept = split->words.emplace_back(words);
    if (words > 0) std::memcpy(kept.data(), data + at, words * 4);
    at += words * 4;
    const std::size_t texts = std::min<std::size_t>(counts[1], size - at);
    split->texts.emplace_back(reinterpret_cast<const char*>(data + at), texts);
    at += texts;
  }
  for (std::size_t i = 0; i < split->words.size(); ++i) {
    split->sections.push_back({split->words[i].data(), split->words[i].size(),
                               split->texts[i].data(), split->texts[i].size()});
  }
}

// The key the user file's image has now.
veru_image_key_s user_file_key(const std::string& path) {
  veru_image_hasher hasher;
  veru_start_image_key(&hasher, 3);
  hasher.add_text(path.c_str());
  hasher.add(USER_FILE, std::strlen(USER_FILE));
  return hasher.key();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const std::string root = fuzz_start_module();
  if (size == 0) return 0;
  const int mode = data[0] % 3;
  sections_s split;
  split_sections(data + 1, size - 1, &split);
  if (mode == 2) {
    const veru_section_s none;
    // A definition the loader refuses raises, as it does in a start, which then fails.
    try {
      veru_load_definition_section((root + "/kvrn/kv_gateway.dpx").c_str(),
                                   split.sections.empty() ? none : split.sections.front());
    } catch (const TQS::Error::Exception&) {
    }
    return 0;
  }
  const std::string path = fuzz_value_file(3);
  fuzz_write(path, reinterpret_cast<const unsigned char*>(USER_FILE), std::strlen(USER_FILE));
  veru_clear_images();
  veru_image_writer writer(3, user_file_key(path));
  for (const veru_section_s& section : split.sections) writer.add(section);
  writer.finish();
  if (mode == 1) {
    for (const veru_image_listing_s& image : veru_list_images()) {
      fuzz_write(image.path, data + 1, size - 1);
    }
  }
  fuzz_reload_level(3);
  return 0;
}
