// kvrn-prefs find: the preferences whose name, title or description holds a text.
#include <cctype>
#include <cstdio>

#include "json.h"
#include "tool.h"

namespace {

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool holds(VERU_pref* pref, const std::string& wanted) {
  for (const std::string& text :
       {std::string(pref->ask_name()), text_of(pref->ask_title()), text_of(pref->ask_desc())}) {
    if (lower(text).find(wanted) != std::string::npos) return true;
  }
  return false;
}

}  // namespace

int run_find(const command_line_s& line) {
  if (line.arguments.size() != 1 || line.arguments[0].empty()) {
    return refuse(EXIT_USAGE, "find takes one text to look for");
  }
  const std::string wanted = lower(line.arguments[0]);
  json_document records = json_document::array();
  std::size_t found = 0;
  std::string text;
  for (VERU_pref* pref : prefs_in_file_order()) {
    if (!holds(pref, wanted)) continue;
    ++found;
    if (line.json) {
      records.push_back(pref_json_fields(pref));
      continue;
    }
    const std::string unit = text_of(pref->ask_unit());
    text += std::string(pref->ask_name()) + " \"" + one_line(text_of(pref->ask_title())) +
            "\" = " + displayed_value(pref, 3) + (unit.empty() ? "" : " " + unit) + "\n";
  }
  if (line.json) text = json_text(records, true) + "\n";
  std::fputs(text.c_str(), stdout);
  if (found == 0) {
    return refuse(EXIT_REFUSED,
                  "no preference's name, title or description holds " + line.arguments[0]);
  }
  return EXIT_OK;
}
