// kvrn-prefs: the nearest names to a mistyped one, for "did you mean ...".
#pragma once

#include <string>
#include <vector>

// " (did you mean A, B or C?)" with up to three of names nearest to word (by edits, whatever
// the letter case, or holding word), or "" when none is near. Names over 256 bytes, the word's
// or the others', are not compared.
std::string did_you_mean(const std::string& word, const std::vector<std::string>& names);
// The same among the preferences' names.
std::string did_you_mean_pref(const std::string& name);
// Refuses (status 1) an unknown preference name, shown cut after 200 bytes, with the nearest
// names.
int refuse_unknown_pref(const std::string& name);
