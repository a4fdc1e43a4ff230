// The level names and installation variables, for host tools.
#include <veru.h>

#include <iterator>

#include "veru_installation_names.h"

const char* const* VERU__ask_level_names(int* count) {
  if (count) *count = static_cast<int>(std::size(VERU_LEVEL_NAMES)) - 1;
  return VERU_LEVEL_NAMES;
}

const char* const* VERU__ask_installation_variables(int* count) {
  if (count) *count = static_cast<int>(std::size(VERU_INSTALLATION_VARIABLES)) - 1;
  return VERU_INSTALLATION_VARIABLES;
}
