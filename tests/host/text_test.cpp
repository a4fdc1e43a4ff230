// International text: copies, null texts, stripping, UTF-8 kept byte for byte.
#include <string>

#include "test_support.h"

TEST(Text, CreateCopyAndConvert) {
  EXPECT_EQ(TEXT_create_string(nullptr), nullptr);
  EXPECT_EQ(TEXT_copy(nullptr), nullptr);
  TEXT_free(nullptr);
  char* empty = TEXT_to_utf8(nullptr);
  EXPECT_STREQ(empty, "");
  SM_free(empty);
  EXPECT_STREQ(TEXT_ask_utf8(nullptr), "");

  const std::string utf8 =
      "Gr\xC3\xB6\xC3\x9F"
      "e \xE2\x82\xAC \xF0\x9F\x98\x80";
  TEXT_s* text = TEXT_create_string(utf8.c_str());
  TEXT_s* copy = TEXT_copy(text);
  ASSERT_NE(copy, text);
  TEXT_free(text);
  char* bytes = TEXT_to_utf8(copy);
  EXPECT_EQ(std::string(bytes), utf8);
  SM_free(bytes);
  EXPECT_EQ(or_null(TEXT_ask_utf8(copy)), utf8);
  // In the C locale narrow strings are taken as UTF-8 both ways, unchanged.
  char* narrow = TEXT_to_locale(copy);
  EXPECT_EQ(std::string(narrow), utf8);
  TEXT_s* from_locale = TEXT_create_from_locale(narrow);
  EXPECT_EQ(or_null(TEXT_ask_utf8(from_locale)), utf8);
  SM_free(narrow);
  TEXT_free(from_locale);
  TEXT_free(copy);
}

TEST(Text, NullTextsAndStripping) {
  EXPECT_TRUE(TEXT_is_null_text(nullptr));
  TEXT_s* empty = TEXT_create_string("");
  EXPECT_TRUE(TEXT_is_null_text(empty));
  TEXT_strip_spaces(empty);
  EXPECT_STREQ(TEXT_ask_utf8(empty), "");
  TEXT_free(empty);
  TEXT_strip_spaces(nullptr);

  TEXT_s* padded = TEXT_create_string(" \t\n mm \xC3\xA9 x\r\n ");
  EXPECT_FALSE(TEXT_is_null_text(padded));
  TEXT_strip_spaces(padded);
  EXPECT_STREQ(TEXT_ask_utf8(padded), "mm \xC3\xA9 x");
  TEXT_free(padded);

  TEXT_s* blank = TEXT_create_string(" \t \n ");
  TEXT_strip_spaces(blank);
  EXPECT_STREQ(TEXT_ask_utf8(blank), "");
  EXPECT_TRUE(TEXT_is_null_text(blank));
  TEXT_free(blank);

  TEXT_s* inner = TEXT_create_string("a  b");
  TEXT_strip_spaces(inner);
  EXPECT_STREQ(TEXT_ask_utf8(inner), "a  b");
  TEXT_free(inner);
}
