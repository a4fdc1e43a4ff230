// The error table as the host sees it through its decoder: every code of the library decodes to
// a message, no other code does, and which codes belong to the library.
#include "test_support.h"

namespace {

// The first code with a row; the block's own start has none.
constexpr int FIRST_CODE = VERU_ERROR_BLOCK_START + 1;
constexpr int LAST_CODE = VERU_ERROR_LAST;
constexpr int LAST_RAISED_CODE = VERU_ERROR_LAST_RAISED;

}  // namespace

TEST(VeruErrors, EveryCodeOfTheBlockDecodesOnceRegistered) {
  EXPECT_EQ(ERROR_decode(VERU_ERROR_DEFINITION_FILE_LOAD), nullptr);
  VERU_init_errors();
  for (int code = FIRST_CODE; code <= LAST_CODE; ++code) {
    const char* message = ERROR_decode(code);
    ASSERT_NE(message, nullptr) << code;
    EXPECT_NE(*message, '\0') << code;
  }
  // Codes of the block without a row, and codes outside it, have no message.
  for (int code : {3550000, 3550053, 3554999, 3549999, 3555000}) {
    EXPECT_EQ(ERROR_decode(code), nullptr) << code;
  }
  // The host prints the messages verbatim, one of them over two lines.
  EXPECT_STREQ(ERROR_decode(VERU_ERROR_DEFINITION_FILE_LOAD),
               "Unable to load preferences definition file.");
  EXPECT_STREQ(ERROR_decode(VERU_ERROR_LEVEL_CHANGED_ON_DISK),
               "The preferences values file changed on disk since it was read; reload first.");
  EXPECT_STREQ(ERROR_decode(VERU_ERROR_BAD_TOGGLE_WIDGET),
               "A toggle widget must have an upper and lower bound.\n"
               "The OFF value must be equal to one of the bounds.");
}

// The codes that raises carry; the codes only returned after them are not among them.
TEST(VeruErrors, LibraryCodesAreRecognised) {
  for (int code = FIRST_CODE; code <= LAST_RAISED_CODE; ++code) {
    EXPECT_TRUE(VERU_is_veru_error(code));
  }
  EXPECT_EQ(LAST_RAISED_CODE, 3550047);
  EXPECT_TRUE(VERU_is_veru_error(3550000));
  EXPECT_FALSE(VERU_is_veru_error(3549999));
  for (int code = LAST_RAISED_CODE + 1; code <= LAST_CODE; ++code) {
    EXPECT_FALSE(VERU_is_veru_error(code));
  }
  EXPECT_FALSE(VERU_is_veru_error(3554999));
  EXPECT_FALSE(VERU_is_veru_error(ERROR_INTERNAL_CODE));
}
