// XML document service: parsing and walking files, failures with their messages, building a
// document with unattached nodes, and writing it back atomically.
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "file_size_limit.h"
#include "test_support.h"
#include "xml_document.h"

namespace {

// Every node of the document, in document order, as "name=value" lines; walked without
// recursion.
std::string outline(XERCES_DOM_node* document) {
  std::string lines;
  std::vector<XERCES_DOM_node*> pending{first(document)};
  while (!pending.empty()) {
    XERCES_DOM_node* node = pending.back();
    pending.pop_back();
    if (!node) continue;
    lines += name(node) + "=" + value(node) + "\n";
    pending.push_back(next(node));
    pending.push_back(first(node));
  }
  return lines;
}

}  // namespace

TEST(XmlDocuments, ParseAndWalk) {
  TempDir dir;
  const std::string path = dir / "defs.dpx";
  write_file(
      path,
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- note -->\n"
      "<Root version=\"2\">\n  <Pref name=\"caf\xC3\xA9\" empty=\"\">text &amp; more</Pref>\n"
      "  <Group/>\n</Root>\n");
  Document doc;
  ASSERT_EQ(doc.parse(path), 0) << doc.error();
  EXPECT_EQ(doc.error(), "");
  EXPECT_EQ(type(doc.document()), XERCES_DOM_DOCUMENT_NODE);
  XERCES_DOM_node* root = doc.root();
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(first(doc.document()), root);  // declaration and comment not kept in mode 2
  EXPECT_EQ(name(root), "Root");
  EXPECT_EQ(type(root), XERCES_DOM_ELEMENT_NODE);
  EXPECT_EQ(value(root), "(null)");
  EXPECT_STREQ(attribute(root, "version"), "2");
  EXPECT_EQ(attribute(root, "missing"), nullptr);
  XERCES_DOM_node* pref = first(root);  // blank text between elements dropped
  ASSERT_NE(pref, nullptr);
  EXPECT_EQ(name(pref), "Pref");
  EXPECT_STREQ(attribute(pref, "name"), "caf\xC3\xA9");
  EXPECT_STREQ(attribute(pref, "empty"), "");
  XERCES_DOM_node* text = first(pref);
  EXPECT_EQ(type(text), XERCES_DOM_TEXT_NODE);
  EXPECT_EQ(name(text), "#text");
  EXPECT_EQ(value(text), "text & more");
  EXPECT_EQ(attribute(text, "name"), nullptr);
  EXPECT_EQ(next(text), nullptr);
  XERCES_DOM_node* group = next(pref);
  EXPECT_EQ(name(group), "Group");
  EXPECT_EQ(first(group), nullptr);
  EXPECT_EQ(next(group), nullptr);
  EXPECT_EQ(next(root), nullptr);

  // Without the blank-dropping bit the white space between elements is text; with the markup
  // bit comments are kept.
  ASSERT_EQ(doc.parse(path, 0), 0);
  EXPECT_EQ(first(doc.document()), doc.root());  // no text beside the root
  EXPECT_EQ(type(first(doc.root())), XERCES_DOM_TEXT_NODE);
  EXPECT_EQ(value(first(doc.root())), "\n  ");
  ASSERT_EQ(doc.parse(path, XERCES_DOM_PARSE_KEEP_MARKUP | XERCES_DOM_PARSE_DROP_BLANK_TEXT), 0);
  EXPECT_EQ(type(first(doc.document())), XERCES_DOM_COMMENT_NODE);
  EXPECT_EQ(value(first(doc.document())), " note ");

  // Element by element, past text, comments and the nodes that wait unattached.
  ASSERT_EQ(doc.parse(path, XERCES_DOM_PARSE_KEEP_MARKUP), 0);
  pvtbl_kvxml->XERCES_DOM_createElement(*doc, "Unattached");
  const char* element_name = nullptr;
  auto next_element = pvtbl_kvxml->XERCES_DOM_getNextElement;
  EXPECT_EQ(next_element(doc.document(), nullptr, &element_name), doc.root());
  EXPECT_STREQ(element_name, "Root");
  EXPECT_EQ(next_element(nullptr, doc.root(), &element_name), nullptr);
  XERCES_DOM_node* element = next_element(doc.root(), nullptr, &element_name);
  EXPECT_STREQ(element_name, "Pref");
  EXPECT_EQ(next_element(element, nullptr, nullptr), nullptr);  // text only
  element = next_element(nullptr, element, nullptr);
  EXPECT_EQ(name(element), "Group");
  EXPECT_EQ(next_element(nullptr, element, &element_name), nullptr);
}

TEST(XmlDocuments, DocumentsParseOnSeveralThreadsAtOnce) {
  TempDir dir;
  std::vector<std::string> paths;
  for (int i = 0; i < 8; ++i) {
    paths.push_back(dir / ("file" + std::to_string(i) + ".dpx"));
    std::string text = "<Root n=\"" + std::to_string(i) + "\">";
    for (int j = 0; j < 200 * (i + 1); ++j) text += "<Pref name=\"p" + std::to_string(j) + "\"/>";
    // Every other file is refused, with its own place and message.
    write_file(paths.back(), text + (i % 2 ? "<a x=\"1\" x=\"2\"/>" : "") + "</Root>");
  }
  // What one thread finds of each file: its error text, or the root's attribute and its last
  // element's name.
  auto read = [&](std::size_t i) {
    Document doc;
    if (doc.parse(paths[i]) != 0) return doc.error();
    XERCES_DOM_node* last = nullptr;
    for (XERCES_DOM_node* element = nullptr;
         (element = pvtbl_kvxml->XERCES_DOM_getNextElement(doc.root(), element, nullptr));) {
      last = element;
    }
    return or_null(attribute(doc.root(), "n")) + " " +
           (last ? or_null(attribute(last, "name")) : "");
  };
  std::vector<std::string> alone;
  for (std::size_t i = 0; i < paths.size(); ++i) alone.push_back(read(i));
  EXPECT_EQ(alone[2], "2 p599");
  EXPECT_NE(alone[1].find(paths[1] + ":1:"), std::string::npos) << alone[1];
  std::vector<std::string> found[2];
  std::thread other([&] {
    for (int round = 0; round < 5; ++round) {
      for (std::size_t i = 0; i < paths.size(); ++i) found[1].push_back(read(i));
    }
  });
  for (int round = 0; round < 5; ++round) {
    for (std::size_t i = paths.size(); i-- > 0;) found[0].push_back(read(i));
  }
  other.join();
  for (std::size_t k = 0; k < found[0].size(); ++k) {
    EXPECT_EQ(found[0][k], alone[paths.size() - 1 - k % paths.size()]);
    EXPECT_EQ(found[1][k], alone[k % paths.size()]);
  }
}

TEST(XmlDocuments, ParseFailuresHaveMessages) {
  TempDir dir;
  Document doc;
  const std::string broken = dir / "broken.dpx";
  write_file(broken, "<Root>\n  <a></b>\n</Root>\n");
  EXPECT_NE(doc.parse(broken), 0);
  EXPECT_NE(doc.error().find(broken + ":2:"), std::string::npos) << doc.error();
  EXPECT_EQ(doc.root(), nullptr);

  const std::string missing = dir / "missing.dpx";
  EXPECT_NE(doc.parse(missing), 0);
  EXPECT_NE(doc.error().find(missing), std::string::npos) << doc.error();

  EXPECT_NE(doc.parse(dir.path()), 0);
  EXPECT_NE(doc.error().find(dir.path()), std::string::npos) << doc.error();

  const std::string empty = dir / "empty.dpx";
  write_file(empty, "");
  EXPECT_NE(doc.parse(empty), 0);
  EXPECT_NE(doc.error().find(empty), std::string::npos) << doc.error();

  const std::string no_root = dir / "no_root.dpx";
  write_file(no_root, "<?xml version=\"1.0\"?>\n<!-- nothing else -->\n");
  EXPECT_NE(doc.parse(no_root), 0);
  EXPECT_NE(doc.error().find(no_root), std::string::npos) << doc.error();
  EXPECT_EQ(doc.root(), nullptr);

  // What the parser lets pass at the top level is refused as well.
  for (const char* text : {"<a/><b/>", "<a/>junk", "junk<a/>", "<a/>\nj"}) {
    const std::string path = dir / "top_level.dpx";
    write_file(path, text);
    EXPECT_NE(doc.parse(path), 0) << text;
    EXPECT_NE(doc.error().find(path), std::string::npos) << doc.error();
    EXPECT_EQ(doc.root(), nullptr);
  }

  // A good parse clears the message of the last failure.
  const std::string good = dir / "good.dpx";
  write_file(good, "<Root/>");
  EXPECT_EQ(doc.parse(good), 0);
  EXPECT_EQ(doc.error(), "");
}

TEST(XmlDocuments, DeepNestingDoesNotOverflowTheStack) {
  TempDir dir;
  const std::string path = dir / "deep.dpx";
  constexpr int kDepth = 100000;
  std::string text;
  for (int i = 0; i < kDepth; ++i) text += "<a>";
  for (int i = 0; i < kDepth; ++i) text += "</a>";
  write_file(path, text);
  Document doc;
  if (doc.parse(path) != 0) {
    EXPECT_NE(doc.error(), "");  // refused is fine, with a message
    return;
  }
  int depth = 0;
  for (XERCES_DOM_node* node = doc.root(); node; node = first(node)) ++depth;
  EXPECT_EQ(depth, kDepth);
  EXPECT_EQ(pvtbl_kvxml->XERCES_DOM_writeFile((dir / "copy.dpx").c_str(), "UTF-8", doc.document()),
            0);
}

TEST(XmlDocuments, BuildWriteAndReadBack) {
  TempDir dir;
  Document doc;
  XERCES_DOM_node* document = doc.document();
  EXPECT_EQ(doc.root(), nullptr);
  XERCES_DOM_node* root = pvtbl_kvxml->XERCES_DOM_createDocumentElement(*doc, "Values");
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(doc.root(), root);
  EXPECT_EQ(pvtbl_kvxml->XERCES_DOM_createDocumentElement(*doc, "Second"), nullptr);

  // Made nodes stay out of sight until they are attached.
  XERCES_DOM_node* pref = pvtbl_kvxml->XERCES_DOM_createElement(*doc, "Pref");
  XERCES_DOM_node* text = pvtbl_kvxml->XERCES_DOM_createTextNode(*doc, "a < b & c > d \"q\"");
  XERCES_DOM_node* stylesheet = pvtbl_kvxml->XERCES_DOM_createProcessingInstruction(
      *doc, "xml-stylesheet", "type=\"text/xsl\" href=\"dpv.xsl\"");
  XERCES_DOM_node* ghost = pvtbl_kvxml->XERCES_DOM_createElement(*doc, "Ghost");
  pvtbl_kvxml->XERCES_DOM_setAttribute(ghost, "hidden", "yes");
  EXPECT_EQ(outline(document), "Values=(null)\n");
  EXPECT_EQ(type(text), XERCES_DOM_TEXT_NODE);
  EXPECT_EQ(type(stylesheet), XERCES_DOM_PROCESSING_INSTRUCTION_NODE);

  pvtbl_kvxml->XERCES_DOM_setAttribute(pref, "name", "first");
  pvtbl_kvxml->XERCES_DOM_setAttribute(pref, "name", "y & <z> \"w\"");  // replaces
  EXPECT_STREQ(attribute(pref, "name"), "y & <z> \"w\"");
  EXPECT_EQ(pvtbl_kvxml->XERCES_DOM_appendChild(pref, text), text);  // built while unattached
  EXPECT_EQ(pvtbl_kvxml->XERCES_DOM_appendChild(root, pref), pref);
  XERCES_DOM_node* earlier = pvtbl_kvxml->XERCES_DOM_createElement(*doc, "Earlier");
  pvtbl_kvxml->XERCES_DOM_setAttributeUTF8(earlier, "title", "\xC3\xA9t\xC3\xA9");
  XERCES_DOM_node* utf8_text = pvtbl_kvxml->XERCES_DOM_createTextNodeUTF8(*doc, "\xE2\x82\xAC");
  EXPECT_EQ(pvtbl_kvxml->XERCES_DOM_insertBefore(earlier, utf8_text, nullptr), utf8_text);
  EXPECT_EQ(pvtbl_kvxml->XERCES_DOM_insertBefore(root, earlier, pref), earlier);
  EXPECT_EQ(pvtbl_kvxml->XERCES_DOM_insertBefore(document, stylesheet, root), stylesheet);
  EXPECT_EQ(pvtbl_kvxml->XERCES_DOM_appendChild(pref, root), nullptr);  // not into itself
  EXPECT_EQ(outline(document),
            "xml-stylesheet=type=\"text/xsl\" href=\"dpv.xsl\"\nValues=(null)\nEarlier=(null)\n"
            "#text=\xE2\x82\xAC\nPref=(null)\n#text=a < b & c > d \"q\"\n");

  const std::string path = dir / "kvrn1_user.dpv";
  ASSERT_EQ(pvtbl_kvxml->XERCES_DOM_writeFile(path.c_str(), "UTF-8", document), 0);
  const std::string written = read_file(path);
  EXPECT_EQ(written.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u) << written;
  const std::size_t pi_at = written.find("<?xml-stylesheet type=\"text/xsl\" href=\"dpv.xsl\"?>");
  ASSERT_NE(pi_at, std::string::npos) << written;
  EXPECT_LT(pi_at, written.find("<Values"));
  // What would break the markup is escaped; '>' may stay as it is inside an attribute value and
  // '"' inside text, both well-formed.
  const bool attribute_escaped =
      written.find("name=\"y &amp; &lt;z&gt; &quot;w&quot;\"") != std::string::npos ||
      written.find("name=\"y &amp; &lt;z> &quot;w&quot;\"") != std::string::npos;
  EXPECT_TRUE(attribute_escaped) << written;
  EXPECT_NE(written.find(">a &lt; b &amp; c &gt; d "), std::string::npos) << written;
  EXPECT_EQ(written.find("Ghost"), std::string::npos) << written;
  EXPECT_EQ(written.find("hidden"), std::string::npos) << written;
  EXPECT_EQ(written.find("kvxml"), std::string::npos) << written;

  // The written file reads back as the same tree.
  Document reread;
  ASSERT_EQ(reread.parse(path, XERCES_DOM_PARSE_KEEP_MARKUP | XERCES_DOM_PARSE_DROP_BLANK_TEXT), 0)
      << reread.error();
  EXPECT_EQ(outline(reread.document()), outline(document));
  XERCES_DOM_node* reread_pref = next(first(reread.root()));
  EXPECT_STREQ(attribute(reread_pref, "name"), "y & <z> \"w\"");
  EXPECT_STREQ(attribute(first(reread.root()), "title"), "\xC3\xA9t\xC3\xA9");

  // A write that fails keeps the old file whole and leaves nothing beside it.
  int error = 0;
  {
    FileSizeLimit limit(64);
    error = pvtbl_kvxml->XERCES_DOM_writeFile(path.c_str(), "UTF-8", document);
  }
  EXPECT_NE(error, 0);
  EXPECT_EQ(read_file(path), written);
  EXPECT_EQ(directory_entries(dir.path()), (std::set<std::string>{"kvrn1_user.dpv"}));

  EXPECT_NE(pvtbl_kvxml->XERCES_DOM_writeFile(path.c_str(), "UTF-16", document), 0);
  EXPECT_NE(pvtbl_kvxml->XERCES_DOM_writeFile(path.c_str(), "UTF-8", root), 0);
  EXPECT_EQ(read_file(path), written);
}

TEST(XmlDocuments, AppendedElementsAndTextAreTheSameAsBuiltOnes) {
  TempDir dir;
  Document built;
  Document appended;
  const char* const names[] = {"name", "value", "name", "", "locked"};
  const char* const values[] = {"first", nullptr, "a < \"b\"", "ignored", "yes"};
  for (Document* doc : {&built, &appended}) {
    XERCES_DOM_node* root = pvtbl_kvxml->XERCES_DOM_createDocumentElement(**doc, "Values");
    if (doc == &built) {
      XERCES_DOM_node* pref = pvtbl_kvxml->XERCES_DOM_createElement(**doc, "Pref");
      for (int i = 0; i < 5; ++i) pvtbl_kvxml->XERCES_DOM_setAttribute(pref, names[i], values[i]);
      pvtbl_kvxml->XERCES_DOM_appendChild(root, pref);
      pvtbl_kvxml->XERCES_DOM_appendChild(root,
                                          pvtbl_kvxml->XERCES_DOM_createTextNode(**doc, "\n"));
    } else {
      EXPECT_EQ(pvtbl_kvxml->XERCES_DOM_appendElement(root, "", names, values, 5), nullptr);
      XERCES_DOM_node* pref = pvtbl_kvxml->XERCES_DOM_appendElement(root, "Pref", names, values, 5);
      ASSERT_NE(pref, nullptr);
      EXPECT_EQ(type(pvtbl_kvxml->XERCES_DOM_appendTextNode(root, "\n")), XERCES_DOM_TEXT_NODE);
      EXPECT_EQ(pvtbl_kvxml->XERCES_DOM_appendTextNode(doc->document(), "x"), nullptr);
      EXPECT_EQ(pvtbl_kvxml->XERCES_DOM_appendElement(doc->document(), "Pref", names, values, 0),
                nullptr);  // the document has its root element
    }
  }
  const std::string built_path = dir / "built.dpv";
  const std::string appended_path = dir / "appended.dpv";
  ASSERT_EQ(pvtbl_kvxml->XERCES_DOM_writeFile(built_path.c_str(), "UTF-8", built.document()), 0);
  ASSERT_EQ(pvtbl_kvxml->XERCES_DOM_writeFile(appended_path.c_str(), "UTF-8", appended.document()),
            0);
  EXPECT_EQ(read_file(appended_path), read_file(built_path));
  EXPECT_NE(read_file(built_path)
                .find("<Pref name=\"a &lt; &quot;b&quot;\" value=\"\" "
                      "locked=\"yes\"/>\n"),
            std::string::npos)
      << read_file(built_path);
}
