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
// thread, one at a time. The library starts no thread that outlives a call.
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

void VERU_init_module();
// The first registration stays for the life of the process.
void REG_VERU_register(const REG_VERU_data_s* data);
// The module root, which owns every object of the library; null before VERU_init_module.
VERU_module_root_s* VERU__ask_module_root();
bool VERU_is_enabled();
// The preference of that name, owned by the module; null when there is none.
VERU_pref_s* VERU_lookup_pref(const char* name);
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

// How the last reading of a level's value file went.
enum {
  VERU_LOAD_NOT_READ = 0,  // not read yet, or the level is not defined
  VERU_LOAD_LOADED = 1,    // read (level 0, the definitions, always counts as read)
  VERU_LOAD_NO_FILE = 2,   // the file did not exist
  VERU_LOAD_FAILED = 3,    // the file could not be read or is not well-formed XML
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

// ---- definition and value files -----------------------------------------------------------

// The paths of the 27 definition files, in load order (27 new strings in a new array); the
// first call finds them, later calls return the same paths.
int VERU_ask_dpx_files(char*** files);
// The names of the 27 definition files in load order, kv_extras.dpx last: the library's own
// null-terminated array, which the caller must not free; *count (when not null) receives 27.
// For host tools, tests and benchmarks that lay out an installation.
const char* const* VERU__ask_dpx_file_names(int* count);
// The value file paths of the defined levels in level order (level 0's is ""); null and 0 when
// no level is defined.
int VERU_ask_value_files(char*** files);
// Reads again the value file of every defined level 1 to 3 that is not up to date.
void VERU_reload_values_xml();
// Writes the values recorded at the level, and the entries its load ignored, to its value file,
// which is replaced atomically. Returns 0 when the file was written; otherwise
// VERU_ERROR_VALUE_FILE_SAVE (nothing written: the level is not defined or not writeable, its file
// exists but failed to load, a value or comment holds text that XML cannot, the lock of the level
// is held elsewhere, or the system refused) and, when reason is not null, *reason receives a new
// string (SM_free) naming the file and the cause; on success *reason is null. Never raises. The
// save holds the level's lock (VERU_lock_level) and removes what interrupted saves of the file left
// beside it.
int VERU_save_level(int level, char** reason);
// VERU_save_level without its result: a failure is logged with its reason. An undefined level
// is passed over without a word.
void VERU__save_values_xml(int level);
// Moves a level's value file aside to a new name beside it ("<file>.broken-<date and time>"),
// so that the next save starts a new file; nothing is deleted. For a file that failed to load
// and cannot be mended now. 0 with *moved_to (when not null) a new string (SM_free) holding the
// new path; otherwise VERU_ERROR_VALUE_FILE_SAVE with *reason as VERU_save_level gives it.
int VERU_set_aside_level_file(int level, char** moved_to, char** reason);
// Editing a level from several processes: an editor locks the level, reloads it
// (VERU_set_level_up_to_date(level, false), VERU_reload_values_xml), changes it, saves it and
// unlocks it, so that concurrent editors of one level all land. The lock is an advisory lock on
// "<value file>.lock" beside the value file, so it also serves levels on shared folders; it is
// re-entrant within the process and waits a few seconds for another holder. 0 when held;
// otherwise VERU_ERROR_VALUE_FILE_SAVE with *reason (when not null) a new string (SM_free) with the
// cause.
int VERU_lock_level(int level, char** reason);
// Gives back one hold of the level's lock; the last one releases it.
void VERU_unlock_level(int level);
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
