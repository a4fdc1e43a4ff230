// Fuzz target: a value file read at the site level, saved and read again must give the same
// values, locks, comments, dates and carried entries, in as many pooled blocks; a file that
// failed to load is never saved over.
#include "fuzz_installation.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const int level = 1;
  const std::string path = fuzz_value_file(level);
  fuzz_write(path, data, size);
  fuzz_reload_level(level);
  char* reason = nullptr;
  if (VERU_ask_level_load_state(level, nullptr) != VERU_LOAD_LOADED) {
    const std::string before = fuzz_read(path);
    if (VERU_save_level(level, &reason) == 0) fuzz_fail("a failed load was saved over", "", "");
    SM_free(reason);
    if (fuzz_read(path) != before) fuzz_fail("a failed load was changed", before, fuzz_read(path));
    return 0;
  }
  const std::string loaded = fuzz_level_record(level);
  const std::size_t live_blocks = SM_pool_live_blocks();
  if (VERU_save_level(level, &reason) != 0) {
    fuzz_fail("a loaded level was not saved", "saved", reason ? reason : "(no reason)");
  }
  fuzz_reload_level(level);
  if (VERU_ask_level_load_state(level, &reason) != VERU_LOAD_LOADED) {
    fuzz_fail("the saved file does not load", fuzz_read(path), reason ? reason : "(no reason)");
  }
  const std::string reloaded = fuzz_level_record(level);
  if (reloaded != loaded) fuzz_fail("the saved level reads back differently", loaded, reloaded);
  // A leak checker does not see pooled blocks: the same level must hold as many.
  if (SM_pool_live_blocks() != live_blocks) {
    fuzz_fail("reading the level again left pooled blocks behind", std::to_string(live_blocks),
              std::to_string(SM_pool_live_blocks()));
  }
  return 0;
}
