// The level table shared by the sources that find, load and save value files.
#pragma once

#include <veru.h>

constexpr int VERU_LEVEL_COUNT = 4;

struct veru_level_s {
  bool defined;
  char variable[32];
  char file_path[257];
  char base_name[128];
  bool locked_by_default;
  bool up_to_date;
};

// The entry of a level; a level outside 0 to 3 raises the host's internal error.
veru_level_s& veru_level(int level);
