// Error service: raising and re-throwing, the log and its sink, message decoders.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "test_support.h"

TEST(Errors, RaiseFormatsAndThrows) {
  std::string what;
  EXPECT_EQ(
      raised_code([] { ERROR_raise("a.cpp", 12, 3550001, "no %s named %d", "pref", 7); }, &what),
      3550001);
  EXPECT_EQ(what, "no pref named 7");
  try {
    ERROR_raise("a.cpp", 12, 42, "%s", "text");
    FAIL() << "ERROR_raise returned";
  } catch (const std::exception& error) {  // catchable as a standard exception too
    EXPECT_STREQ(error.what(), "text");
  }

  // The text of ERROR_exception is taken as it is, never as a format.
  EXPECT_EQ(raised_code([] { ERROR_exception("b.cpp", 1, 3550010, "100% %s %d"); }, &what),
            3550010);
  EXPECT_EQ(what, "100% %s %d");
  EXPECT_EQ(raised_code([] { ERROR_exception("b.cpp", 1, 5, nullptr); }, &what), 5);
  EXPECT_EQ(what, "");

  EXPECT_EQ(raised_code([] { ERROR_internal("c.cpp", 3, "bad %d", 1); }, &what),
            ERROR_INTERNAL_CODE);
  EXPECT_EQ(what, "bad 1");
  EXPECT_EQ(raised_code([] { ERROR_assertion_failed("c.cpp", 4, "x > %d", 0); }, &what),
            ERROR_ASSERTION_CODE);
  EXPECT_EQ(what, "x > 0");
}

TEST(Errors, ReThrowKeepsCodeTextAndLocations) {
  try {
    try {
      ERROR_raise("inner.cpp", 10, 3550003, "first %s", "failure");
    } catch (TQS::Error::Exception& error) {
      error.noteLocation("outer.cpp", 20, 1);
      error.reThrow();
    }
    FAIL() << "reThrow returned";
  } catch (const TQS::Error::Exception& error) {
    EXPECT_EQ(error.askCode(), 3550003);
    EXPECT_STREQ(error.what(), "first failure");
    ASSERT_EQ(error.askLocations().size(), 2u);
    EXPECT_EQ(error.askLocations()[0].file, "inner.cpp");
    EXPECT_EQ(error.askLocations()[0].line, 10);
    EXPECT_EQ(error.askLocations()[1].file, "outer.cpp");
    EXPECT_EQ(error.askLocations()[1].line, 20);
    EXPECT_EQ(error.askLocations()[1].flags, 1);
  }
}

TEST(Errors, LogGoesToTheSinkExactlyAsFormatted) {
  {
    LogCapture log;
    ERROR_lprintf("\n%s\n", "parse failed");
    ERROR_lprintf("%d%%", 50);
    ERROR_lprintf("%s", "");
    EXPECT_EQ(log.text(), "\nparse failed\n50%");
  }
  // Without a sink the log is standard error again.
  ERROR_set_log_sink(nullptr, nullptr);
  std::fflush(stderr);
  TempDir dir;
  const std::string path = dir / "stderr.txt";
  const int saved = dup(STDERR_FILENO);
  ASSERT_NE(std::freopen(path.c_str(), "w", stderr), nullptr);
  ERROR_lprintf("to stderr %d\n", 1);
  std::fflush(stderr);
  dup2(saved, STDERR_FILENO);
  close(saved);
  EXPECT_EQ(read_file(path), "to stderr 1\n");
}

TEST(Errors, DecodersByBlock) {
  static const ERROR_table_row_s rows[] = {{900, "first"}, {902, "third"}, {0, nullptr}};
  static const ERROR_table_row_s other_rows[] = {{900, "replaced"}, {0, nullptr}};
  EXPECT_EQ(ERROR_decode(900), nullptr);
  ERROR_register_decoder_fn(900, 10, ERROR_decode_in_table, rows);
  EXPECT_STREQ(ERROR_decode(900), "first");
  EXPECT_STREQ(ERROR_decode(902), "third");
  EXPECT_EQ(ERROR_decode(901), nullptr);  // in the block, no row
  EXPECT_EQ(ERROR_decode(899), nullptr);  // outside every block
  EXPECT_EQ(ERROR_decode(910), nullptr);
  EXPECT_EQ(ERROR_decode(0), nullptr);
  EXPECT_EQ(ERROR_decode_in_table(900, nullptr), nullptr);

  ERROR_register_decoder_fn(900, 10, ERROR_decode_in_table, other_rows);
  EXPECT_STREQ(ERROR_decode(900), "replaced");
  EXPECT_EQ(ERROR_decode(902), nullptr);

  ERROR_register_decoder_fn(
      2000, 5, [](int code, const void*) { return code == 2004 ? "last" : "any"; }, nullptr);
  EXPECT_STREQ(ERROR_decode(2004), "last");
  EXPECT_STREQ(ERROR_decode(2000), "any");
  EXPECT_EQ(ERROR_decode(2005), nullptr);
  EXPECT_STREQ(ERROR_decode(900), "replaced");
}
