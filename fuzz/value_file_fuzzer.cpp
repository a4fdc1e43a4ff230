// Fuzz target: a value file read at the user level, then the level saved again.
#include "fuzz_installation.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const std::string path = fuzz_value_file(3);
  fuzz_write(path, data, size);
  fuzz_reload_level(3);
  VERU__save_values_xml(3);
  return 0;
}
