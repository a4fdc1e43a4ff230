// kvrn-prefs report: the plain-text form, for reading in a terminal.
#include <cstdio>

#include "report.h"

namespace {

// Text from a file, made safe for a terminal: control characters (C0, DEL and C1) become
// escapes, so that a line break or an escape sequence in a comment cannot break the layout or
// drive the terminal; within quotes, quotation marks and backslashes are escaped too.
std::string printable(const std::string& text, bool quoted = false) {
  std::string out;
  for (std::size_t at = 0; at < text.size(); ++at) {
    const auto byte = static_cast<unsigned char>(text[at]);
    const bool c1 = byte == 0xC2 && at + 1 < text.size() &&
                    static_cast<unsigned char>(text[at + 1]) >= 0x80 &&
                    static_cast<unsigned char>(text[at + 1]) <= 0x9F;
    char escaped[8] = "";
    if (byte == '\n') {
      out += "\\n";
    } else if (byte == '\r') {
      out += "\\r";
    } else if (byte == '\t') {
      out += "\\t";
    } else if (quoted && (byte == '"' || byte == '\\')) {
      out += '\\';
      out += static_cast<char>(byte);
    } else if (byte < 0x20 || byte == 0x7F) {
      std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
    } else if (c1) {
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(text[++at]));
    } else {
      out += static_cast<char>(byte);
    }
    out += escaped;
  }
  return out;
}

std::string shown(const std::vector<std::string>& items, bool is_list) {
  if (items.empty()) return is_list ? "(no items)" : "-";
  if (!is_list && items[0].empty()) return "(empty)";
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i) text += (i ? ", " : "") + printable(items[i]);
  return text;
}

void add_level(const report_entry_s& entry, int level, std::string* out) {
  if (!entry.has_entry && !entry.carried) return;
  char head[32];
  std::snprintf(head, sizeof head, "    %d %-9s ", level, level_name(level));
  *out += head;
  if (entry.has_entry) {
    *out += shown(entry.items, entry.is_list);
    if (!entry.stored.empty()) *out += " (stored as " + printable(entry.stored) + ")";
    if (entry.lock_exception) {
      *out += "  unlocked (an exception to the level's default lock)";
    } else if (entry.locks) {
      *out += entry.lock_by_default ? "  locked (the level's default)" : "  locked";
    }
    if (!entry.date.empty()) *out += "  " + entry.date;
  } else {
    *out += "no entry";
  }
  if (entry.carried) *out += "; the file's entry was ignored at start-up and is carried";
  *out += "\n";
  if (!entry.comment.empty()) {
    *out += "                comment \"" + printable(entry.comment, true) + "\"\n";
  }
}

void add_pref(const report_pref_s& pref, std::string* out) {
  *out += "  " + printable(pref.name) + " \"" + printable(pref.title, true) + "\" (" + pref.type +
          ")\n";
  *out += "    = " + shown(pref.effective, pref.levels[0].is_list);
  if (!pref.unit.empty()) *out += " " + printable(pref.unit);
  *out += "  from " + std::string(level_name(pref.source));
  if (pref.locked_from >= 0) *out += ", locked at " + std::string(level_name(pref.locked_from));
  *out += "\n";
  for (int level = 0; level <= 3; ++level) add_level(pref.levels[level], level, out);
}

}  // namespace

std::string report_text(const report_s& report) {
  std::string out = "Preferences of " + printable(report.scope) + ": " +
                    std::to_string(report.prefs.size()) + " (made " + report.made + ")\n";
  if (!report.base.empty()) out += "installation " + printable(report.base) + "\n";
  out += "levels:\n";
  for (int level = 0; level <= 3; ++level) {
    const report_level_s& info = report.levels[level];
    char head[32];
    std::snprintf(head, sizeof head, "  %d %-9s ", level, level_name(level));
    out += head;
    if (!info.file.empty()) out += printable(info.file) + "  ";
    out += printable(info.state);
    if (info.locks_by_default) out += "; locks every preference by default";
    out += "\n";
  }
  std::string place;
  for (const report_pref_s& pref : report.prefs) {
    std::string here = pref.application + " / " + pref.category + " / " + pref.tab;
    if (!pref.group.empty()) here += " / " + pref.group;
    if (here != place) out += "\n" + printable(here) + "\n";
    place = here;
    add_pref(pref, &out);
  }
  if (report.prefs.empty()) out += "\nNo preference matches.\n";
  return out;
}
