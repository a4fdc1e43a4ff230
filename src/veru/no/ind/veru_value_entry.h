// A preference's entry in a value file: the texts it is made of, and the Pref element made of
// them. VERU_pref::create_dom_node and the save of a level make entries through these, alike.
#pragma once

#include <veru.h>

#include <memory>
#include <string>

#include "veru_sm_string.h"

struct veru_value_entry_s {
  const char* application;
  const char* category;
  const char* tab;
  const char* title;
  const char* display_value;
  const char* name;
  const char* value;
  bool locked;
  const char* modified;   // not written when null
  const TEXT_s* comment;  // not written when null or empty
};

// A modification time as value files write it: the XML Schema dateTime in UTC that
// CLOCK_format_date_time writes for the time's date. Every int time has one.
constexpr std::size_t VERU_MODIFIED_TEXT_SIZE = 24;

// Where the texts of an entry that are made rather than read are kept while its element is made;
// one room serves entry after entry.
struct veru_value_entry_room_s {
  veru_sm_string value = veru_owned(nullptr);
  veru_sm_string display_value = veru_owned(nullptr);
  std::unique_ptr<TEXT_s, decltype(&TEXT_free)> made_title{nullptr, &TEXT_free};
  std::string full_title;
  char modified[VERU_MODIFIED_TEXT_SIZE];
};

// The texts of the preference's entry at the level, valid while room is unchanged: the value
// nearest at or below the level, and the level's own lock, date and comment (none when the level
// holds no value). A preference of the library's own classes gives them from what it holds; any
// other through its methods, which a host class may override.
veru_value_entry_s veru_value_entry_texts(VERU_pref* pref, int level,
                                          veru_value_entry_room_s* room);

// The entry's Pref element: appended to parent when there is one, else unattached in the
// document.
XERCES_DOM_node* veru_value_element(XERCES_DOM_ctx* document, XERCES_DOM_node* parent,
                                    const veru_value_entry_s& entry);

void veru_format_modified(int time, char (&text)[VERU_MODIFIED_TEXT_SIZE]);

// The full title of a preference in a group: the group's name, " - " and the title.
void veru_full_title(const TEXT_s* group_name, const TEXT_s* title, std::string* full_title);

// The name of the first member of the preference's enumeration whose value equals value; null
// when the preference has no enumeration or no member has that value.
const TEXT_s* veru_member_name(const VERU_pref* pref, const VERU_value* value);
