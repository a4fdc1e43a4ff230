// What the rest of the library tells the watch of the value files.
#pragma once

#include <veru.h>

// The level's file was just written by this process: its events are not a change from outside.
void veru_watch_saved(int level);
// The level is about to be read again for an editor, without queries following: the next
// processing reads it again and compares every preference with what queries answer now.
void veru_watch_reread(int level);
// The preference was just edited by this process, whose listeners are told so by the edit: a
// level read again for the edit does not tell that change a second time.
void veru_watch_edited(VERU_pref* pref);
