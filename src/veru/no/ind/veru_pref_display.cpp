// How the definition files show a preference: one byte per object tag (preferences are tagged
// densely in load order), and the few toggles' off values by tag.
#include "veru_pref_display.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace {

constexpr std::uint8_t RESTART_BIT = 0x80;
constexpr std::uint8_t WIDGET_BITS = 0x7f;

struct display_table_s {
  std::vector<std::uint8_t> by_tag;
  std::unordered_map<unsigned, std::string> toggle_off;
};

display_table_s& table() {
  static display_table_s shown;
  return shown;
}

std::uint8_t& byte_of(const VERU_pref* pref) {
  std::vector<std::uint8_t>& bytes = table().by_tag;
  const unsigned tag = OM_ask_object_tag(pref);
  if (tag >= bytes.size()) bytes.resize(tag + 1 + bytes.size() / 2, 0);
  return bytes[tag];
}

std::uint8_t byte_or_zero(const VERU_pref* pref) {
  const std::vector<std::uint8_t>& bytes = table().by_tag;
  const unsigned tag = OM_ask_object_tag(pref);
  return tag < bytes.size() ? bytes[tag] : 0;
}

}  // namespace

void veru_set_pref_widget(const VERU_pref* pref, int widget, const char* toggle_off) {
  std::uint8_t& byte = byte_of(pref);
  byte = static_cast<std::uint8_t>((byte & RESTART_BIT) | (widget & WIDGET_BITS));
  const unsigned tag = OM_ask_object_tag(pref);
  if (toggle_off && widget == VERU_WIDGET_TOGGLE) {
    table().toggle_off[tag] = toggle_off;
  } else {
    table().toggle_off.erase(tag);
  }
}

void veru_set_pref_restart(const VERU_pref* pref, bool restart) {
  std::uint8_t& byte = byte_of(pref);
  byte = static_cast<std::uint8_t>(restart ? byte | RESTART_BIT : byte & WIDGET_BITS);
}

int veru_ask_pref_widget(const VERU_pref* pref) {
  return byte_or_zero(pref) & WIDGET_BITS;
}

const std::string& veru_ask_pref_toggle_off(const VERU_pref* pref) {
  static const std::string none;
  auto found = table().toggle_off.find(OM_ask_object_tag(pref));
  return found == table().toggle_off.end() ? none : found->second;
}

bool veru_ask_pref_restart(const VERU_pref* pref) {
  return (byte_or_zero(pref) & RESTART_BIT) != 0;
}
