// A string of the host's memory service (SM_free) owned by a scope.
#pragma once

#include <veru.h>

#include <memory>

using veru_sm_string = std::unique_ptr<char, decltype(&SM_free)>;

inline veru_sm_string veru_owned(char* text) {
  return veru_sm_string(text, &SM_free);
}
