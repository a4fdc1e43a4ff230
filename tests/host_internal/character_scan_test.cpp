// Every form of the character check (bytewise, SSE2, AVX2) gives the same answer, whichever one
// the library picks on this processor: each form the processor runs is tried on every case.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "kvxml_checks.h"

namespace {

using kvxml::character_scan;

// The forms this processor runs; a failure names a form by its number (0 bytewise, 1 SSE2, 2 AVX2).
std::vector<character_scan> runnable_forms() {
  std::vector<character_scan> forms;
  for (character_scan form :
       {character_scan::bytewise, character_scan::sse2, character_scan::avx2}) {
    if (kvxml::can_run(form)) forms.push_back(form);
  }
  return forms;
}

// What may stand among plain text: allowed characters of each UTF-8 length, and what XML or
// UTF-8 forbids.
const std::vector<std::string> ALLOWED = {
    "\t", "\n", "\r", "\x7f", "\xc3\xa9", "\xe2\x82\xac", "\xef\xbf\xbd", "\xf0\x9f\x98\x80"};
const std::vector<std::string> FORBIDDEN = {std::string(1, '\0'),
                                            "\x01",
                                            "\x08",
                                            "\x0b",
                                            "\x0c",
                                            "\x0e",
                                            "\x1f",
                                            "\x80",              // a continuation byte alone
                                            "\xc0\xaf",          // an overlong form
                                            "\xed\xa0\x80",      // a surrogate
                                            "\xef\xbf\xbe",      // U+FFFE
                                            "\xf4\x90\x80\x80",  // beyond U+10FFFF
                                            "\xe2\x82"};         // cut short

std::string plain(std::size_t size) {
  std::string text;
  for (std::size_t i = 0; i < size; ++i) text += static_cast<char>('a' + i % 26);
  return text;
}

}  // namespace

TEST(CharacterScan, EveryFormFindsAForbiddenCharacterWhereverItStands) {
  ASSERT_GE(runnable_forms().size(), 2u) << "this processor runs no vector form";
  // Every place of the first, second and third runs of 64 bytes, and the tail after them.
  for (const std::string& bad : FORBIDDEN) {
    for (std::size_t at = 0; at < 200; ++at) {
      const std::string text = plain(at) + bad + plain(230 - at);
      for (character_scan form : runnable_forms()) {
        ASSERT_EQ(kvxml::first_non_xml_character(text.data(), text.size(), form), at)
            << "form " << static_cast<int>(form) << ", byte "
            << static_cast<int>(static_cast<unsigned char>(bad[0])) << " at " << at;
      }
    }
  }
  for (const std::string& good : ALLOWED) {
    const std::string text = plain(100) + good + plain(100);
    for (character_scan form : runnable_forms()) {
      EXPECT_EQ(kvxml::first_non_xml_character(text.data(), text.size(), form), text.size())
          << "form " << static_cast<int>(form);
    }
  }
}

TEST(CharacterScan, AllFormsAgreeOnRandomText) {
  std::mt19937 random(20261207);
  for (int round = 0; round < 20000; ++round) {
    // Mostly plain text, so that the vector forms skip runs before they meet something else.
    std::string text;
    const std::size_t pieces = random() % 40;
    for (std::size_t i = 0; i < pieces; ++i) {
      const unsigned kind = random() % 100;
      if (kind < 80) {
        text += plain(random() % 70);
      } else if (kind < 92) {
        text += ALLOWED[random() % ALLOWED.size()];
      } else if (kind < 96) {
        text += FORBIDDEN[random() % FORBIDDEN.size()];
      } else {
        text += static_cast<char>(random() % 256);
      }
    }
    const std::size_t expected =
        kvxml::first_non_xml_character(text.data(), text.size(), character_scan::bytewise);
    for (character_scan form : runnable_forms()) {
      ASSERT_EQ(kvxml::first_non_xml_character(text.data(), text.size(), form), expected)
          << "form " << static_cast<int>(form) << " in round " << round;
    }
    ASSERT_EQ(kvxml::first_non_xml_character(text.data(), text.size()), expected);
  }
}
