// kvrn-prefs edit: the editor page, its style sheet and its script, embedded in the program from
// editor/ when it is built, so that the page needs nothing from anywhere else.
#pragma once

extern const char EDITOR_PAGE_HTML[];
extern const char EDITOR_PAGE_CSS[];
extern const char EDITOR_PAGE_JS[];
