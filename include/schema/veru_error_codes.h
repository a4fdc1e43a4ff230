// The library's error codes, carried by its raises, its validation results and its refused
// edits. ERROR_decode gives each code's message once VERU_init_errors has registered them.
#pragma once

// The block of codes reserved for the library; VERU_is_veru_error is true from its start up
// to VERU_ERROR_LAST.
constexpr int VERU_ERROR_BLOCK_START = 3550000;
constexpr int VERU_ERROR_BLOCK_SIZE = 5000;

// ---- queries, files and values ------------------------------------------------------------

constexpr int VERU_ERROR_UNKNOWN_PREF = 3550001;
// A query for another type than the preference's.
constexpr int VERU_ERROR_TYPE_MISMATCH = 3550002;
constexpr int VERU_ERROR_DEFINITION_FILE_LOAD = 3550003;
constexpr int VERU_ERROR_VALUE_FILE_LOAD = 3550004;
constexpr int VERU_ERROR_VALUE_FILE_SAVE = 3550005;
// A document of the XML service could not be made.
constexpr int VERU_ERROR_XML_INIT = 3550006;
// A value that is not of the preference's type.
constexpr int VERU_ERROR_NOT_REAL = 3550007;
constexpr int VERU_ERROR_NOT_INT = 3550008;
constexpr int VERU_ERROR_NOT_STRING = 3550009;
constexpr int VERU_ERROR_NOT_LOGICAL = 3550044;
// A value that the preference's constraint refuses: not a member of an enumeration, not a
// colour.
constexpr int VERU_ERROR_NOT_IN_ENUM = 3550010;
constexpr int VERU_ERROR_NOT_COLOR = 3550040;
// A value outside a range, one code for each shape of range: two bounds, each inclusive [ ]
// or exclusive ( ), or one bound only.
constexpr int VERU_ERROR_RANGE_NOT_IN_CLOSED_OPEN = 3550011;  // [lower, upper)
constexpr int VERU_ERROR_RANGE_NOT_IN_OPEN_CLOSED = 3550012;  // (lower, upper]
constexpr int VERU_ERROR_RANGE_NOT_IN_CLOSED = 3550013;       // [lower, upper]
constexpr int VERU_ERROR_RANGE_NOT_IN_OPEN = 3550014;         // (lower, upper)
constexpr int VERU_ERROR_RANGE_NOT_AT_LEAST = 3550015;        // >= lower
constexpr int VERU_ERROR_RANGE_NOT_AT_MOST = 3550016;         // <= upper
constexpr int VERU_ERROR_RANGE_NOT_BELOW = 3550017;           // < upper
constexpr int VERU_ERROR_RANGE_NOT_ABOVE = 3550018;           // > lower

// ---- validation of definition files -------------------------------------------------------

// A name used twice: preferences and applications across files, categories within an
// application, tabs within a category.
constexpr int VERU_ERROR_DUPLICATE_PREF_NAME = 3550019;
constexpr int VERU_ERROR_DUPLICATE_APPLICATION_NAME = 3550020;
constexpr int VERU_ERROR_DUPLICATE_CATEGORY_NAME = 3550021;
constexpr int VERU_ERROR_DUPLICATE_TAB_NAME = 3550022;
// Titles: the same as the preference's name, missing, or used twice within a tab.
constexpr int VERU_ERROR_TITLE_IS_NAME = 3550023;
constexpr int VERU_ERROR_MISSING_TITLE = 3550038;
constexpr int VERU_ERROR_DUPLICATE_TITLE = 3550039;
// For the host: widgets that the data type does not support, a file without a valid root.
constexpr int VERU_ERROR_WIDGETS_UNSUPPORTED = 3550024;
constexpr int VERU_ERROR_NO_ROOT_ELEMENT = 3550025;
// A widget that does not suit the preference's type or constraint.
constexpr int VERU_ERROR_WIDGET_TYPE_MISMATCH = 3550026;
constexpr int VERU_ERROR_BAD_INTEGER_WIDGET = 3550027;
constexpr int VERU_ERROR_BAD_INTEGER_SCALE_WIDGET = 3550028;
constexpr int VERU_ERROR_BAD_REAL_WIDGET = 3550029;
constexpr int VERU_ERROR_BAD_REAL_SCALE_WIDGET = 3550030;
constexpr int VERU_ERROR_BAD_STRING_WIDGET = 3550031;
constexpr int VERU_ERROR_BAD_OPTION_MENU_WIDGET = 3550032;
constexpr int VERU_ERROR_BAD_RADIO_BOX_WIDGET = 3550033;
constexpr int VERU_ERROR_BAD_COLOR_WIDGET = 3550034;
constexpr int VERU_ERROR_BAD_FILE_SELECTION_WIDGET = 3550035;
constexpr int VERU_ERROR_BAD_DIRECTORY_SELECTION_WIDGET = 3550036;
constexpr int VERU_ERROR_BAD_TOGGLE_WIDGET = 3550037;
constexpr int VERU_ERROR_BAD_COLOR_OPTION_MENU_WIDGET = 3550042;
constexpr int VERU_ERROR_BAD_COLOR_TOGGLE_WIDGET = 3550043;
// An option menu that offers one option twice.
constexpr int VERU_ERROR_DUPLICATE_OPTIONS = 3550041;

// ---- edits of a level ---------------------------------------------------------------------

// Locked at a level with a lower number, which decides.
constexpr int VERU_ERROR_LOCKED_AT_HIGHER_LEVEL = 3550045;
constexpr int VERU_ERROR_NOT_SET_AT_LEVEL = 3550046;
// A level that cannot take the edit.
constexpr int VERU_ERROR_LEVEL_NOT_CHANGEABLE = 3550047;

constexpr int VERU_ERROR_LAST = VERU_ERROR_LEVEL_NOT_CHANGEABLE;

// ---- watching the value files ------------------------------------------------------------

// The files cannot be watched (the module is not started).
constexpr int VERU_ERROR_WATCH_FAILED = 3550052;
