// kvrn-prefs cache: the start-up images of the cache folder, and removing them.
#include <cstdio>
#include <string>

#include "json.h"
#include "tool.h"

namespace {

const char* role_text(int role) {
  switch (role) {
    case 0:
      return "definitions";
    case 1:
      return "site";
    case 2:
      return "group";
    case 3:
      return "user";
    default:
      return "not an image";
  }
}

int print_images(const std::string& folder, VERU_image_s* images, int count, bool json) {
  if (json) {
    json_document listing = json_document::array();
    for (int i = 0; i < count; ++i) {
      const bool known = images[i].installation != nullptr;
      listing.push_back({
          {"path", images[i].path},
          {"size", images[i].size},
          {"role", json_optional(images[i].role >= 0, role_text(images[i].role))},
          {"installation", json_optional(known, known ? images[i].installation : "")},
      });
    }
    print_json_document({{"folder", json_optional(!folder.empty(), folder)}, {"images", listing}},
                        true);
    return EXIT_OK;
  }
  if (folder.empty()) {
    std::printf("start-up images are off (KVRN_CACHE=off, or no private cache folder)\n");
    return EXIT_OK;
  }
  std::printf("%s\n", one_line(folder).c_str());
  long long total = 0;
  for (int i = 0; i < count; ++i) {
    total += images[i].size;
    std::printf("%10lld  %-12s %s\n", images[i].size, role_text(images[i].role),
                one_line(images[i].path).c_str());
    if (images[i].installation) {
      std::printf("%10s  %-12s %s\n", "", "serves", one_line(images[i].installation).c_str());
    }
  }
  std::printf("%d image%s, %lld bytes\n", count, count == 1 ? "" : "s", total);
  return EXIT_OK;
}

}  // namespace

int run_cache(const command_line_s& line) {
  if (!line.arguments.empty()) return refuse(EXIT_USAGE, "cache takes no arguments");
  const std::string folder = taken(VERU_ask_image_folder());
  if (line.has(OPTION_CLEAR)) {
    const int removed = VERU_clear_images();
    if (line.json) {
      print_json_document(
          {{"folder", json_optional(!folder.empty(), folder)}, {"removed", removed}}, true);
    } else {
      std::printf("%d image%s removed\n", removed, removed == 1 ? "" : "s");
    }
    return EXIT_OK;
  }
  VERU_image_s* images = nullptr;
  const int count = VERU_ask_images(&images);
  const int status = print_images(folder, images, count, line.json);
  VERU_free_images(images, count);
  return status;
}
