// The XML checks lean on how pugixml 1.13 lays out its in-place parse: names, values and text
// stay where the source had them, in source order. A newer release may move them, and the checks
// would then report wrong places or miss faults.
#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <string>

TEST(Pugixml, IsTheReleaseTheXmlChecksWereWrittenFor) {
  EXPECT_EQ(PUGIXML_VERSION, 1130)
      << "host/kvxml_checks.cpp reads pugixml's parse buffer as release 1.13 lays it out; check "
         "that layout (the test below) on this release before changing the pinned version in "
         "CMakeLists.txt";
}

TEST(Pugixml, LeavesNamesValuesAndTextWhereTheSourceHadThem) {
  const std::string source =
      "<?xml version=\"1.0\"?><a x=\"1\" yy='two'>body<![CDATA[raw]]><b/></a>";
  std::string text = source;
  pugi::xml_document document;
  ASSERT_TRUE(document.load_buffer_inplace(text.data(), text.size(),
                                           pugi::parse_default | pugi::parse_declaration));
  const char* buffer = text.data();
  auto at = [&](const char* place) { return static_cast<std::ptrdiff_t>(place - buffer); };
  auto where = [&](const char* part) { return static_cast<std::ptrdiff_t>(source.find(part)); };
  const pugi::xml_node declaration = document.first_child();
  const pugi::xml_node a = document.child("a");
  EXPECT_EQ(at(declaration.name()), 2);
  EXPECT_EQ(declaration.offset_debug(), 2);
  EXPECT_EQ(at(a.name()), where("a x"));
  EXPECT_EQ(at(a.attribute("x").name()), where("x="));
  EXPECT_EQ(at(a.attribute("x").value()), where("1\""));
  EXPECT_EQ(at(a.attribute("yy").name()), where("yy="));
  EXPECT_EQ(at(a.attribute("yy").value()), where("two"));
  EXPECT_EQ(at(a.first_child().value()), where("body"));
  EXPECT_EQ(at(a.first_child().next_sibling().value()), where("raw"));
  EXPECT_EQ(at(a.child("b").name()), where("b/>"));
}
