// What the rest of the library tells the watch of the value files.
#pragma once

// The level's file was just written by this process: its events are not a change from outside.
void veru_watch_saved(int level);
