// kvrn-prefs: the nearest names to a mistyped one.
#include "suggest.h"

#include <algorithm>
#include <cctype>

#include "tool.h"

namespace {

// Names longer than this are neither matched nor offered: the edit distance costs the product of
// the two lengths.
constexpr std::size_t LONGEST_NAME = 256;

// A name as a message shows it: cut after 200 bytes, as the library's log lines cut it.
std::string shown_name(const std::string& name) {
  constexpr std::size_t LONGEST = 200;
  if (name.size() <= LONGEST) return name;
  std::size_t cut = LONGEST;
  while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
  return name.substr(0, cut) + "...";
}

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The number of single-character edits between a and b.
std::size_t edit_distance(const std::string& a, const std::string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

void collect_name(OM_object* object, void* data) {
  static_cast<std::vector<std::string>*>(data)->push_back(
      static_cast<VERU_pref*>(object)->ask_name());
}

}  // namespace

std::string did_you_mean(const std::string& word, const std::vector<std::string>& names) {
  if (word.empty() || word.size() > LONGEST_NAME) return "";
  const std::string wanted = lower(word);
  const std::size_t near = std::max<std::size_t>(2, wanted.size() / 6);
  std::vector<std::pair<std::size_t, std::string>> found;
  for (const std::string& name : names) {
    if (name.size() > LONGEST_NAME) continue;
    const std::string candidate = lower(name);
    std::size_t distance = edit_distance(wanted, candidate);
    // A name that holds the word (a prefix left out, say) is as near as one edit.
    if (distance > near && wanted.size() >= 3 && candidate.find(wanted) != std::string::npos) {
      distance = 1;
    }
    if (distance <= near) found.emplace_back(distance, name);
  }
  std::sort(found.begin(), found.end());
  // Names much farther than the nearest one only distract.
  while (!found.empty() && found.back().first > found.front().first + 1) found.pop_back();
  if (found.size() > 3) found.resize(3);
  if (found.empty()) return "";
  std::string text = " (did you mean ";
  for (std::size_t i = 0; i < found.size(); ++i) {
    if (i > 0) text += i + 1 == found.size() ? " or " : ", ";
    text += found[i].second;
  }
  return text + "?)";
}

std::string did_you_mean_pref(const std::string& name) {
  std::vector<std::string> names;
  OM_for_all_in_set(VERU__ask_module_root()->ask_pref_set(), collect_name, &names);
  return did_you_mean(name, names);
}

int refuse_unknown_pref(const std::string& name) {
  return refuse(EXIT_REFUSED,
                "no preference is named " + shown_name(name) + did_you_mean_pref(name));
}
