// The error table: its rows in their stored order, the messages the host decodes from it, and
// which codes belong to the library.
#include "test_support.h"

#include "veru_errors.h"

namespace {

// The messages users see; the host's dialogs and logs print them verbatim.
const ERROR_table_row_s EXPECTED[] = {
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
     "A toggle widget must have an upper and lower bound.\n"
     "The OFF value must be equal to one of the bounds."},
    {3550038, "A preference must have a title."},
    {3550039, "The preference title must be unique within a tab."},
    {3550040, "The value entered must be valid color."},
    {3550041, "Option menus must have a unique set of options."},
    {3550042,
     "A color + option menu widget must have integer type and color data with at least one "
     "enum element"},
    {3550043,
     "A color + toggle widget must have integer type and color data with at one and only one "
     "enum element"},
    {3550045, "An option value is locked at a higher level"},
    {3550046, "An option value is not set at the specified level"},
    {3550047, "Unable to change option values at the specified level"},
};
constexpr int ROWS = sizeof EXPECTED / sizeof EXPECTED[0];

}  // namespace

TEST(VeruErrors, TableHoldsEveryRowInItsStoredOrder) {
  // Row by row, so 3550008 must stand before 3550007 and 3550044 after 3550009.
  for (int i = 0; i < ROWS; ++i) {
    ASSERT_EQ(VERU_ERROR_TABLE[i].code, EXPECTED[i].code) << "row " << i;
    EXPECT_STREQ(VERU_ERROR_TABLE[i].message, EXPECTED[i].message) << EXPECTED[i].code;
  }
  EXPECT_EQ(VERU_ERROR_TABLE[ROWS].code, 0);
  EXPECT_EQ(VERU_ERROR_TABLE[ROWS].message, nullptr);
}

TEST(VeruErrors, RegisteredTableDecodesEveryCode) {
  EXPECT_EQ(ERROR_decode(3550003), nullptr);
  VERU_init_errors();
  for (const ERROR_table_row_s& row : EXPECTED)
    EXPECT_STREQ(ERROR_decode(row.code), row.message) << row.code;
  // Codes of the block without a row, and codes outside it, have no message.
  for (int code : {3550000, 3550048, 3554999, 3549999, 3555000})
    EXPECT_EQ(ERROR_decode(code), nullptr) << code;
}

TEST(VeruErrors, LibraryCodesAreRecognised) {
  for (const ERROR_table_row_s& row : EXPECTED)
    EXPECT_TRUE(VERU_is_veru_error(row.code)) << row.code;
  EXPECT_TRUE(VERU_is_veru_error(3550000));
  EXPECT_FALSE(VERU_is_veru_error(3549999));
  EXPECT_FALSE(VERU_is_veru_error(3550048));
  EXPECT_FALSE(VERU_is_veru_error(3554999));
  EXPECT_FALSE(VERU_is_veru_error(ERROR_INTERNAL_CODE));
}
