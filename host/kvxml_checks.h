// What pugixml lets through that is not XML: checks of a document's text before pugixml parses
// it (and decodes its references), of the document it parsed, and of a document about to be
// written. Internal to the XML service.
#pragma once

#include <cstddef>
#include <functional>
#include <pugixml.hpp>
#include <string>
#include <string_view>

namespace kvxml {

// Where a document is not well-formed: offset counts the bytes of its text before the fault (the
// text as parsed, in UTF-8), -1 when the fault has no place; index counts further bytes of a value
// as the parser left them (a CR LF pair of the text is one).
struct fault_s {
  std::string message;
  std::ptrdiff_t offset = -1;
  std::size_t index = 0;
};

// What one pass over the '&' of a document's text finds before the parser decodes the references
// of its text and attribute values.
struct references_s {
  // Some '&' begins no reference XML allows: an undefined entity, a character XML forbids, or
  // none at all. That is a fault unless it lies in a comment, CDATA section, processing
  // instruction or the document type declaration, which only the parse tells.
  bool doubtful = false;
  // Some reference stands for '<', so after parsing an attribute value may hold a '<' that the
  // text does not.
  bool to_lt = false;
};

// text is size bytes and a NUL.
references_s scan_references(const char* text, std::size_t size);

// The first '&' of text (the document's text before parsing, size bytes and a NUL) that begins no
// reference XML allows and lies outside comments, CDATA sections, processing instructions and the
// document type declaration, which spans [doctype, doctype_end) of text when there is one.
bool check_references(const char* text, std::size_t size, std::ptrdiff_t doctype,
                      std::ptrdiff_t doctype_end, fault_s* fault);

// The offset of the first character of text (size bytes) that is not UTF-8 of a character XML
// allows (a NUL included); size when there is none. It skips runs of plain ASCII with the
// fastest form the processor runs.
std::size_t first_non_xml_character(const char* text, std::size_t size);
// The forms of that skip; each must give the same answers, so tests run every one the processor
// can (can_run), not only the one chosen.
enum class character_scan { bytewise, sse2, avx2 };
bool can_run(character_scan form);
std::size_t first_non_xml_character(const char* text, std::size_t size, character_scan form);
// The whole text is UTF-8 of characters XML allows, names and markup included.
bool check_characters(const char* text, std::size_t size, fault_s* fault);

// The top level: the XML declaration only at the start of the file, at most one document type
// declaration and only before the root element, exactly one root element, and besides them
// only comments, processing instructions and white space. buffer is the parse buffer.
bool check_top_level(const pugi::xml_document& document, const char* buffer, fault_s* fault);

// A piece of the document's text as it was before parsing (the parse changes its buffer): at most
// length bytes from offset, followed by a NUL and valid until the next call; empty when it cannot
// be had.
using raw_text_f = std::function<std::string_view(std::size_t offset, std::size_t length)>;

// Shown each node that the checks of elements passed, in document order, so that a reader of the
// document needs no walk of its own: its depth below the document (0 for the document's children)
// and, for an element, its attributes in document order with their names (count of them).
class checked_node_visitor {
 public:
  virtual void visit(const pugi::xml_node& node, int depth, const pugi::xml_attribute* attributes,
                     const char* const* names, int count) = 0;

 protected:
  ~checked_node_visitor() = default;
};

// Every element: no attribute twice, and no '<' in an attribute value. A start tag whose values
// hold '<' after parsing is looked up in raw_text, since the '<' may stand for a reference; to_lt
// tells whether one does (when none does, the '<' is a fault, and the text only tells where).
// The walk stops at the first fault; visitor, when given, is shown every node before it.
bool check_elements(pugi::xml_document& document, const char* buffer, bool to_lt,
                    const raw_text_f& raw_text, fault_s* fault,
                    checked_node_visitor* visitor = nullptr);

// Whether the node and everything under it can be written so that it reads back exactly and
// any XML processor accepts it: names are names; text, attribute values, comments, processing
// instructions and CDATA hold only characters XML allows; CR occurs only in text and attribute
// values (written as references there); no comment or processing instruction holds what would end
// it.
bool is_writable(const pugi::xml_node& top);

}  // namespace kvxml
