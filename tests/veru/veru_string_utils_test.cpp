// String utilities: the one-string encoding of string lists (encode, split, flatten) and the two
// forms of environment-variable references (${NAME} and %NAME%).
#include "test_support.h"

#include <string>
#include <vector>

namespace {

class VeruStringUtils : public HostDefaults {};

using Items = std::vector<std::string>;

// The string, released here; "(null)" for a null result.
std::string take(char* text) {
  std::string result = text ? text : "(null)";
  SM_free(text);
  return result;
}

std::string encode(const std::vector<const char*>& items) {
  return take(VERU_encode_string_list(static_cast<int>(items.size()), items.data()));
}

// The items of an encoded string; the count returned must always be the number of entries
// before the list's null entry, since callers use either.
Items split(const char* text) {
  char** list = nullptr;
  const int count = VERU_string_breakup_lines_separated_by_slash(text, &list);
  Items items;
  if (!list) {
    ADD_FAILURE() << "no list for " << text;
    return items;
  }
  for (char** entry = list; *entry; ++entry) {
    items.push_back(*entry);
    SM_free(*entry);
  }
  SM_free(list);
  EXPECT_EQ(count, static_cast<int>(items.size())) << "count for " << text;
  return items;
}

std::string flatten(const char* text) {
  return take(VERU__remove_quotes_and_backslash(text));
}

std::string add_percents(const char* text) {
  return take(VERU_add_percent_chars_to_string(text));
}

std::string remove_percents(const char* text) {
  return take(VERU_remove_percent_chars_from_string(text));
}

}  // namespace

TEST_F(VeruStringUtils, EncodeQuotesTwoOrMoreItems) {
  EXPECT_EQ(encode({"a"}), "a");
  EXPECT_EQ(encode({"a", ""}), R"("a"\"")");
  EXPECT_EQ(encode({"a", "b", "c"}), R"("a"\"b"\"c")");
  EXPECT_EQ(encode({""}), "");
  // Nothing inside an item is escaped.
  EXPECT_EQ(encode({"say \"hi\""}), "say \"hi\"");
  EXPECT_EQ(encode({"C:\\temp", "$HOME/a b"}), R"("C:\temp"\"$HOME/a b")");
  EXPECT_EQ(encode({}), "(null)");
  const char* one[] = {"a"};
  EXPECT_EQ(VERU_encode_string_list(-1, one), nullptr);
}

TEST_F(VeruStringUtils, SplitGivesTheItemsBack) {
  EXPECT_EQ(split(R"("a"\"b"\"c")"), (Items{"a", "b", "c"}));
  EXPECT_EQ(split(R"(""\"b")"), (Items{"", "b"}));
  EXPECT_EQ(split(R"("abc")"), (Items{"abc"}));
  EXPECT_EQ(split("abc"), (Items{"abc"}));
  EXPECT_EQ(split(""), (Items{}));
  // A last piece without its closing quote keeps its opening one.
  EXPECT_EQ(split(R"("a"\"b)"), (Items{"a", "\"b"}));
  // One character is one item; a lone double quote is an empty item.
  EXPECT_EQ(split("x"), (Items{"x"}));
  EXPECT_EQ(split("\""), (Items{""}));
  EXPECT_EQ(split(R"("a"\")"), (Items{"a", ""}));
  EXPECT_EQ(split("\"\""), (Items{""}));
  // An item that holds the separator is split there when decoded.
  EXPECT_EQ(split(encode({"x\"\\\"y", "z"}).c_str()), (Items{"x", "y", "z"}));

  const std::vector<const char*> lists[] = {
      {"", "middle", ""},
      {"C:\\dir\\", "say \"hi\"", "50%", "${HOME}/x"},
      {"a b", "c\td", "\xC3\xA9t\xC3\xA9"},
  };
  for (const auto& list : lists) {
    const std::string encoded = encode(list);
    EXPECT_EQ(split(encoded.c_str()), Items(list.begin(), list.end())) << encoded;
  }
}

TEST_F(VeruStringUtils, OverlappingSeparatorsEachEndAnItem) {
  // After a match the search goes on from the match's second character, so the quote between
  // two backslashes closes one separator and opens the next: an empty item lies between them.
  EXPECT_EQ(split(R"("a"\"\"b")"), (Items{"a", "", "b"}));
  EXPECT_EQ(split(R"("a"\"\"\"b")"), (Items{"a", "", "", "b"}));
  EXPECT_EQ(split(R"("\"\")"), (Items{"", "", ""}));
  EXPECT_EQ(flatten(R"("a"\"\"b")"), "a  b");
}

TEST_F(VeruStringUtils, SplitAssertsQuotedItemsWhileChecking) {
  MACH__checking_level = 1;
  std::string what;
  EXPECT_EQ(raised_code([] { split(R"(a"\"b")"); }, &what), ERROR_ASSERTION_CODE);
  EXPECT_NE(what.find("*substr_start == '\"'"), std::string::npos) << what;
  // Well-formed lists and strings without separators pass.
  EXPECT_EQ(split(R"("a"\"b")"), (Items{"a", "b"}));
  EXPECT_EQ(split("abc"), (Items{"abc"}));
  MACH__checking_level = 0;
  // Without checking the same string is split as it stands; a first character that is not a
  // quote goes whole, also when it takes more than one byte.
  EXPECT_EQ(split(R"(a"\"b")"), (Items{"", "b"}));
  EXPECT_EQ(split("\xD1\x8E\"\\\"b\""), (Items{"", "b"}));
  EXPECT_EQ(split("\xD1\x8Ex\"\\\"b\""), (Items{"x", "b"}));
}

TEST_F(VeruStringUtils, FlattenJoinsItemsWithSpaces) {
  EXPECT_EQ(flatten(R"("a"\"b"\"c")"), "a b c");
  EXPECT_EQ(flatten("plain text"), "plain text");
  EXPECT_EQ(flatten(""), "");
  EXPECT_EQ(flatten(R"("quoted")"), "quoted");
  EXPECT_EQ(flatten(R"(""\"b")"), " b");
  EXPECT_EQ(flatten(R"("a"\")"), "a ");
  EXPECT_EQ(flatten("\""), "");
  EXPECT_EQ(flatten(R"("a"\"b)"), "a \"b");
  EXPECT_EQ(VERU__remove_quotes_and_backslash(nullptr), nullptr);
}

TEST_F(VeruStringUtils, PercentCharsReplaceBraceReferences) {
  EXPECT_EQ(add_percents("${A}/x"), "%A%/x");
  EXPECT_EQ(add_percents("${A}${B}"), "%A%%B%");
  EXPECT_EQ(add_percents("no references"), "no references");
  EXPECT_EQ(add_percents(""), "");
  EXPECT_EQ(add_percents("${}"), "%%");
  // Malformed references leave the string as it was.
  EXPECT_EQ(add_percents("a$b"), "a$b");
  EXPECT_EQ(add_percents("a}b"), "a}b");
  EXPECT_EQ(add_percents("${A}}"), "${A}}");
  EXPECT_EQ(add_percents("${A}/$x"), "${A}/$x");
  // An opening without its closing brace is accepted.
  EXPECT_EQ(add_percents("${A"), "%A");
  EXPECT_EQ(VERU_add_percent_chars_to_string(nullptr), nullptr);

  EXPECT_EQ(remove_percents("%A%/x"), "${A}/x");
  EXPECT_EQ(remove_percents("%A%%B%"), "${A}${B}");
  EXPECT_EQ(remove_percents("50%"), "50${");
  EXPECT_EQ(remove_percents("no references"), "no references");
  EXPECT_EQ(remove_percents(""), "");
  EXPECT_EQ(VERU_remove_percent_chars_from_string(nullptr), nullptr);

  // Far more references than the 50 extra characters a fixed buffer would allow.
  std::string many_in, many_out;
  for (int i = 0; i < 120; ++i) {
    many_in += "%V" + std::to_string(i) + "%/";
    many_out += "${V" + std::to_string(i) + "}/";
  }
  EXPECT_EQ(remove_percents(many_in.c_str()), many_out);
  EXPECT_EQ(add_percents(many_out.c_str()), many_in);
  EXPECT_EQ(remove_percents(std::string(101, '%').c_str()), [] {
    std::string expected;
    for (int i = 0; i < 50; ++i) expected += "${}";
    return expected + "${";
  }());
}
