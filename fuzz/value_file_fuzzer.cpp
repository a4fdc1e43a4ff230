// Fuzz target: a value file read at the user level, then the level saved again.
#include <veru.h>

#include "fuzz_installation.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const std::string path = fuzz_user_file();
  fuzz_write(path, data, size);
  VERU_set_level_up_to_date(3, false);
  VERU_reload_values_xml();
  VERU__save_values_xml(3);
  return 0;
}
