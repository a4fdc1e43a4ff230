// The library's error codes and their messages, in their stored order.
#include "veru_errors.h"

namespace {

constexpr int FIRST_CODE = 3550000;
constexpr int BLOCK_SIZE = 5000;
constexpr int LAST_CODE = 3550047;

}  // namespace

const ERROR_table_row_s VERU_ERROR_TABLE[] = {
    {3550001, "The preference does not exist in the database."},
    {3550002, "The queried value type does not match preference value type in the database."},
    {3550003, "Unable to load preferences definition file."},
    {3550004, "Unable to load preferences values file."},
    {3550005, "Unable to save preferences values file."},
    {3550006, "Unable to initialize KVXML module."},
    {3550008, "The value entered must be an integer."},
    {3550007, "The value entered must be a real."},
    {3550009, "The value entered must be a string."},
    {3550044, "The value entered must be a logical."},
    {3550010, "The value entered must be one of a list of valid values for this default."},
    {3550011, "The value entered is outside the allowed range."},
    {3550012, "The value entered is outside the allowed range."},
    {3550013, "The value entered is outside the allowed range."},
    {3550014, "The value entered is outside the allowed range."},
    {3550015, "The value entered is outside the allowed range."},
    {3550016, "The value entered is outside the allowed range."},
    {3550017, "The value entered is outside the allowed range."},
    {3550018, "The value entered is outside the allowed range."},
    {3550019, "The preference name must be unique."},
    {3550020, "The application name must be unique."},
    {3550021, "The category name must be unique within an application."},
    {3550022, "The tab name must be unique within a category."},
    {3550023, "The preference name and title are identical."},
    {3550024, "The data type does not support the specified UI widgets."},
    {3550025, "The preferences file does not have a valid root node."},
    {3550026, "The preference type is incompatible with the specified user interface widget."},
    {3550027, "An integer widget must have integer type and (optional) range data."},
    {3550028, "An integer scale widget must have integer type and upper and lower bound data."},
    {3550029, "A real widget must have real type and (optional) range data."},
    {3550030, "A real scale widget must have real type and upper and lower bound data."},
    {3550031, "A string widget must have string type."},
    {3550032, "An option menu widget must have enum data."},
    {3550033, "A radio box widget must have enum data."},
    {3550034, "A color widget must have integer type."},
    {3550035, "A file selection widget must have string type."},
    {3550036, "A directory selection widget must have string type."},
    {3550037,
     "A toggle widget must have an upper and lower bound.\nThe OFF value must be equal to one of "
     "the bounds."},
    {3550038, "A preference must have a title."},
    {3550039, "The preference title must be unique within a tab."},
    {3550040, "The value entered must be valid color."},
    {3550041, "Option menus must have a unique set of options."},
    {3550042,
     "A color + option menu widget must have integer type and color data with at least one enum "
     "element"},
    {3550043,
     "A color + toggle widget must have integer type and color data with at one and only one "
     "enum element"},
    {3550045, "An option value is locked at a higher level"},
    {3550046, "An option value is not set at the specified level"},
    {3550047, "Unable to change option values at the specified level"},
    {0, nullptr},
};

void VERU_init_errors() {
  ERROR_register_decoder_fn(FIRST_CODE, BLOCK_SIZE, ERROR_decode_in_table, VERU_ERROR_TABLE);
}

bool VERU_is_veru_error(int code) {
  return code >= FIRST_CODE && code <= LAST_CODE;
}
