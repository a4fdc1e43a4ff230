// A host program built outside the tree against the installed package: it starts the module on
// an empty installation and asks for something that is not there.
#include <veru.h>

#include <cstdio>

int main() {
  try {
    VERU_init_module();
  } catch (const TQS::Error::Exception& error) {
    // No definition files are installed for this program: the start names what is missing.
    std::printf("start: %d %s\n", error.askCode(), ERROR_decode(error.askCode()));
  }
  std::printf("module root: %s\n", VERU__ask_module_root() ? "yes" : "no");
  std::printf("enabled: %s\n", VERU_is_enabled() ? "yes" : "no");
  return VERU__ask_module_root() && VERU_is_veru_error(VERU_ERROR_DEFINITION_FILE_LOAD) ? 0 : 1;
}
