// The installation that the fuzz targets start the module on, and what they compare.
#pragma once

#include <veru.h>

#include <cstddef>
#include <string>

// Copies the example installation's definition files into a new directory under $TMPDIR (or
// /tmp), with empty site, group and user levels, points the KVRN_* variables at it and starts
// the module, once per process; the log is dropped. Returns the installation's directory.
std::string fuzz_start_module();
// The value file of a level (1 site, 2 group, 3 user) of the started installation.
std::string fuzz_value_file(int level);
// Removes the installation, as the process's exit does; the module must not be used afterwards.
void fuzz_remove_installation();
void fuzz_write(const std::string& path, const unsigned char* data, std::size_t size);
std::string fuzz_read(const std::string& path);
// Reads the level's value file again.
void fuzz_reload_level(int level);

// What the level records for a preference (value, lock flag, comment and date), as one line;
// "-" when it records nothing.
std::string fuzz_pref_record(VERU_pref* pref, int level);
// What the level holds as a whole: its default lock, each preference's record and the entries
// its load ignored that a save writes back, in an order that does not depend on the preference
// set's.
std::string fuzz_level_record(int level);
// Prints what was expected beside what was found and aborts, so that the input is kept as a
// crash.
[[noreturn]] void fuzz_fail(const char* what, const std::string& expected,
                            const std::string& found);
