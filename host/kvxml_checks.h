// What pugixml lets through that is not XML: checks of a document it parsed (which also decode
// the references, as the parser is told to leave them) and of a document about to be written.
// Internal to the XML service.
#pragma once

#include <cstddef>
#include <pugixml.hpp>
#include <string>

namespace kvxml {

// Where a parsed document is not well-formed. at points into the parse buffer, at the markup
// or value holding the fault, or is null when the fault has no place; index counts the bytes
// before the fault in that value as the parser left it (a CR LF pair of the file is one).
struct fault_s {
  std::string message;
  const char* at = nullptr;
  std::size_t index = 0;
};

// The top level: the XML declaration only at the start of the file, at most one document type
// declaration and only before the root element, exactly one root element, and besides them
// only comments, processing instructions and white space.
bool check_top_level(const pugi::xml_document& document, fault_s* fault);

// Every node: names, values and text in UTF-8 of characters XML allows, no attribute twice, no
// '<' in an attribute value, and in attribute values and text only references to the five
// predefined entities and to characters XML allows. The references are decoded in place (a
// decoded reference is never longer than its markup).
bool check_and_decode_content(const pugi::xml_document& document, fault_s* fault);

// Whether the node and everything under it can be written so that it reads back exactly and
// any XML processor accepts it: names are names; text, attribute values, comments, processing
// instructions and CDATA hold only characters XML allows; CR occurs only in text and attribute
// values (written as references there); no comment or processing instruction holds what would end
// it.
bool is_writable(const pugi::xml_node& top);

}  // namespace kvxml
