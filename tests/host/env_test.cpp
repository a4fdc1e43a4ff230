// Environment: variables, references to them in names, and the host's version record.
#include <cstdlib>
#include <string>

#include "test_support.h"

namespace {

// The expansion of text, or "error <code>" (the result must then be null).
std::string expanded(const char* text) {
  char* result = reinterpret_cast<char*>(1);
  int code = ENV_expand_name(text, &result);
  if (code != 0) return result ? "error with a result" : "error";
  std::string copy = result ? result : "(null)";
  SM_free(result);
  return copy;
}

}  // namespace

TEST(Environment, TranslateAndExpand) {
  setenv("KVRN_TEST_DIR", "/opt/kvrn", 1);
  setenv("KVRN_TEST_EMPTY", "", 1);
  unsetenv("KVRN_TEST_UNSET");

  char* value = ENV_translate_variable("KVRN_TEST_DIR");
  ASSERT_NE(value, nullptr);
  EXPECT_STREQ(value, "/opt/kvrn");
  setenv("KVRN_TEST_DIR", "/somewhere/else", 1);
  EXPECT_STREQ(value, "/opt/kvrn");  // a copy, not the environment's own string
  SM_free(value);
  setenv("KVRN_TEST_DIR", "/opt/kvrn", 1);
  EXPECT_EQ(ENV_translate_variable("KVRN_TEST_UNSET"), nullptr);
  EXPECT_EQ(ENV_translate_variable(""), nullptr);
  EXPECT_EQ(ENV_translate_variable(nullptr), nullptr);
  char* empty = ENV_translate_variable("KVRN_TEST_EMPTY");
  EXPECT_STREQ(empty, "");
  SM_free(empty);

  EXPECT_EQ(expanded("${KVRN_TEST_DIR}/prefs"), "/opt/kvrn/prefs");
  EXPECT_EQ(expanded("$KVRN_TEST_DIR/prefs"), "/opt/kvrn/prefs");
  EXPECT_EQ(expanded("a${KVRN_TEST_DIR}b$KVRN_TEST_DIR.c"), "a/opt/kvrnb/opt/kvrn.c");
  EXPECT_EQ(expanded("x${KVRN_TEST_EMPTY}y"), "xy");
  EXPECT_EQ(expanded("no references"), "no references");
  EXPECT_EQ(expanded(""), "");
  EXPECT_EQ(expanded("${KVRN_TEST_UNSET}/x"), "error");
  EXPECT_EQ(expanded("$KVRN_TEST_UNSET"), "error");
  EXPECT_EQ(expanded("${KVRN_TEST_DIR"), "error");
  EXPECT_EQ(expanded("${}"), "error");
  EXPECT_EQ(expanded("cost $"), "error");
  EXPECT_EQ(expanded("$/x"), "error");
  EXPECT_EQ(expanded(nullptr), "error");
  EXPECT_NE(ENV_expand_name("x", nullptr), 0);
}

TEST(Environment, Version) {
  ENV_version_s version{};
  ENV_ask_version(&version);
  ASSERT_NE(version.product_name, nullptr);
  EXPECT_STREQ(version.product_name, "Kvrn");
  EXPECT_EQ(version.numbers[0], 1);
  ENV_ask_version(nullptr);
}
