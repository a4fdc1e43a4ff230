// Fuzz target: a definition file read into the started module, as an application file and as
// the extras file.
#include <veru.h>

#include "fuzz_installation.h"
#include "veru_xml.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const std::string root = fuzz_start_module();
  for (const char* name : {"/fuzz.dpx", "/kv_extras_fuzz.dpx"}) {
    const std::string path = root + name;
    fuzz_write(path, data, size);
    try {
      veru_load_definition_file(path.c_str());
    } catch (const TQS::Error::Exception& error) {
      if (!VERU_is_veru_error(error.askCode())) throw;
    }
  }
  return 0;
}
