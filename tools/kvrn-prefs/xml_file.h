// kvrn-prefs: files read with the host's XML document service, for the commands that look at
// definition and value files as they are written.
#pragma once

#include <string>
#include <vector>

#include "tool.h"

// A parsed XML file, released when it goes.
class xml_file {
 public:
  xml_file();
  // Reads path as value files are read; false with error() when it cannot be read or parsed.
  bool parse(const std::string& path);
  // The document element, or null.
  XERCES_DOM_node* root() const;
  std::string error() const;

 private:
  kvxml_document document_;
};

// The element children of parent named name, in document order.
std::vector<XERCES_DOM_node*> child_elements(XERCES_DOM_node* parent, const char* name);
// The attribute's value, or null.
const char* attribute(XERCES_DOM_node* element, const char* name);
// The text of the element's first child element named name (a UserComment, a Description);
// has is false when there is none.
std::string child_text(XERCES_DOM_node* element, const char* name, bool* has = nullptr);

// The definition files that declare the preference (a Pref element) or change its default (a
// PrefValue element), in load order, each with "defined" or "default changed".
std::vector<std::pair<std::string, std::string>> definition_sources(const char* name);
