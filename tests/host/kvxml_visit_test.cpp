// XML document service: a reader that parses with a visitor is shown the document element and
// everything inside it once, in document order, with what it would otherwise ask of each node;
// the parse refuses what parseFile refuses, with the same error text.
#include <string>
#include <vector>

#include "test_support.h"
#include "xml_document.h"

namespace {

const int MARKUP = XERCES_DOM_PARSE_DROP_BLANK_TEXT | XERCES_DOM_PARSE_KEEP_MARKUP;

// Each visit as "depth kind name-or-value [attributes]", checked against what the DOM gives for the
// same node.
void record(void* seen, const XERCES_DOM_visit_s* visit) {
  auto* lines = static_cast<std::vector<std::string>*>(seen);
  std::string line = std::to_string(visit->depth) + " ";
  EXPECT_EQ(visit->type, type(visit->node));
  if (visit->type == XERCES_DOM_ELEMENT_NODE) {
    EXPECT_EQ(visit->name, name(visit->node));
    EXPECT_EQ(visit->value, nullptr);
    line += "<" + std::string(visit->name);
    for (int i = 0; i < visit->attribute_count; ++i) {
      EXPECT_EQ(or_null(attribute(visit->node, visit->attribute_names[i])),
                visit->attribute_values[i]);
      line += " " + std::string(visit->attribute_names[i]) + "=" + visit->attribute_values[i];
    }
    line += ">";
  } else {
    EXPECT_EQ(visit->name, nullptr);
    EXPECT_EQ(visit->value, value(visit->node));
    line += std::to_string(visit->type) + ":" + visit->value;
  }
  lines->push_back(line);
}

int parse_visiting(const Document& document, const std::string& path,
                   std::vector<std::string>* seen) {
  const int status = pvtbl_kvxml->XERCES_DOM_loadFile(*document, path.c_str());
  if (status != 0) return status;
  return pvtbl_kvxml->XERCES_DOM_parseLoadedVisiting(*document, MARKUP, record, seen);
}

}  // namespace

TEST(XmlVisit, EveryNodeOfTheDocumentElementOnceInDocumentOrder) {
  TempDir dir;
  std::string many = "<m";
  std::vector<std::string> many_seen{"1 <m"};
  for (int i = 0; i < 20; ++i) {
    many += " a" + std::to_string(i) + "='" + std::to_string(i) + "'";
    many_seen.back() += " a" + std::to_string(i) + "=" + std::to_string(i);
  }
  many += "/>";
  many_seen.back() += ">";
  write_file(dir / "a.xml",
             "<?xml version='1.0'?>\n<!-- before -->\n<!DOCTYPE r>\n"
             "<r x='1' y='&lt;&amp;'>\n"
             "  <!-- c -->\n  <a>text<b k='v'><![CDATA[<d>]]></b>tail</a>\n"
             "  <?pi data?>\n  " +
                 many + "\n</r>\n<!-- after -->\n");
  Document document;
  std::vector<std::string> seen;
  ASSERT_EQ(parse_visiting(document, dir / "a.xml", &seen), 0) << document.error();
  std::vector<std::string> expected{"0 <r x=1 y=<&>", "1 8: c ", "1 <a>",    "2 3:text",
                                    "2 <b k=v>",      "3 4:<d>", "2 3:tail", "1 7:data"};
  expected.insert(expected.end(), many_seen.begin(), many_seen.end());
  EXPECT_EQ(seen, expected);
}

TEST(XmlVisit, RefusesWhatParseFileRefuses) {
  const char* const refused[] = {
      "<r><a x='1' x='2'/><b/></r>",  // an element's fault, midway
      "<r><a/><b v='a<b'/></r>",      // a '<' in a value
      "<r><a/>&nope;<b/></r>",        // a reference, found apart from the walk
      "<r><a/></r><r/>",              // two roots
      "<r><a></r>",                   // the parse's own fault
      "<r>\x01</r>",                  // a character XML does not allow
  };
  TempDir dir;
  for (const char* text : refused) {
    SCOPED_TRACE(text);
    write_file(dir / "bad.xml", text);
    Document visited;
    std::vector<std::string> seen;
    EXPECT_NE(parse_visiting(visited, dir / "bad.xml", &seen), 0);
    Document parsed;
    EXPECT_NE(parsed.parse(dir / "bad.xml", MARKUP), 0);
    EXPECT_EQ(visited.error(), parsed.error());
  }
}
