// The library's error codes and their messages, in their stored order.
#include "veru_errors.h"

const ERROR_table_row_s VERU_ERROR_TABLE[] = {
    {VERU_ERROR_UNKNOWN_PREF, "The preference does not exist in the database."},
    {VERU_ERROR_TYPE_MISMATCH,
     "The queried value type does not match preference value type in the database."},
    {VERU_ERROR_DEFINITION_FILE_LOAD, "Unable to load preferences definition file."},
    {VERU_ERROR_VALUE_FILE_LOAD, "Unable to load preferences values file."},
    {VERU_ERROR_VALUE_FILE_SAVE, "Unable to save preferences values file."},
    {VERU_ERROR_XML_INIT, "Unable to initialize KVXML module."},
    {VERU_ERROR_NOT_INT, "The value entered must be an integer."},
    {VERU_ERROR_NOT_REAL, "The value entered must be a real."},
    {VERU_ERROR_NOT_STRING, "The value entered must be a string."},
    {VERU_ERROR_NOT_LOGICAL, "The value entered must be a logical."},
    {VERU_ERROR_NOT_IN_ENUM,
     "The value entered must be one of a list of valid values for this default."},
    {VERU_ERROR_RANGE_NOT_IN_CLOSED_OPEN, "The value entered is outside the allowed range."},
    {VERU_ERROR_RANGE_NOT_IN_OPEN_CLOSED, "The value entered is outside the allowed range."},
    {VERU_ERROR_RANGE_NOT_IN_CLOSED, "The value entered is outside the allowed range."},
    {VERU_ERROR_RANGE_NOT_IN_OPEN, "The value entered is outside the allowed range."},
    {VERU_ERROR_RANGE_NOT_AT_LEAST, "The value entered is outside the allowed range."},
    {VERU_ERROR_RANGE_NOT_AT_MOST, "The value entered is outside the allowed range."},
    {VERU_ERROR_RANGE_NOT_BELOW, "The value entered is outside the allowed range."},
    {VERU_ERROR_RANGE_NOT_ABOVE, "The value entered is outside the allowed range."},
    {VERU_ERROR_DUPLICATE_PREF_NAME, "The preference name must be unique."},
    {VERU_ERROR_DUPLICATE_APPLICATION_NAME, "The application name must be unique."},
    {VERU_ERROR_DUPLICATE_CATEGORY_NAME, "The category name must be unique within an application."},
    {VERU_ERROR_DUPLICATE_TAB_NAME, "The tab name must be unique within a category."},
    {VERU_ERROR_TITLE_IS_NAME, "The preference name and title are identical."},
    {VERU_ERROR_WIDGETS_UNSUPPORTED, "The data type does not support the specified UI widgets."},
    {VERU_ERROR_NO_ROOT_ELEMENT, "The preferences file does not have a valid root node."},
    {VERU_ERROR_WIDGET_TYPE_MISMATCH,
     "The preference type is incompatible with the specified user interface widget."},
    {VERU_ERROR_BAD_INTEGER_WIDGET,
     "An integer widget must have integer type and (optional) range data."},
    {VERU_ERROR_BAD_INTEGER_SCALE_WIDGET,
     "An integer scale widget must have integer type and upper and lower bound data."},
    {VERU_ERROR_BAD_REAL_WIDGET, "A real widget must have real type and (optional) range data."},
    {VERU_ERROR_BAD_REAL_SCALE_WIDGET,
     "A real scale widget must have real type and upper and lower bound data."},
    {VERU_ERROR_BAD_STRING_WIDGET, "A string widget must have string type."},
    {VERU_ERROR_BAD_OPTION_MENU_WIDGET, "An option menu widget must have enum data."},
    {VERU_ERROR_BAD_RADIO_BOX_WIDGET, "A radio box widget must have enum data."},
    {VERU_ERROR_BAD_COLOR_WIDGET, "A color widget must have integer type."},
    {VERU_ERROR_BAD_FILE_SELECTION_WIDGET, "A file selection widget must have string type."},
    {VERU_ERROR_BAD_DIRECTORY_SELECTION_WIDGET,
     "A directory selection widget must have string type."},
    {VERU_ERROR_BAD_TOGGLE_WIDGET,
     "A toggle widget must have an upper and lower bound.\nThe OFF value must be equal to one of "
     "the bounds."},
    {VERU_ERROR_MISSING_TITLE, "A preference must have a title."},
    {VERU_ERROR_DUPLICATE_TITLE, "The preference title must be unique within a tab."},
    {VERU_ERROR_NOT_COLOR, "The value entered must be valid color."},
    {VERU_ERROR_DUPLICATE_OPTIONS, "Option menus must have a unique set of options."},
    {VERU_ERROR_BAD_COLOR_OPTION_MENU_WIDGET,
     "A color + option menu widget must have integer type and color data with at least one enum "
     "element"},
    {VERU_ERROR_BAD_COLOR_TOGGLE_WIDGET,
     "A color + toggle widget must have integer type and color data with at one and only one "
     "enum element"},
    {VERU_ERROR_LOCKED_AT_HIGHER_LEVEL, "An option value is locked at a higher level"},
    {VERU_ERROR_NOT_SET_AT_LEVEL, "An option value is not set at the specified level"},
    {VERU_ERROR_LEVEL_NOT_CHANGEABLE, "Unable to change option values at the specified level"},
    {VERU_ERROR_WATCH_FAILED, "Unable to watch the preferences values files."},
    {0, nullptr},
};

void VERU_init_errors() {
  ERROR_register_decoder_fn(VERU_ERROR_BLOCK_START, VERU_ERROR_BLOCK_SIZE, ERROR_decode_in_table,
                            VERU_ERROR_TABLE);
}

bool VERU_is_veru_error(int code) {
  return code >= VERU_ERROR_BLOCK_START && code <= VERU_ERROR_LAST;
}
