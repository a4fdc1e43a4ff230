// The generations of a level's value file: each save keeps the file it replaces in a "history"
// folder beside it ("<file>.<UTC date and time>.<serial>"), up to KVRN_HISTORY_KEEP of them.
#pragma once

#include <string>
#include <vector>

// The time now in UTC as file names take it: "20261207T101500Z".
std::string veru_compact_utc_stamp();
// How many generations a value file keeps: KVRN_HISTORY_KEEP, read once (20 when it is not set
// or not a number, after a log line for the latter; 0 keeps none).
int veru_history_keep();
// The generations of the value file at path, newest first.
std::vector<std::string> veru_generations(const char* path);
// Keeps the file at path, which a save is about to replace, as its newest generation: a second
// name of the file, or a copy where the file system has none. Its path; "" when none was made
// (history is off, there is no file, or after a log line, the history folder cannot take it).
std::string veru_keep_generation(const char* path);
// After the save: forgets the oldest generations beyond the number kept.
void veru_prune_generations(const char* path);
