// kvrn-prefs: files read with the host's XML document service.
#include "xml_file.h"

#include <cstring>

xml_file::xml_file() {
  int error = KVXML_init();
  if (error == 0) document_.reset(pvtbl_kvxml->XERCES_DOM_create(&error, "UTF-8", 0));
  if (error != 0 || !document_.get())
    ERROR_raise(__FILE__, __LINE__, VERU_ERROR_XML_INIT, "Unable to initialize DOM");
}

bool xml_file::parse(const std::string& path) {
  // Blank text is dropped, but a comment of blanks alone is kept, as start-up reads it.
  return pvtbl_kvxml->XERCES_DOM_parseFile(
             document_.get(), path.c_str(), "utf-8",
             XERCES_DOM_PARSE_DROP_BLANK_TEXT | XERCES_DOM_PARSE_KEEP_SOLE_BLANK_TEXT) == 0 &&
         root();
}

XERCES_DOM_node* xml_file::root() const {
  XERCES_DOM_node* document = pvtbl_kvxml->XERCES_DOM_getDocument(document_.get());
  return document ? pvtbl_kvxml->XERCES_DOM_getDocumentElement(document) : nullptr;
}

std::string xml_file::error() const {
  const char* text = pvtbl_kvxml->XERCES_DOM_getErrorText(document_.get());
  return text && *text ? text : "the file has no root element";
}

std::vector<XERCES_DOM_node*> child_elements(XERCES_DOM_node* parent, const char* name) {
  std::vector<XERCES_DOM_node*> found;
  for (XERCES_DOM_node* node = pvtbl_kvxml->XERCES_DOM_getFirstChild(parent); node;
       node = pvtbl_kvxml->XERCES_DOM_getNextSibling(node)) {
    if (pvtbl_kvxml->XERCES_DOM_getNodeType(node) == XERCES_DOM_ELEMENT_NODE &&
        std::strcmp(pvtbl_kvxml->XERCES_DOM_getNodeName(node), name) == 0) {
      found.push_back(node);
    }
  }
  return found;
}

const char* attribute(XERCES_DOM_node* element, const char* name) {
  return pvtbl_kvxml->XERCES_DOM_getAttribute(element, name);
}

std::string child_text(XERCES_DOM_node* element, const char* name, bool* has) {
  const std::vector<XERCES_DOM_node*> children = child_elements(element, name);
  if (has) *has = !children.empty();
  std::string text;
  if (children.empty()) return text;
  for (XERCES_DOM_node* node = pvtbl_kvxml->XERCES_DOM_getFirstChild(children[0]); node;
       node = pvtbl_kvxml->XERCES_DOM_getNextSibling(node)) {
    const int type = pvtbl_kvxml->XERCES_DOM_getNodeType(node);
    if (type == XERCES_DOM_TEXT_NODE || type == XERCES_DOM_CDATA_SECTION_NODE) {
      text += pvtbl_kvxml->XERCES_DOM_getNodeValue(node);
    }
  }
  return text;
}

namespace {

// Whether the file has a Pref or PrefValue element of that name, and which. The walk keeps its
// own stack, so a deeply nested file costs memory, not the call stack.
const char* role_in_file(const std::string& path, const char* name) {
  xml_file file;
  if (!file.parse(path)) return nullptr;
  std::vector<XERCES_DOM_node*> pending{file.root()};
  while (!pending.empty()) {
    XERCES_DOM_node* node = pending.back();
    pending.pop_back();
    const char* tag = pvtbl_kvxml->XERCES_DOM_getNodeName(node);
    const bool is_pref = std::strcmp(tag, "Pref") == 0;
    if (is_pref || std::strcmp(tag, "PrefValue") == 0) {
      const char* named = attribute(node, "name");
      if (named && std::strcmp(named, name) == 0) return is_pref ? "defined" : "default changed";
      if (is_pref) continue;
    }
    for (XERCES_DOM_node* child = pvtbl_kvxml->XERCES_DOM_getFirstChild(node); child;
         child = pvtbl_kvxml->XERCES_DOM_getNextSibling(child)) {
      if (pvtbl_kvxml->XERCES_DOM_getNodeType(child) == XERCES_DOM_ELEMENT_NODE) {
        pending.push_back(child);
      }
    }
  }
  return nullptr;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> definition_sources(const char* name) {
  std::vector<std::pair<std::string, std::string>> sources;
  char** paths = nullptr;
  const int count = VERU_ask_dpx_files(&paths);
  for (const std::string& path : taken(paths, count)) {
    if (const char* role = role_in_file(path.c_str(), name)) sources.emplace_back(path, role);
  }
  return sources;
}
