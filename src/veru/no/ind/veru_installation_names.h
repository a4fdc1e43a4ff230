// The names a host installation is described by: the levels', and the environment variables
// that locate its folders and files.
#pragma once

// "defaults", "site", "group", "user", by level.
inline constexpr const char* VERU_LEVEL_NAMES[] = {"defaults", "site", "group", "user", nullptr};

// The installation variables; the folder variable of level 1 to 3 is at the level's index.
enum veru_installation_variable {
  VERU_VARIABLE_BASE_DIR,
  VERU_VARIABLE_SITE_DIR,
  VERU_VARIABLE_GROUP_DIR,
  VERU_VARIABLE_USER_DIR,
  VERU_VARIABLE_LANG,
  VERU_VARIABLE_DEF_DIR,
  VERU_VARIABLE_LOCAL_USER_DEFAULTS,
};
inline constexpr const char* VERU_INSTALLATION_VARIABLES[] = {
    "KVRN_BASE_DIR", "KVRN_SITE_DIR",         "KVRN_GROUP_DIR",           "KVRN_USER_DIR",
    "KVRN_LANG",     "KVRN_VERU_XML_DEF_DIR", "KVRN_LOCAL_USER_DEFAULTS", nullptr};
