// vuzodod, the preferences manager: every exported function, the host's hooks and, through the
// schema headers, the classes.
//
// Strings: a function that returns char* (or fills a char** or char***) gives new strings that
// the caller releases with SM_free; one that returns const char* gives the library's own, which
// the caller must not free. ask_ operations of objects return the object's own data.
//
// Threads: the typed queries (VERU_ask_int, _real, _logical, _string, _string_list) and
// VERU_is_known_default may be called from any thread once VERU_init_module has returned, at any
// time, also while the host's thread edits, reloads, processes changes or saves. Each answers,
// for the preference, a value that was in force at some moment during the call, never a torn or
// freed one; it raises as on the host's thread; it never waits for the host's thread, nor makes
// it wait. Every other call, and any query made during VERU_init_module, is made on the host's
// thread, one at a time. The library starts no thread: VERU_init_module reads every definition
// and value file on the calling thread, one after the other.
#pragma once

#include <vavadoz.h>

#include "schema/veru_api.h"
#include "schema/veru_change_definitions.h"
#include "schema/veru_data_definitions.h"
#include "schema/veru_error_codes.h"
#include "schema/veru_group_definitions.h"
#include "schema/veru_module_root_definitions.h"
#include "schema/veru_pref_definitions.h"
#include "schema/veru_schema.h"
#include "schema/veru_validate_object_definitions.h"
#include "schema/veru_validate_schema.h"
#include "schema/veru_value_definitions.h"

VERU_EXPORTS_BEGIN

// The host's hooks, registered once with REG_VERU_register.
struct REG_VERU_data_s {
  // Builds a display object for a definition-file element the library does not build itself;
  // owner is the preference for widget elements and null for labels, images and separators.
  OM_object* (*create_object_hook)(OM_object* owner, XERCES_DOM_node* element);
  // Called at the end of every VERU_init_module.
  int (*init_done_hook)(void);
  // Called when a level's value file failed to load (flag 0) or had values ignored (flag 1).
  int (*level_report_hook)(int level, int flag);
};

// ---- module start, queries and hooks ------------------------------------------------------

// Starts the module: reads the definition files and the levels' value files, on the calling
// thread; the library starts no thread. A file whose bytes are those of an earlier start is read
// from that start's compiled image in $XDG_CACHE_HOME/vuzodod (~/.cache/vuzodod), and a start
// that parsed files leaves images for the next; KVRN_CACHE=off turns images off. Nothing a host
// sees differs with or without them.
void VERU_init_module();
// The first registration stays for the life of the process.
void REG_VERU_register(const REG_VERU_data_s* data);
// The module root, which owns every object of the library; null before VERU_init_module.
VERU_module_root_s* VERU__ask_module_root();
bool VERU_is_enabled();
// The preference of that name, owned by the module; null when there is none.
VERU_pref_s* VERU_lookup_pref(const char* name);
// The preference whose definition names name among its former names (formerly="Old;Older"), so
// that entries written under an old name are read as the new one; null when none does.
VERU_pref_s* VERU_lookup_renamed_pref(const char* old_name);
bool VERU_is_known_default(const char* name);
// The loaded value of a preference; an unknown name raises VERU_ERROR_UNKNOWN_PREF, another
// type VERU_ERROR_TYPE_MISMATCH.
int VERU_ask_int(const char* name);
bool VERU_ask_logical(const char* name);
double VERU_ask_real(const char* name);
// A new string (SM_free); a string list's items joined by single spaces.
char* VERU_ask_string(const char* name);
// The items in *list: a new null-terminated array of new strings (SM_free each, then the
// array); returns their number.
int VERU_ask_string_list(const char* name, char*** list);
void VERU_add_visibility_cb(const char* name, bool (*callback)(void));

// What the queries read, for host tools and benchmarks: start-up's last step makes a table of
// every preference's name and loaded value (set_loaded_value and update_loaded_value keep it in
// step), apart from the objects.
struct VERU_query_table_facts_s {
  int preferences;           // the preferences it answers for
  long long bytes;           // the memory it takes, its names' included
  long long name_bytes;      // its copies of the names, terminators included
  int strings_waiting;       // replaced strings not freed yet, as queries may still be reading them
  double build_cpu_seconds;  // processor time of making the table at start-up
  double build_seconds;      // elapsed time of the same
};
// All zero before VERU_init_module has made the table.
void VERU__ask_query_table_facts(VERU_query_table_facts_s* facts);

// ---- errors -------------------------------------------------------------------------------

void VERU_init_errors();
// True for the codes the library's raises carry, VERU_ERROR_BLOCK_START to
// VERU_ERROR_LAST_RAISED; the codes after them (refused saves, watching) are only returned.
bool VERU_is_veru_error(int code);

// ---- string utilities ---------------------------------------------------------------------
// An encoded string list holds one item bare, or each of two or more items in double quotes
// with a backslash between them: "a"\"b"\"c". Lists are null-terminated arrays of strings; the
// caller releases each string and the array with SM_free.

// A new string (SM_free); null for zero or fewer items.
char* VERU_encode_string_list(int count, const char* const* items);
// The items in *list (a new array of new strings); returns their number.
int VERU_string_breakup_lines_separated_by_slash(const char* text, char*** list);
// A new string (SM_free): the items of an encoded list joined by single spaces.
char* VERU__remove_quotes_and_backslash(const char* text);
// A new string (SM_free): ${NAME} written as %NAME%, or an unchanged copy when the references
// are malformed.
char* VERU_add_percent_chars_to_string(const char* text);
// A new string (SM_free): odd percent signs written as ${, even ones as }.
char* VERU_remove_percent_chars_from_string(const char* text);

// ---- levels -------------------------------------------------------------------------------
// Level 0 holds the definition defaults, 1 the site, 2 the group and 3 the user values. A level
// outside 0 to 3 raises the host's internal error.

bool VERU__is_level_defined(int level);
// The level's value file path inside the level table, which the caller must not free; "" while
// the level is not defined.
const char* VERU__ask_level_filename(int level);
bool VERU_is_level_locked_by_default(int level);
// Clears the lock flag that each preference recorded at the level, then stores the flag.
void VERU_set_level_locked_by_default(int level, bool locked);
bool VERU_is_level_up_to_date(int level);
// Marking a level out of date makes the next VERU_reload_values_xml read its file again.
void VERU_set_level_up_to_date(int level, bool up_to_date);
// Whether the level's value file can be written: a defined level above 0 whose directory is
// writeable and whose file is writeable or does not exist yet.
bool VERU_is_level_writeable(int level);
// Why start-up left the level undefined, in the words of its log lines ("No user customizations
// read from KVRN_GROUP_DIR - directory /x does not exist"): a new string (SM_free); null for a
// defined level and for level 0.
char* VERU_ask_level_undefined_reason(int level);

// How the last reading of a level's value file went.
enum {
  VERU_LOAD_NOT_READ = 0,  // not read yet, or the level is not defined
  VERU_LOAD_LOADED = 1,    // read (level 0, the definitions, always counts as read)
  VERU_LOAD_NO_FILE = 2,   // the file did not exist
  VERU_LOAD_FAILED = 3,    // the file could not be read, is not well-formed XML, or its root
                           // element is not PrefValues
};
// The level's load state; for a failed load, *reason (when reason is not null) receives a new
// string (SM_free) with the file and the cause, such as "/x/kvrn1_user.dpv:3:7: Error parsing
// attribute value", and null otherwise. Until a level that failed is read again, its values and
// locks are missing and VERU_save_level will not write over its file.
int VERU_ask_level_load_state(int level, char** reason);
// The Pref entries that the level's last load ignored (unknown preference, locked at a lower
// level, value not valid), which saving the level writes back after its own entries unless the
// level holds a value for that preference by then. Returns their number; when names is not
// null, *names receives their names in file order (new strings in a new array, SM_free each
// and the array; null when there are none).
int VERU_ask_level_carried_entries(int level, char*** names);
// Why the level's last load ignored its index-th carried entry (from 0, in the order of
// VERU_ask_level_carried_entries): VERU_ERROR_UNKNOWN_PREF when no preference has the entry's
// name, VERU_ERROR_LOCKED_AT_HIGHER_LEVEL when a lower level locks the preference, otherwise the
// code that reading the entry's value raised (the type's or the constraint's). *position (when not
// null) receives the entry's place among the Pref elements of the file as it was loaded, from 1, so
// that entries of one name can be told apart; *reason (when not null) a new string (SM_free) in
// words, such as "locked at level 1 (site)" or "0.5 is outside [>0.0 <=0.1]". 0, with 0 and null,
// when there is no such entry.
int VERU_ask_level_carried_entry(int level, int index, int* position, char** reason);

// ---- start-up images ------------------------------------------------------------------------

// One image of the cache folder.
struct VERU_image_s {
  char* path;      // SM_free
  long long size;  // bytes
  int role;        // 0 the definition files, 1 to 3 the value file of that level; -1 not an image
  char* installation;  // the settings of the installation it serves (SM_free); null when unknown
};
// The folder that holds start-up images (SM_free); null when images are off (KVRN_CACHE=off) or
// no private folder can be had.
char* VERU_ask_image_folder();
// The images of the folder, by path, in *images (VERU_free_images); how many.
int VERU_ask_images(VERU_image_s** images);
void VERU_free_images(VERU_image_s* images, int count);
// Removes every image of the folder; how many were removed. The next start parses its files.
int VERU_clear_images();

// ---- definition and value files -----------------------------------------------------------

// The paths of the 27 definition files, in load order (27 new strings in a new array); the
// first call finds them, later calls return the same paths.
int VERU_ask_dpx_files(char*** files);
// The names of the 27 definition files in load order, kv_extras.dpx last: the library's own
// null-terminated array, which the caller must not free; *count (when not null) receives 27.
// For host tools, tests and benchmarks that lay out an installation.
const char* const* VERU__ask_dpx_file_names(int* count);
// The attributes of a value file's Pref entry, in the order saves write them (Application ...
// modified): the library's own null-terminated array; *count (when not null) receives their
// number. Saves keep any other attribute a person gave an entry; tools name them as unknown.
const char* const* VERU__ask_value_entry_attribute_names(int* count);
// The names of the levels by number, "defaults", "site", "group", "user": the library's own
// null-terminated array; *count (when not null) receives 4.
const char* const* VERU__ask_level_names(int* count);
// The environment variables that locate an installation, in this order: KVRN_BASE_DIR, the
// folders of levels 1 to 3 (KVRN_SITE_DIR, KVRN_GROUP_DIR, KVRN_USER_DIR, at their level's
// index), KVRN_LANG, KVRN_VERU_XML_DEF_DIR, KVRN_LOCAL_USER_DEFAULTS: the library's own
// null-terminated array; *count (when not null) receives 7.
const char* const* VERU__ask_installation_variables(int* count);
// The value file paths of the defined levels in level order (level 0's is ""); null and 0 when
// no level is defined.
int VERU_ask_value_files(char*** files);
// Reads again the value file of every defined level 1 to 3 that is not up to date.
void VERU_reload_values_xml();
// Writes the values recorded at the level, and the entries its load ignored, to its value file,
// which is replaced atomically. Returns 0 when the file was written; otherwise a code and, when
// reason is not null, *reason receives a new string (SM_free) naming the file and the cause; on
// success *reason is null. Never raises. Nothing is written when the code is
// VERU_ERROR_LEVEL_NOT_WRITEABLE (the level is not defined, or its folder or file is not
// writeable), VERU_ERROR_LEVEL_BUSY (another editor holds the level's lock),
// VERU_ERROR_LEVEL_FILE_BROKEN (its file exists but failed to load, and is never saved over),
// VERU_ERROR_LEVEL_CHANGED_ON_DISK (the file changed since this process last read or wrote it:
// lock the level, reload it and edit again) or VERU_ERROR_VALUE_FILE_SAVE (a value or comment
// holds text that XML cannot, the file is a symbolic link that another user made to a file not
// theirs, or the system refused). The save holds the level's lock (VERU_lock_level) and removes
// what interrupted saves of the file left beside it.
int VERU_save_level(int level, char** reason);
// VERU_save_level without its result: a failure is logged with its code and reason. An undefined
// level is passed over without a word.
void VERU__save_values_xml(int level);
// Moves a level's value file aside to a new name beside it ("<file>.broken-<date and time>"),
// so that the next save starts a new file; nothing is deleted. For a file that failed to load
// and cannot be mended now. 0 with *moved_to (when not null) a new string (SM_free) holding the
// new path; otherwise a code of VERU_save_level with *reason as it gives it.
int VERU_set_aside_level_file(int level, char** moved_to, char** reason);
// Saves a level whose file failed to load over that file, keeping the file's content under a
// new name beside it ("<file>.broken-<date and time>", a second name of the file, or a copy
// where the file system has none), so that at every moment the level has a file and the broken
// content is kept. A level whose file did not fail is saved as VERU_save_level saves it. 0 with
// *kept_as (when not null) a new string (SM_free) holding the broken file's new name, or null
// when there was none; otherwise a code of VERU_save_level with *reason.
int VERU_save_level_over_broken(int level, char** kept_as, char** reason);
// Editing a level from several processes: an editor locks the level, reloads it
// (VERU_set_level_up_to_date(level, false), VERU_reload_values_xml), changes it, saves it and
// unlocks it, so that concurrent editors of one level all land; a save without that reload is
// refused with VERU_ERROR_LEVEL_CHANGED_ON_DISK once another editor saved the level. The lock is
// an advisory lock on "<value file>.lock" beside the value file, so it also serves levels on
// shared folders; it is re-entrant within the process and waits a few seconds for another
// holder. A new lock file takes the value file's owner, group and access (the folder's while
// there is no value file), so that every editor of the level can take it. 0 when held;
// otherwise VERU_ERROR_LEVEL_NOT_WRITEABLE (nothing is locked for a level that cannot be saved),
// VERU_ERROR_LEVEL_BUSY, or VERU_ERROR_VALUE_FILE_SAVE (something other than a regular file is
// at the lock file's path, or the system refused), with *reason (when not null) a new string
// (SM_free) with the cause.
int VERU_lock_level(int level, char** reason);
// The generations of the level's value file, newest first: each save keeps the file it replaces
// in the folder "history" beside it, as "<file>.<UTC date and time>.<serial>", and keeps the last
// KVRN_HISTORY_KEEP (20 when it is not set; 0 keeps none). Returns their number; when paths is
// not null, *paths receives their paths (new strings in a new array, SM_free each and the array;
// null when there are none).
int VERU_ask_level_generations(int level, char*** paths);
// Gives back one hold of the level's lock; the last one releases it.
void VERU_unlock_level(int level);
// An edit session: the editing pattern above in two calls around the checked edits.
// VERU_begin_level_edit takes the level's lock and reads the level's file again, so that the
// edits start from what the file holds now. 0 when the session is open; otherwise a code of
// VERU_lock_level, or VERU_ERROR_LEVEL_FILE_BROKEN with the load's failure as *reason when the
// file failed to load (nothing is held then). With replace_broken a file that fails to load does
// not refuse the session: its save goes over the file and keeps its content under a new name,
// as VERU_save_level_over_broken does.
int VERU_begin_level_edit(int level, bool replace_broken, char** reason);
// Ends a session that VERU_begin_level_edit opened: saves the level when save is true, then gives
// back the lock. Edits of the session that were not saved (save false, or a refused save) are
// dropped: the level holds again what its file holds. 0, or a code of VERU_save_level with
// *reason, or VERU_ERROR_LEVEL_NOT_CHANGEABLE when no session of the level is open; *kept_as
// (when not null) as VERU_save_level_over_broken gives it.
int VERU_end_level_edit(int level, bool save, char** kept_as, char** reason);
// Writes a value document to path, replacing the file atomically, with the style-sheet
// instruction, and puts a style sheet beside it when there is none. Raises
// VERU_ERROR_VALUE_FILE_SAVE when the file cannot be replaced; the old file is then as it was.
void VERU_write_dpv_file(const char* path, XERCES_DOM_ctx* document, XERCES_DOM_node* node);

// ---- checked edits -----------------------------------------------------------------------
// How a host (its preferences editor, a tool) changes a level: each call checks what the level
// may hold, records the change in memory with the current date, and keeps what queries answer
// in step (the value of the highest level that no lock below hides). None saves: save the level
// with VERU_save_level, and when other processes may edit it too, hold VERU_lock_level from
// reloading the level to saving it. Each returns 0, or a library error code with, when reason
// is not null, a new string (SM_free) that says why in words a person can act on ("locked at
// level 1 (site)", "ABC is not allowed: must be one of ISO, ASME, JIS", "0 is outside [>=1
// <=120]", "not an integer: 12abc"); on success *reason is null. None raises for a refusal, and
// a refused edit changes nothing. Levels are 1 (site), 2 (group) and 3 (user), and must be
// defined. Codes: VERU_ERROR_UNKNOWN_PREF; VERU_ERROR_LOCKED_AT_HIGHER_LEVEL, locked at a
// lower level; VERU_ERROR_NOT_SET_AT_LEVEL, nothing recorded at the level;
// VERU_ERROR_LEVEL_NOT_CHANGEABLE, a level that cannot take the edit, or text a value file
// cannot hold in a comment; for a value, the type's code (VERU_ERROR_NOT_INT, _NOT_REAL,
// _NOT_LOGICAL, _NOT_STRING) or the constraint's (VERU_ERROR_NOT_IN_ENUM, VERU_ERROR_NOT_COLOR,
// VERU_ERROR_RANGE_...).

// Records the value that text gives at the level. The text is read strictly for the
// preference's type: a whole decimal integer, a real such as 2.5 or 1e-3, true or false in any
// letter case, any string, or a string list in its encoded form. For an enumeration or colour
// preference the name of a member stands for its value. Text that a value file cannot hold
// (control characters other than tab, LF and CR; text that is not UTF-8) and text longer than
// 65,535 bytes are refused.
int VERU_edit_value(const char* name, int level, const char* text, char** reason);
// Locks the preference at the level (recording the effective value there when the level holds
// none), or unlocks it, whatever the level's default lock; nothing to do when the level already
// does so. The user level cannot lock.
int VERU_edit_lock(const char* name, int level, bool locked, char** reason);
// Sets the comment of the level's value; null or "" removes it. The level must hold a value.
int VERU_edit_comment(const char* name, int level, const char* comment, char** reason);
// Removes what the level records for the preference (value, lock and comment), and the entries
// of that name that the level's load ignored (also when no preference has the name).
int VERU_edit_reset(const char* name, int level, char** reason);
// Sets the level's default lock (saved as defaultLockStatus); every preference at the level
// then follows it (VERU_set_level_locked_by_default). Site and group levels only.
int VERU_edit_level_lock(int level, bool locked_by_default, char** reason);
// Sets the level's default lock and keeps every preference's lock as it was: the own lock flag of
// each entry the level records or carries is turned over, so only the preferences without an
// entry at the level follow the new default. *flipped (when not null) receives how many entries'
// flags were turned over. Site and group levels only; refusals as VERU_edit_level_lock.
int VERU_edit_level_lock_keeping_locks(int level, bool locked_by_default, int* flipped,
                                       char** reason);

// Answers what VERU_edit_value would answer for the same arguments (0, or its code and reason),
// without changing anything: for checking what a person types as they type it.
int VERU_check_value(const char* name, int level, const char* text, char** reason);
// Whether an edit would take text as a value of the preference at some level: its type and
// constraint only, no lock. 0, or the code and reason of VERU_edit_value. For tools that check
// what a person wrote into a value file by hand.
int VERU_check_value_text(const char* name, const char* text, char** reason);

// ---- the editor model ---------------------------------------------------------------------
// Everything a preferences dialog shows, so that no host assembles it from the classes: the
// tree of applications, categories, tabs and groups in definition order with the preferences
// of each, and for one preference a view of its description, widget, constraint and levels.

// The widget that a preference's definition names (its last widget element).
enum {
  VERU_WIDGET_NONE = 0,
  VERU_WIDGET_INTEGER = 1,          // "Integer": a number field
  VERU_WIDGET_INTEGER_SCALE = 2,    // "IntegerScale": a bounded integer, as a slider
  VERU_WIDGET_REAL = 3,             // "Real"
  VERU_WIDGET_REAL_SCALE = 4,       // "RealScale"
  VERU_WIDGET_TOGGLE = 5,           // "Toggle": two members, one of them off
  VERU_WIDGET_OPTION_MENU = 6,      // "OptionMenu": one of the members
  VERU_WIDGET_RADIO_BOX = 7,        // "RadioBox"
  VERU_WIDGET_COLOR = 8,            // "Color": colour numbers 1 to 216 and the members
  VERU_WIDGET_COLOR_OPTION = 9,     // "ColorOption": one of the colour members
  VERU_WIDGET_COLOR_TOGGLE = 10,    // "ColorToggle": the one colour member, or not
  VERU_WIDGET_STRING = 11,          // "String"
  VERU_WIDGET_WIDE_STRING = 12,     // "Widestring"
  VERU_WIDGET_FILE = 13,            // "BrowseFileSel": a file path
  VERU_WIDGET_DIRECTORY = 14,       // "BrowseDirSel": a directory path
  VERU_WIDGET_MULTI_LINE_TEXT = 15  // "MultiLineText": a string list, one item a line
};
// The definition files' element name of a widget ("IntegerScale"); null for VERU_WIDGET_NONE and
// numbers that are no widget. The library's own text.
const char* VERU_ask_widget_name(int widget);

enum {
  VERU_CONSTRAINT_NONE = 0,
  VERU_CONSTRAINT_ENUM = 1,   // one of the members
  VERU_CONSTRAINT_COLOR = 2,  // colour numbers 1 to 216 and the members
  VERU_CONSTRAINT_RANGE = 3   // between the bounds that are present
};

// Texts in a view are UTF-8 and belong to the view; null where there is nothing to say.
// Values are written as VERU_edit_value and VERU_check_value take them back (a string list in
// its encoded form); displays as a person reads them (a member's name, list items by spaces).
struct VERU_view_member_s {
  const char* value;
  const char* label;
  const char* bitmap;
};

struct VERU_view_bound_s {
  bool present;
  bool inclusive;
  const char* value;
  const char* label;
};

// What one level records for the preference.
struct VERU_view_level_s {
  bool defined;       // level 0 always is
  bool has_entry;     // the level records a value (and maybe a lock and a comment)
  const char* value;  // null without an entry
  const char* display;
  bool locks;              // the level locks the preference for the levels above it
  bool locked_by_default;  // the level locks every preference it has no entry for
  int modified;            // host clock seconds; 0 without an entry
  const char* comment;
  bool carried;  // the level's file holds an entry of this name that its load ignored
};

struct VERU_pref_view_s {
  const char* name;
  const char* type;  // "int", "real", "logical", "string" or "string_list"
  const char* title;
  const char* description;
  const char* unit;
  const char* application;
  const char* category;
  const char* tab;
  const char* group;       // null when the preference sits directly on its tab
  int widget;              // VERU_WIDGET_*
  const char* toggle_off;  // the value a toggle shows as off; null for other widgets
  int constraint;          // VERU_CONSTRAINT_*
  int member_count;        // of an enumeration or colours
  const VERU_view_member_s* members;
  VERU_view_bound_s lower, upper;  // of a range
  const char* range_text;          // a range as "[>=1 <=120]"
  const char* default_value;       // the definitions' default (level 0)
  const char* default_display;
  const char* effective_value;  // the value in force at the level asked about
  const char* effective_display;
  int source;               // the level that supplies it
  const char* query_value;  // what the queries answer (VERU_ask_*), which follows the edits
  VERU_view_level_s levels[4];
  int lock_level;            // the lowest level that locks the preference; -1 for none
  const char* lock_comment;  // that level's comment on its entry: who locked it and why
  int level;                 // the level asked about
  int change_refusal;  // 0 when the level may change the preference, else the code an edit gets
  const char* change_reason;  // why not, in words a person can act on
  bool level_writeable;       // the level's file can be written (VERU_is_level_writeable)
  bool modified;              // the level asked about records a value of its own (above 0)
  bool visible;               // the host's visibility callback, true without one
  bool enabled;               // VERU_is_enabled
  bool restart;               // a change applies only after the host restarts
};

// Describes the preference as the level (0 to 3) sees it. 0 with *view a new view that the
// caller releases with VERU_free_pref_view; VERU_ERROR_UNKNOWN_PREF, with *view null, when no
// preference has the name, or a level outside 0 to 3 (VERU_ERROR_LEVEL_NOT_CHANGEABLE). Never
// raises.
int VERU_describe_pref(const char* name, int level, VERU_pref_view_s** view);
void VERU_free_pref_view(VERU_pref_view_s* view);

// The preference's type as definition files name it: "int", "real", "logical", "string" or
// "string_list". The library's own text.
const char* VERU_ask_pref_type_name(const VERU_pref_s* pref);

// The nodes of the definition tree, as a walk meets them.
enum {
  VERU_TREE_APPLICATION = 1,
  VERU_TREE_CATEGORY = 2,
  VERU_TREE_TAB = 3,
  VERU_TREE_GROUP = 4,  // a group inside a tab
  VERU_TREE_PREF = 5
};
struct VERU_tree_node_s {
  int kind;             // VERU_TREE_*
  int depth;            // 1 for an application
  const char* name;     // a group's display name (UTF-8) or a preference's name; the library's
  VERU_group_s* group;  // the node for groups, the preference's parent for preferences
  VERU_pref_s* pref;    // null for groups
};
// Calls visit for every application, category, tab, group and preference in definition order:
// a group before what it holds, a tab's preferences and groups in the order the files give
// them. visit returns false to end the walk. The node lives until visit returns.
void VERU_walk_pref_tree(bool (*visit)(const VERU_tree_node_s* node, void* data), void* data);
// ---- live: what changed, and watching the value files ----------------------------------
// A running host learns what changed in the preferences: listeners receive batches of records,
// one record per preference whose effective value, source level, lowest locking level or
// comment differs from before, whatever caused it. Each successful VERU_edit_* call delivers its
// batch before it returns. Changes that other processes make to the value files reach the host
// through a watch that the host drives from its own event loop (the library starts no thread
// for it): poll VERU_watch_fd for reading, wake up after VERU_watch_timeout_ms at the latest, and
// call VERU_process_changes, which reads the settled files again, makes the queries answer what
// a fresh start would answer for the files as they now are, and delivers one batch. Unsaved edits
// of a level that is read again are gone; those of other levels stay. A level whose lock this
// process holds (VERU_lock_level) is read again only once the lock is given back, so an edit
// session is not disturbed. A changed definition file is not read again: one
// VERU_CHANGE_DEFINITIONS record says that a restart is needed.
//
// Which calls refresh what queries answer: the VERU_edit_* calls and VERU_process_changes do;
// the operations of the preference objects (set_int, set_locked, ...) and
// VERU_reload_values_xml change what a level records, for an editor, but not what queries
// answer, and tell no listener.

enum {
  VERU_CHANGE_VALUE = 1,         // the effective value (what queries answer)
  VERU_CHANGE_LOCK = 2,          // the lowest level that locks the preference
  VERU_CHANGE_SOURCE = 4,        // the level that supplies the effective value
  VERU_CHANGE_COMMENT = 8,       // the comment recorded with the effective value
  VERU_CHANGE_LEVEL_STATE = 16,  // how a level's value file loaded (a level-wide record)
  VERU_CHANGE_DEFINITIONS = 32,  // a definition file changed: a restart is needed
};
enum { VERU_CAUSE_EDIT = 1, VERU_CAUSE_FILE = 2 };
enum { VERU_WATCH_POLL_ONLY = 1 };

// One record of a batch. Its texts belong to the library and live until the callback returns.
typedef struct VERU_change_s {
  const char* name;  // the preference; null for a level-wide record
  unsigned what;     // VERU_CHANGE_* bits
  int cause;         // VERU_CAUSE_*
  int level;         // the level whose edit or file it was (0 for the definitions)
  // The effective values as VERU_ask_string prints them (a string list's items joined by single
  // spaces); null where there is none. For a level-state record, the level's load state in
  // words: "loaded", "no file", or the reason it failed to load (VERU_ask_level_load_state). For
  // a definitions record, new_value is the changed definition file.
  const char* old_value;
  const char* new_value;
  int old_source, new_source;          // the level that supplies the effective value (0 to 3)
  int old_lock_level, new_lock_level;  // the lowest level that locks it (0 to 2), -1 for none
} VERU_change_s;
typedef void (*VERU_changes_fn)(const VERU_change_s* changes, int count, void* data);

// Calls fn with the records of each batch that concern it: those of the preference named
// name_or_prefix and of every preference whose name starts with it (null or "" for every
// preference), whose what has a bit of the mask (0 for every kind), and every level-wide record
// whose kind is in the mask. A listener may call the library, edits included: what it causes is
// delivered as the next batch once the current one has reached every listener, never by
// recursion. Returns the listener's id (above 0), or 0 when fn is null.
int VERU_add_change_listener(const char* name_or_prefix, unsigned what, VERU_changes_fn fn,
                             void* data);
// Removes a listener; safe inside a callback, after which it is not called again.
void VERU_remove_change_listener(int id);

// Starts watching the value files of the defined levels and the definition files. Where a
// level's folder is on a network or user-space file system (whose writes from other machines
// the kernel does not report), where the kernel's file events cannot be had, with
// VERU_WATCH_POLL_ONLY, or with KVRN_WATCH=poll in the environment, the files are checked every
// 5 seconds instead (KVRN_WATCH_POLL_MS milliseconds); every file is also checked every 15
// minutes in every mode. 0 when watching (also when it already was); otherwise an error code
// with *reason (when not null) a new string (SM_free) saying why.
int VERU_watch_levels(unsigned flags, char** reason);
// A descriptor that becomes readable when VERU_process_changes has something to do; -1 when
// nothing is watched through the kernel's file events (polling only, or not watching).
int VERU_watch_fd(void);
// Milliseconds after which VERU_process_changes must run at the latest; -1 when only a
// readable VERU_watch_fd calls for it.
int VERU_watch_timeout_ms(void);
// Reads what happened to the watched files, reads again the value files that have settled
// (300 ms after their last change, at most 2 s after their first), and delivers one batch of
// what changed. A file that does not parse keeps the level's last good values: it is tried
// again at its next change, and if it is still broken 2 s after its first change, one
// VERU_CHANGE_LEVEL_STATE record gives the parser's reason. A file that disappears takes its
// level's values with it, as a fresh start would. 0, or an error code with *reason (when not
// null) a new string (SM_free).
int VERU_process_changes(char** reason);
// Stops watching and closes the descriptor.
void VERU_unwatch_levels(void);

// ---- application folders ------------------------------------------------------------------
// Per-user folders of the host, made when missing; paths are kept for the life of the process
// and nobody frees them. Null when no usable folder can be found or made.

const char* VERU_ask_zr_application_folder();
// The subfolder of that name of the application folder (the folder itself for null or ""),
// made when missing, as a new string that lives as long as the process (never freed); null for
// a name with "/", or "." or "..".
const char* VERU_ask_zr_application_subfolder(const char* name);
const char* VERU_ask_zr_legacy_application_folder(const char* key);

VERU_EXPORTS_END
