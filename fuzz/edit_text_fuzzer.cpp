// Fuzz target: the text of a checked edit. The first byte picks a preference of the example
// installation, the second the edit (value or comment) and the level; the rest, up to a NUL, is
// the text. An edit is refused with a library code and a reason and changes nothing, or is
// accepted, and what it recorded is saved and reads back the same.
#include <cstring>
#include <iterator>
#include <string>

#include "fuzz_installation.h"

namespace {

// One preference of each type and constraint; the first is locked at the site level, so that
// the group and user levels refuse it.
const char* const NAMES[] = {
    "Gateway_Units_System",                 // int, enumeration
    "Gateway_Autosave_Interval",            // int, range
    "Gateway_Display_Background_Color",     // int, colour widget
    "Gateway_Display_Hidden_Edge_Color",    // int, colour constraint
    "Modeling_Tolerance_Distance",          // real, range
    "Drafting_Sheet_Default_Scale",         // real, enumeration
    "Manufacturing_Cut_Stock_To_Leave",     // real
    "Gateway_Autosave_Enabled",             // logical
    "Gateway_Startup_Template_Part",        // string
    "Drafting_Standard_Default",            // string, enumeration
    "Knowledge_Search_Paths",               // string list
    "Modeling_History_Show_Feature_Order",  // int, enumeration shown as a menu
};
constexpr int COUNT = static_cast<int>(std::size(NAMES));

std::string taken(char* text) {
  std::string copy = text ? text : "";
  SM_free(text);
  return copy;
}

void refuse_quietly(int code, char* reason, const char* what) {
  if (code != 0) fuzz_fail(what, "accepted", taken(reason));
  SM_free(reason);
}

// The level as every iteration finds it: each preference recorded with its default, and the
// first one locked at the site level (and so left out above it).
void reset_level(int level) {
  for (const char* name : NAMES) {
    char* reason = nullptr;
    VERU_edit_reset(name, level, nullptr);
    if (level > 1 && name == NAMES[0]) continue;
    const std::string value = taken(VERU_lookup_pref(name)->ask_value(0)->print());
    refuse_quietly(VERU_edit_value(name, level, value.c_str(), &reason), reason, "a default");
  }
  if (level == 1) {
    char* reason = nullptr;
    refuse_quietly(VERU_edit_lock(NAMES[0], 1, true, &reason), reason, "the site lock");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  if (size < 2) return 0;
  fuzz_start_module();
  const char* name = NAMES[data[0] % COUNT];
  const bool comment = (data[1] & 1) != 0;
  const int level = (data[1] >> 1) % 3 + 1;
  const std::string input(reinterpret_cast<const char*>(data) + 2, size - 2);
  const char* text = input.c_str();  // up to the first NUL, as a caller's string ends
  if (level > 1) reset_level(1);
  reset_level(level);

  VERU_pref* pref = VERU_lookup_pref(name);
  const std::string before = fuzz_pref_record(pref, level);
  char* reason = nullptr;
  const int code = comment ? VERU_edit_comment(name, level, text, &reason)
                           : VERU_edit_value(name, level, text, &reason);
  const std::string edited = fuzz_pref_record(pref, level);
  if (code != 0) {
    if (!VERU_is_veru_error(code) || !reason || !*reason) {
      fuzz_fail("a refusal without a library code and a reason", "a reason", taken(reason));
    }
    SM_free(reason);
    if (edited != before) fuzz_fail("a refused edit changed the level", before, edited);
    return 0;
  }
  if (reason) fuzz_fail("an accepted edit with a reason", "no reason", taken(reason));
  if (comment) {
    const TEXT_s* recorded = pref->ask_comment(level);
    const std::string found = recorded ? TEXT_ask_utf8(recorded) : "";
    if (found != text) fuzz_fail("the comment recorded is not the one given", text, found);
  }
  if (VERU_save_level(level, &reason) != 0) {
    fuzz_fail("an accepted edit was not saved", edited, taken(reason));
  }
  fuzz_reload_level(level);
  const std::string reloaded = fuzz_pref_record(pref, level);
  if (reloaded != edited) fuzz_fail("the saved edit reads back differently", edited, reloaded);
  return 0;
}
