// vuzodod, the preferences manager: every exported function, the host's hooks and, through the
// schema headers, the classes. Functions that return char* give a new string that the caller
// releases with SM_free; ask_ functions of objects return the object's own data.
#pragma once

#include <vavadoz.h>

#include "schema/veru_change_definitions.h"
#include "schema/veru_data_definitions.h"
#include "schema/veru_group_definitions.h"
#include "schema/veru_module_root_definitions.h"
#include "schema/veru_pref_definitions.h"
#include "schema/veru_schema.h"
#include "schema/veru_validate_object_definitions.h"
#include "schema/veru_validate_schema.h"
#include "schema/veru_value_definitions.h"

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
VERU_module_root_s* VERU__ask_module_root();
bool VERU_is_enabled();
VERU_pref_s* VERU_lookup_pref(const char* name);
bool VERU_is_known_default(const char* name);
// The loaded value of a preference; an unknown name raises 3550001, another type 3550002.
int VERU_ask_int(const char* name);
bool VERU_ask_logical(const char* name);
double VERU_ask_real(const char* name);
char* VERU_ask_string(const char* name);
int VERU_ask_string_list(const char* name, char*** list);
void VERU_add_visibility_cb(const char* name, bool (*callback)(void));

// ---- errors -------------------------------------------------------------------------------

void VERU_init_errors();
bool VERU_is_veru_error(int code);

// ---- string utilities ---------------------------------------------------------------------
// An encoded string list holds one item bare, or each of two or more items in double quotes
// with a backslash between them: "a"\"b"\"c". Lists are null-terminated arrays of strings; the
// caller releases each string and the array with SM_free.

// Null for zero or fewer items.
char* VERU_encode_string_list(int count, const char* const* items);
int VERU_string_breakup_lines_separated_by_slash(const char* text, char*** list);
// The items of an encoded list joined by single spaces.
char* VERU__remove_quotes_and_backslash(const char* text);
// ${NAME} written as %NAME%, or an unchanged copy when the references are malformed.
char* VERU_add_percent_chars_to_string(const char* text);
// Odd percent signs written as ${, even ones as }.
char* VERU_remove_percent_chars_from_string(const char* text);

// ---- levels -------------------------------------------------------------------------------
// Level 0 holds the definition defaults, 1 the site, 2 the group and 3 the user values. A level
// outside 0 to 3 raises the host's internal error.

bool VERU__is_level_defined(int level);
// The level's value file path inside the level table; "" while the level is not defined.
char* VERU__ask_level_filename(int level);
bool VERU_is_level_locked_by_default(int level);
// Clears the lock flag that each preference recorded at the level, then stores the flag.
void VERU_set_level_locked_by_default(int level, bool locked);
bool VERU_is_level_up_to_date(int level);
// Marking a level out of date makes the next VERU_reload_values_xml read its file again.
void VERU_set_level_up_to_date(int level, bool up_to_date);
// Whether the level's value file can be written: a defined level above 0 whose directory is
// writeable and whose file is writeable or does not exist yet.
bool VERU_is_level_writeable(int level);

// ---- definition and value files -----------------------------------------------------------

// The paths of the 27 definition files, in load order (27 new strings in a new array); the
// first call finds them, later calls return the same paths.
int VERU_ask_dpx_files(char*** files);
// The value file paths of the defined levels in level order (level 0's is ""); null and 0 when
// no level is defined.
int VERU_ask_value_files(char*** files);
// Reads again the value file of every defined level 1 to 3 that is not up to date.
void VERU_reload_values_xml();
// Writes the values recorded at the level to its value file; failures are logged, never raised.
void VERU__save_values_xml(int level);
// Writes a value document to path, replacing the file atomically, with the style-sheet
// instruction, and puts a style sheet beside it when there is none. Raises 3550005 when the
// file cannot be replaced; the old file is then as it was.
void VERU_write_dpv_file(const char* path, XERCES_DOM_ctx* document, XERCES_DOM_node* node);

// ---- application folders ------------------------------------------------------------------
// Per-user folders of the host, made when missing; paths are kept for the life of the process
// and nobody frees them. Null when no usable folder can be found or made.

const char* VERU_ask_zr_application_folder();
char* VERU_ask_zr_application_subfolder(const char* name);
const char* VERU_ask_zr_legacy_application_folder(const char* key);
