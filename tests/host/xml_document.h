// XML documents in the tests of the XML service: a context released at the end of the test,
// and short names for walking its nodes.
#pragma once

#include <vavadoz/kvxml.h>

#include <string>

#include "test_support.h"

// A context that is released at the end of the test.
class Document {
 public:
  Document() {
    KVXML_init();
    int error = -1;
    document_.reset(pvtbl_kvxml->XERCES_DOM_create(&error, "UTF-8", 0));
    EXPECT_EQ(error, 0);
    EXPECT_NE(document_.get(), nullptr);
  }
  XERCES_DOM_ctx* operator*() const { return document_.get(); }
  int parse(const std::string& path, int mode = XERCES_DOM_PARSE_DROP_BLANK_TEXT) {
    return pvtbl_kvxml->XERCES_DOM_parseFile(document_.get(), path.c_str(), "utf-8", mode);
  }
  std::string error() const { return pvtbl_kvxml->XERCES_DOM_getErrorText(document_.get()); }
  XERCES_DOM_node* document() const { return pvtbl_kvxml->XERCES_DOM_getDocument(document_.get()); }
  XERCES_DOM_node* root() const { return pvtbl_kvxml->XERCES_DOM_getDocumentElement(document()); }

 private:
  kvxml_document document_;
};

inline XERCES_DOM_node* first(XERCES_DOM_node* node) {
  return pvtbl_kvxml->XERCES_DOM_getFirstChild(node);
}
inline XERCES_DOM_node* next(XERCES_DOM_node* node) {
  return pvtbl_kvxml->XERCES_DOM_getNextSibling(node);
}
inline std::string name(XERCES_DOM_node* node) {
  const char* text = pvtbl_kvxml->XERCES_DOM_getNodeName(node);
  return text ? text : "(null)";
}
inline std::string value(XERCES_DOM_node* node) {
  const char* text = pvtbl_kvxml->XERCES_DOM_getNodeValue(node);
  return text ? text : "(null)";
}
inline int type(XERCES_DOM_node* node) {
  return pvtbl_kvxml->XERCES_DOM_getNodeType(node);
}
inline const char* attribute(XERCES_DOM_node* element, const char* attribute_name) {
  return pvtbl_kvxml->XERCES_DOM_getAttribute(element, attribute_name);
}
