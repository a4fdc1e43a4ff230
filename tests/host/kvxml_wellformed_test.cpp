// XML document service: files that are not well-formed XML are refused with their position,
// references are decoded as XML decodes them, what is written reads back exactly, and what XML
// cannot hold is never written.
#include <cerrno>
#include <cstddef>
#include <set>
#include <string>

#include "test_support.h"
#include "xml_document.h"

namespace {

const int DROP = XERCES_DOM_PARSE_DROP_BLANK_TEXT;
const int KEEP_SOLE = XERCES_DOM_PARSE_DROP_BLANK_TEXT | XERCES_DOM_PARSE_KEEP_SOLE_BLANK_TEXT;

// The value of the element's first child, "(none)" when it has none.
std::string text_of(XERCES_DOM_node* element) {
  XERCES_DOM_node* child = first(element);
  return child ? value(child) : "(none)";
}

// The text as UTF-16LE with a byte order mark; the text is ASCII.
std::string utf16le(const std::string& text) {
  std::string wide = "\xFF\xFE";
  for (char c : text) {
    wide += c;
    wide += '\0';
  }
  return wide;
}

}  // namespace

TEST(XmlWellFormedness, RefusedWithTheirPosition) {
  struct refused_s {
    std::string text;
    const char* where;  // line:column
    const char* reason;
  };
  std::string many_attributes = "<a";
  for (int i = 0; i < 20; ++i) many_attributes += " a" + std::to_string(i) + "=\"\"";
  const std::string refused_twice = many_attributes + "\n a7=\"\"/>";
  const refused_s cases[] = {
      // Attributes.
      {"<a x=\"1\" x=\"2\"/>", "1:10", "attribute 'x' given twice"},
      {"<a\n  y=\"1\"\n  z=\"1\"\n  y=\"2\"/>", "4:3", "given twice"},
      {refused_twice, "2:2", "attribute 'a7' given twice"},
      {"<a x=\"a<b\"/>", "1:8", "'<' in an attribute value"},
      {"<a x=\"\r\n\r\n<\"/>", "3:1", "'<' in an attribute value"},
      {"<a w=\"1\" x=\"&amp;\" y=\"a<\"/>", "1:24", "'<' in an attribute value"},
      // A reference may stand for '<', a '<' of the text never does.
      {"<a x=\"&lt;\" y=\"b<c\"/>", "1:17", "'<' in an attribute value"},
      {"<a x=\"&amp;<\"/>", "1:12", "'<' in an attribute value"},
      {"<a x=\"&lt;\r\n<\"/>", "2:1", "'<' in an attribute value"},
      // Entities: only the five predefined ones, whatever a document type declaration says.
      {"<a>&foo;</a>", "1:4", "undefined entity 'foo'"},
      {"<!DOCTYPE a [\n<!ENTITY foo \"x\">\n]>\n<a>&foo;</a>", "4:4", "undefined entity"},
      {"<!DOCTYPE a SYSTEM \"http://example.invalid/a.dtd\">\n<a v=\"&ext;\"/>", "2:7",
       "undefined entity 'ext'"},
      {"<a>AT&amp;T &AMP;</a>", "1:13", "undefined entity"},
      {"<a>a & b</a>", "1:6", "'&' that does not begin a reference"},
      {"<a>&amp</a>", "1:4", "'&' that does not begin a reference"},
      {"<a>&;</a>", "1:4", "'&' that does not begin a reference"},
      // Comments, processing instructions, CDATA sections and the document type declaration may
      // hold any '&'; what follows them may not.
      {"<!-- & --><a>&x;</a>", "1:14", "undefined entity 'x'"},
      {"<?pi & ?><a v=\"&\"/>", "1:16", "'&' that does not begin a reference"},
      {"<a><![CDATA[&]]>&</a>", "1:17", "'&' that does not begin a reference"},
      {"<!DOCTYPE a [<!ENTITY e \"&f; & ]>\">]><a>&e;</a>", "1:41", "undefined entity 'e'"},
      // Character references to characters XML does not allow, and malformed ones.
      {"<a>x&#0;</a>", "1:5", "character reference to a character XML does not allow"},
      {"<a>&#x0;</a>", "1:4", "does not allow"},
      {"<a>&#1;</a>", "1:4", "does not allow"},
      {"<a>&#x1F;</a>", "1:4", "does not allow"},
      {"<a>&#xD800;</a>", "1:4", "does not allow"},
      {"<a>&#xDFFF;</a>", "1:4", "does not allow"},
      {"<a>&#xFFFE;</a>", "1:4", "does not allow"},
      {"<a>&#65535;</a>", "1:4", "does not allow"},
      {"<a>&#x110000;</a>", "1:4", "does not allow"},
      {"<a>&#99999999999999999999;</a>", "1:4", "does not allow"},
      {"<a v=\"ok&#x7;\"/>", "1:9", "does not allow"},
      {"<a>&#;</a>", "1:4", "malformed character reference"},
      {"<a>&#x;</a>", "1:4", "malformed character reference"},
      {"<a>&#65</a>", "1:4", "malformed character reference"},
      {"<a>&#X41;</a>", "1:4", "malformed character reference"},
      {"<a>&#-1;</a>", "1:4", "malformed character reference"},
      {"<a>&#x4G;</a>", "1:4", "malformed character reference"},
      // Literal characters: UTF-8 of characters XML allows, in names, values and text.
      {"<a>x\x01</a>", "1:5", "character XML does not allow"},
      {"<a>\n  x\xC3(</a>", "2:4", "not UTF-8"},
      {"<a v=\"\xED\xA0\x80\"/>", "1:7", "not UTF-8"},
      {"<a\n v\xF3\xF3=\"1\"/>", "2:3", "not UTF-8"},
      {"<a\xFF/>", "1:3", "not UTF-8"},
      // A character cut off by the end of the file.
      {"<a>x</a>\xE2", "1:9", "not UTF-8"},
      {"<a>x</a>\xF4\x8F", "1:9", "not UTF-8"},
      {"<a><b\xEF\xBF\xBE/></a>", "1:6", "character XML does not allow"},
      {"<a><![CDATA[\x1B]]></a>", "1:13", "character XML does not allow"},
      // Places count lines ended by CR LF, LF or CR alike.
      {"<a>x\r\ny\r\n&bad;</a>", "3:1", "undefined entity"},
      {"<a>\r\r  &bad;</a>", "3:3", "undefined entity"},
      {"<a>\n\r\n&bad;</a>", "3:1", "undefined entity"},
      // NUL anywhere.
      {std::string("<a/>\0junk", 9), "1:5", "NUL character"},
      {std::string("<a>x\0y</a>", 10), "1:5", "NUL character"},
      {std::string("<a\0/>", 5), "1:3", "NUL character"},
      {std::string("\n\n<a/>\n\0", 8), "4:1", "NUL character"},
      {utf16le(std::string("<a>x\0y</a>", 10)), "1:11", "NUL character"},
      {utf16le("<a>x") + std::string("\0\xDC", 2), "1:11", "not UTF-16LE text"},
      // Only comments, processing instructions and white space around the root element.
      {"<a/><b/>", "1:5", "more than one root element"},
      {"<a/>\n  text", "2:3", "text outside the root element"},
      {"<a/>&amp;", "1:5", "text outside the root element"},
      {"<a/><![CDATA[ ]]>", "1:5", "CDATA section outside the root element"},
      {"<a/>\n<!DOCTYPE a>", "2:11", "document type declaration after the root element"},
      {"<!DOCTYPE a>\n<!DOCTYPE a>\n<a/>", "2:11", "more than one document type declaration"},
      {"<a/><?xml version=\"1.0\"?>", "1:5", "XML declaration not at the start of the file"},
      {"\n<?xml version=\"1.0\"?><a/>", "2:1", "XML declaration not at the start of the file"},
  };
  TempDir dir;
  const std::string path = dir / "refused.dpx";
  Document doc;
  for (const refused_s& refused : cases) {
    write_file(path, refused.text);
    for (int mode : {0, DROP, KEEP_SOLE | XERCES_DOM_PARSE_KEEP_MARKUP}) {
      EXPECT_NE(doc.parse(path, mode), 0) << refused.text;
      EXPECT_EQ(doc.root(), nullptr);
      EXPECT_EQ(doc.error().rfind(path + ":" + refused.where + ": ", 0), 0u) << refused.text << "\n"
                                                                             << doc.error();
      EXPECT_NE(doc.error().find(refused.reason), std::string::npos) << doc.error();
    }
  }
}

TEST(XmlWellFormedness, ReferencesDecodedAsXmlDoes) {
  struct accepted_s {
    std::string text;
    const char* attribute;  // the root's attribute v; null when it has none
    const char* content;    // the value of the root's first child
  };
  std::string many_attributes = "<a";
  for (int i = 0; i < 40; ++i) many_attributes += " a" + std::to_string(i) + "=\"\"";
  const accepted_s cases[] = {
      {"<a v=\"&lt;&gt;&amp;&quot;&apos;\">&lt;&gt;&amp;&quot;&apos;</a>", "<>&\"'", "<>&\"'"},
      // White space in an attribute value becomes a space, a reference to it stays itself;
      // line ends in text become LF, a reference to CR stays CR.
      {"<a v=\"a\tb\nc\r\nd\re\">a\tb\r\nc\rd</a>", "a b c d e", "a\tb\nc\nd"},
      {"<a v=\"&#9;&#10;&#13;&#x20;\">&#9;&#10;&#13;&#x20;</a>", "\t\n\r ", "\t\n\r "},
      {"<a>&#13;\r\n&#x10FFFF;&#8364;&#x20ac;&#xE000;</a>", nullptr,
       "\r\n\xF4\x8F\xBF\xBF\xE2\x82\xAC\xE2\x82\xAC\xEE\x80\x80"},
      {"<a v=\"x&#60;y&#x3E;z\">&#38;amp;</a>", "x<y>z", "&amp;"},
      {"<a w=\"\r\n&amp;\" v=\"&lt;\r\n\" x=\"\r\n\"/>", "< ", "(none)"},
      // CDATA sections are not decoded.
      {"<a><![CDATA[&foo; &#0; <b>]]></a>", nullptr, "&foo; &#0; <b>"},
      // A document type declaration is skipped.
      {"<?xml version=\"1.0\"?>\n<!DOCTYPE a [\n<!ENTITY e \"x\">\n]>\n<a "
       "v=\"&amp;e;\">&amp;e;</a>",
       "&e;", "&e;"},
      {"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<a v=\"1\"/>", "1", "(none)"},
      {"<a v=\"1\"/>\n<!-- after -->\n<?pi data?>\n \t\r\n", "1", "(none)"},
      {"<a v=\"1\" V=\"2\" vv=\"3\" w=\"4\"/>", "1", "(none)"},
      {many_attributes + " v=\"x\"/>", "x", "(none)"},
      {utf16le("<?xml version=\"1.0\" encoding=\"UTF-16\"?><a v=\"&#65;\">x&amp;y</a>"), "A",
       "x&y"},
      {"<a v=\"&lt;&#60;&#x3C;\" w=\"&lt;\">&lt;</a>", "<<<", "<"},
      {"<!-- & &x; --><?pi & ?><!DOCTYPE a [<!ENTITY e \"&f; &\">]><a "
       "v=\"&amp;\"><![CDATA[&]]></a>",
       "&", "&"},
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a v=\"caf\xE9\">\xE9t\xE9</a>",
       "caf\xC3\xA9", "\xC3\xA9t\xC3\xA9"},
  };
  TempDir dir;
  const std::string path = dir / "accepted.dpx";
  Document doc;
  for (const accepted_s& accepted : cases) {
    write_file(path, accepted.text);
    ASSERT_EQ(doc.parse(path), 0) << accepted.text << "\n" << doc.error();
    EXPECT_EQ(first(doc.document()), doc.root()) << accepted.text;  // no declarations kept
    const char* v = attribute(doc.root(), "v");
    EXPECT_EQ(v ? std::string(v) : "(null)", accepted.attribute ? accepted.attribute : "(null)")
        << accepted.text;
    EXPECT_EQ(text_of(doc.root()), accepted.content) << accepted.text;
  }
}

TEST(XmlWellFormedness, ChecksTakeTimeInProportionToTheFile) {
  TempDir dir;
  const std::string path = dir / "large.dpx";
  Document doc;
  // Many '&' in one comment, each of which is no reference.
  write_file(path, "<!--" + std::string(200000, '&') + "--><a/>");
  EXPECT_EQ(doc.parse(path), 0) << doc.error();
  // An element with very many attributes, the last one given twice.
  std::string tag = "<a";
  for (int i = 0; i < 100000; ++i) tag += " a" + std::to_string(i) + "=\"\"";
  write_file(path, tag + "/>");
  EXPECT_EQ(doc.parse(path), 0) << doc.error();
  write_file(path, tag + " a99999=\"\"/>");
  EXPECT_NE(doc.parse(path), 0);
  EXPECT_NE(doc.error().find("attribute 'a99999' given twice"), std::string::npos) << doc.error();
}

TEST(XmlWellFormedness, BlankTextKeptWhereItIsTheWholeContent) {
  TempDir dir;
  const std::string path = dir / "blank.dpv";
  write_file(path,
             "<r>\n  <a>  </a>\n  <b>\r\n</b>\n  <c> <d/> </c>\n  <e></e>\n  <f>&#32;</f>\n</r>");
  Document doc;
  // Each element's content, children apart.
  auto contents = [&] {
    std::string lines;
    for (XERCES_DOM_node* element = first(doc.root()); element; element = next(element)) {
      lines += name(element) + ":";
      for (XERCES_DOM_node* child = first(element); child; child = next(child)) {
        lines += "[" + (type(child) == XERCES_DOM_TEXT_NODE ? value(child) : name(child)) + "]";
      }
      lines += "\n";
    }
    return lines;
  };
  ASSERT_EQ(doc.parse(path, DROP), 0) << doc.error();
  EXPECT_EQ(contents(), "a:\nb:\nc:[d]\ne:\nf:[ ]\n");
  ASSERT_EQ(doc.parse(path, KEEP_SOLE), 0) << doc.error();
  EXPECT_EQ(contents(), "a:[  ]\nb:[\n]\nc:[d]\ne:\nf:[ ]\n");
  // Without dropping, all blank text is kept and the bit changes nothing.
  ASSERT_EQ(doc.parse(path, XERCES_DOM_PARSE_KEEP_SOLE_BLANK_TEXT), 0) << doc.error();
  EXPECT_EQ(value(first(doc.root())), "\n  ");
  EXPECT_EQ(text_of(next(first(doc.root()))), "  ");
}

TEST(XmlWellFormedness, WrittenTextReadsBackExactly) {
  const std::string texts[] = {
      "a\rb", "a\r\nb", "a\nb", "\ta\tb\t", "  lead and trail  ",
      "  ",   "\n",     "\r\n", "\r",       "\t",
      "x\r",  "<&>\"'", "]]>",  "&#13;",    "\xE2\x82\xAC \xF4\x8F\xBF\xBF \x7F\xC2\x80",
  };
  TempDir dir;
  const std::string path = dir / "kvrn1_user.dpv";
  for (const std::string& text : texts) {
    Document doc;
    XERCES_DOM_node* root = pvtbl_kvxml->XERCES_DOM_createDocumentElement(*doc, "Values");
    XERCES_DOM_node* comment = pvtbl_kvxml->XERCES_DOM_createElement(*doc, "UserComment");
    pvtbl_kvxml->XERCES_DOM_setAttribute(comment, "v", text.c_str());
    pvtbl_kvxml->XERCES_DOM_appendChild(comment,
                                        pvtbl_kvxml->XERCES_DOM_createTextNode(*doc, text.c_str()));
    pvtbl_kvxml->XERCES_DOM_appendChild(root, comment);
    ASSERT_EQ(pvtbl_kvxml->XERCES_DOM_writeFile(path.c_str(), "UTF-8", doc.document()), 0);
    const std::string written = read_file(path);
    EXPECT_EQ(written.find('\r'), std::string::npos) << written;

    Document reread;
    ASSERT_EQ(reread.parse(path, KEEP_SOLE), 0) << reread.error();
    XERCES_DOM_node* read_comment = first(reread.root());
    ASSERT_NE(read_comment, nullptr) << written;
    EXPECT_STREQ(attribute(read_comment, "v"), text.c_str()) << written;
    EXPECT_EQ(text_of(read_comment), text) << written;
  }
}

TEST(XmlWellFormedness, WhatXmlCannotHoldIsNeverWritten) {
  TempDir dir;
  const std::string path = dir / "kvrn1_user.dpv";
  const std::string old_contents = "<Values/>\n";
  write_file(path, old_contents);
  const char* const bad_texts[] = {
      "\x01",
      "a\x1F"
      "b",
      "\x0B",
      "\xC3",
      "\xC3(",
      "\xED\xA0\x80",
      "\xEF\xBF\xBE",
      "\xEF\xBF\xBF",
      "\xC0\xAF",
      "\xE0\x80\xAF",
      "\xF4\x90\x80\x80",
      "\xF5\x80\x80\x80",
      "\x80",
      "ok\xFF",
  };
  enum place_e { TEXT, ATTRIBUTE, ELEMENT_NAME, ATTRIBUTE_NAME, PI_DATA };
  auto write_with = [&](place_e place, const char* what) {
    Document doc;
    XERCES_DOM_node* root = pvtbl_kvxml->XERCES_DOM_createDocumentElement(*doc, "Values");
    XERCES_DOM_node* pref =
        pvtbl_kvxml->XERCES_DOM_createElement(*doc, place == ELEMENT_NAME ? what : "Pref");
    pvtbl_kvxml->XERCES_DOM_setAttribute(pref, place == ATTRIBUTE_NAME ? what : "name",
                                         place == ATTRIBUTE ? what : "p");
    pvtbl_kvxml->XERCES_DOM_appendChild(
        pref, pvtbl_kvxml->XERCES_DOM_createTextNode(*doc, place == TEXT ? what : "t"));
    pvtbl_kvxml->XERCES_DOM_appendChild(root, pref);
    pvtbl_kvxml->XERCES_DOM_insertBefore(doc.document(),
                                         pvtbl_kvxml->XERCES_DOM_createProcessingInstruction(
                                             *doc, "style", place == PI_DATA ? what : "d"),
                                         root);
    // What waits unattached is never written, so it cannot stand in the way.
    pvtbl_kvxml->XERCES_DOM_createTextNode(*doc, "\x01");
    return pvtbl_kvxml->XERCES_DOM_writeFile(path.c_str(), "UTF-8", doc.document());
  };
  for (const char* bad : bad_texts) {
    EXPECT_EQ(write_with(TEXT, bad), EILSEQ) << bad;
    EXPECT_EQ(write_with(ATTRIBUTE, bad), EILSEQ) << bad;
  }
  for (const char* bad_name : {"a b", "1a", "-a", "a<", "a&b", "a\r", "\xC3", "\xC3\xA9 b",
                               "a\xC3\xA9\x01", "a\xC3\xA9\xFF"}) {
    EXPECT_EQ(write_with(ELEMENT_NAME, bad_name), EILSEQ) << bad_name;
    EXPECT_EQ(write_with(ATTRIBUTE_NAME, bad_name), EILSEQ) << bad_name;
  }
  for (const char* bad_data : {"x?>y", "x\ry", "\x02"}) {
    EXPECT_EQ(write_with(PI_DATA, bad_data), EILSEQ) << bad_data;
  }
  EXPECT_EQ(read_file(path), old_contents);
  EXPECT_EQ(directory_entries(dir.path()), (std::set<std::string>{"kvrn1_user.dpv"}));

  // A comment read from a file that ends it badly is not written back.
  const std::string lenient = dir / "lenient.dpx";
  write_file(lenient, "<a><!-- one -- two --></a>");
  Document doc;
  ASSERT_EQ(doc.parse(lenient, DROP | XERCES_DOM_PARSE_KEEP_MARKUP), 0) << doc.error();
  EXPECT_EQ(pvtbl_kvxml->XERCES_DOM_writeFile(path.c_str(), "UTF-8", doc.document()), EILSEQ);
  EXPECT_EQ(read_file(path), old_contents);

  // What is allowed is written: names beyond ASCII, DEL and C1 controls, the last character.
  for (place_e place : {TEXT, ATTRIBUTE, ELEMENT_NAME, ATTRIBUTE_NAME, PI_DATA}) {
    EXPECT_EQ(write_with(place, "\xC3\xA9t\xC3\xA9-1.x_y:z"), 0) << place;
  }
  EXPECT_EQ(write_with(TEXT, "\x7F\xC2\x9F\xF4\x8F\xBF\xBF"), 0);
}

TEST(XmlWellFormedness, TextCheck) {
  struct text_s {
    const char* text;
    bool ok;
    std::size_t offset;  // of the first character XML cannot hold
  };
  const text_s cases[] = {
      {"", true, 0},
      {"plain", true, 0},
      {"tab\tlf\ncr\r", true, 0},
      {"\x7F\xC2\x80\xC2\x9F", true, 0},
      {"\xE2\x82\xAC \xED\x9F\xBF \xEE\x80\x80 \xEF\xBF\xBD", true, 0},
      {"\xF0\x90\x80\x80 \xF4\x8F\xBF\xBF", true, 0},
      {"ab\x01", false, 2},
      {"\x1F", false, 0},
      {"\xE2\x82\xAC\x0B", false, 3},
      {"a\xC3", false, 1},
      {"a\xC3(", false, 1},
      {"ab\xED\xA0\x80", false, 2},
      {"\xEF\xBF\xBE", false, 0},
      {"x\xEF\xBF\xBF", false, 1},
      {"\xC0\xAF", false, 0},
      {"\xC1\xBF", false, 0},
      {"\xE0\x80\xAF", false, 0},
      {"\xF0\x80\x80\xAF", false, 0},
      {"\xF4\x90\x80\x80", false, 0},
      {"\xF5\x80\x80\x80", false, 0},
      {"\x80", false, 0},
      {"\xE2\x82", false, 0},
  };
  for (const text_s& text : cases) {
    std::size_t offset = 12345;
    EXPECT_EQ(KVXML_is_xml_text(text.text, &offset), text.ok) << text.text;
    EXPECT_EQ(offset, text.ok ? 12345u : text.offset) << text.text;
    EXPECT_EQ(KVXML_is_xml_text(text.text, nullptr), text.ok);
  }
  EXPECT_TRUE(KVXML_is_xml_text(nullptr, nullptr));
}
