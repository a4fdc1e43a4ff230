// A small installation in a temporary directory, on which the fuzz targets start the module.
#pragma once

#include <string>

// Writes the 27 definition files (a few preferences of every type and constraint in
// kv_gateway.dpx, empty applications elsewhere) and a user level, sets the KVRN_* variables and
// starts the module. Returns the installation's directory.
std::string fuzz_start_module();
// The user level's value file of the started installation.
std::string fuzz_user_file();
// Removes the installation; the module must not be used afterwards.
void fuzz_remove_installation();
void fuzz_write(const std::string& path, const unsigned char* data, std::size_t size);
