// The advisory lock of a level's value file, held by an editor from reloading the level to
// saving it, so that concurrent editors of one level all land.
#include <cerrno>
#include <cstring>
#include <string>

#include "veru_levels.h"
#include "veru_save_result.h"
#include "veru_xml.h"

namespace {

// How long an editor waits for another one to finish its save.
constexpr int LOCK_WAIT_MS = 10000;

// Why the lock file could not be taken, as CFI_lock_file's error says.
int refuse_lock(char** reason, const std::string& lock_file, int error) {
  if (error == ETIMEDOUT) {
    return veru_refuse_save(reason, VERU_ERROR_LEVEL_BUSY,
                            "%s: another editor holds the level's lock", lock_file.c_str());
  }
  if (error == ENOTSUP) {
    const char* kind = CFI_ask_file_kind(lock_file.c_str());
    return veru_refuse_save(reason, VERU_ERROR_VALUE_FILE_SAVE,
                            "%s: is a %s, not a regular file, so the level's lock cannot be "
                            "taken there; remove it",
                            lock_file.c_str(), kind ? kind : "file of another kind");
  }
  return veru_refuse_save(reason, VERU_ERROR_VALUE_FILE_SAVE, "%s: %s", lock_file.c_str(),
                          std::strerror(error));
}

}  // namespace

int VERU_lock_level(int level, char** reason) {
  if (reason) *reason = nullptr;
  if (level < 1 || level >= VERU_LEVEL_COUNT) {
    return veru_refuse_save(reason, VERU_ERROR_LEVEL_NOT_WRITEABLE, "level %d has no value file",
                            level);
  }
  veru_level_s& entry = veru_level(level);
  if (!entry.defined) {
    return veru_refuse_save(reason, VERU_ERROR_LEVEL_NOT_WRITEABLE, "the level %d is not defined",
                            level);
  }
  if (entry.lock_holders > 0) {
    ++entry.lock_holders;
    return 0;
  }
  // A lock file is not made where the level cannot be saved anyway.
  if (!VERU_is_level_writeable(level)) {
    return veru_refuse_save(reason, VERU_ERROR_LEVEL_NOT_WRITEABLE, "%s: not writeable",
                            entry.file_path);
  }
  const std::string lock_file = std::string(entry.file_path) + ".lock";
  veru_character_checking_off checking_off;
  int handle = -1;
  if (const int error = CFI_lock_file(lock_file.c_str(), entry.file_path, LOCK_WAIT_MS, &handle)) {
    return refuse_lock(reason, lock_file, error);
  }
  entry.lock_handle = handle;
  entry.lock_holders = 1;
  return 0;
}

void VERU_unlock_level(int level) {
  if (level < 1 || level >= VERU_LEVEL_COUNT) return;
  veru_level_s& entry = veru_level(level);
  if (entry.lock_holders == 0 || --entry.lock_holders > 0) return;
  CFI_unlock_file(entry.lock_handle);
  entry.lock_handle = -1;
}
