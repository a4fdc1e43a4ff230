// XML document service of the host: a DOM reached through the operation table pvtbl_kvxml,
// which KVXML_init puts in place. A context owns one document and every node made in it;
// strings returned point into the document and live as long as the context.
#pragma once

#include <cstddef>

#include "api.h"
#include "cfi.h"

VAVADOZ_EXPORTS_BEGIN

struct XERCES_DOM_ctx;
// A node of a document: an opaque handle of the service.
struct XERCES_DOM_node;

// Node types, as the DOM numbers them.
enum : int {
  XERCES_DOM_ELEMENT_NODE = 1,
  XERCES_DOM_TEXT_NODE = 3,
  XERCES_DOM_CDATA_SECTION_NODE = 4,
  XERCES_DOM_PROCESSING_INSTRUCTION_NODE = 7,
  XERCES_DOM_COMMENT_NODE = 8,
  XERCES_DOM_DOCUMENT_NODE = 9,
  XERCES_DOM_DOCUMENT_TYPE_NODE = 10,
};

// Parse modes: bit 2 drops text that is only white space (the blanks between elements); with
// it, bit 4 keeps such text where it is the whole content of its element (as in <a> </a>);
// bit 1 keeps comments and processing instructions.
enum : int {
  XERCES_DOM_PARSE_KEEP_MARKUP = 1,
  XERCES_DOM_PARSE_DROP_BLANK_TEXT = 2,
  XERCES_DOM_PARSE_KEEP_SOLE_BLANK_TEXT = 4,
};

// One node of a document as parseLoadedVisiting shows it to its visitor.
struct XERCES_DOM_visit_s {
  XERCES_DOM_node* node;
  // An element, text, CDATA section, comment or processing instruction.
  int type;
  // 0 for the document element, 1 for its children, and so on.
  int depth;
  // An element's name; null for other nodes.
  const char* name;
  // The text of a node that is no element; null for an element.
  const char* value;
  // An element's attributes in document order: attribute_count names and their values.
  const char* const* attribute_names;
  const char* const* attribute_values;
  int attribute_count;
};
// A visitor of parseLoadedVisiting; user is what the caller gave with it.
using XERCES_DOM_visitor_f = void (*)(void* user, const XERCES_DOM_visit_s* visit);

struct KVXML_vtbl_s {
  // An empty document; *error is non-zero (and the result null) when it cannot be made.
  XERCES_DOM_ctx* (*XERCES_DOM_create)(int* error, const char* encoding, int flags);
  void (*XERCES_DOM_release)(XERCES_DOM_ctx* context);
  // 0 when the file was read and parsed into the context, replacing its document. A file that
  // is not well-formed XML is refused, with its line and column in the error text; a document
  // type declaration is skipped and nothing in it is used, so the only entities are the five
  // predefined ones.
  int (*XERCES_DOM_parseFile)(XERCES_DOM_ctx* context, const char* path, const char* encoding,
                              int mode);
  // Message of the last failure of the context, "" when there was none.
  const char* (*XERCES_DOM_getErrorText)(XERCES_DOM_ctx* context);
  const char* (*XERCES_DOM_getNodeName)(XERCES_DOM_node* node);
  const char* (*XERCES_DOM_getNodeValue)(XERCES_DOM_node* node);
  int (*XERCES_DOM_getNodeType)(XERCES_DOM_node* node);
  XERCES_DOM_node* (*XERCES_DOM_getFirstChild)(XERCES_DOM_node* node);
  XERCES_DOM_node* (*XERCES_DOM_getNextSibling)(XERCES_DOM_node* node);
  // The attribute's value; null when the element has no such attribute.
  const char* (*XERCES_DOM_getAttribute)(XERCES_DOM_node* element, const char* name);
  XERCES_DOM_node* (*XERCES_DOM_getDocument)(XERCES_DOM_ctx* context);
  XERCES_DOM_node* (*XERCES_DOM_getDocumentElement)(XERCES_DOM_node* document);
  // Makes the document's root element; null when it has one already.
  XERCES_DOM_node* (*XERCES_DOM_createDocumentElement)(XERCES_DOM_ctx* context, const char* tag);
  // Nodes made by the create operations are unattached until inserted or appended.
  XERCES_DOM_node* (*XERCES_DOM_createElement)(XERCES_DOM_ctx* context, const char* tag);
  XERCES_DOM_node* (*XERCES_DOM_createTextNode)(XERCES_DOM_ctx* context, const char* text);
  void (*XERCES_DOM_setAttribute)(XERCES_DOM_node* element, const char* name, const char* value);
  // Moves node under parent, before reference (at the end when reference is null); returns
  // node, or null when the move is not allowed.
  XERCES_DOM_node* (*XERCES_DOM_insertBefore)(XERCES_DOM_node* parent, XERCES_DOM_node* node,
                                              XERCES_DOM_node* reference);
  XERCES_DOM_node* (*XERCES_DOM_appendChild)(XERCES_DOM_node* parent, XERCES_DOM_node* child);
  XERCES_DOM_node* (*XERCES_DOM_createProcessingInstruction)(XERCES_DOM_ctx* context,
                                                             const char* target, const char* data);
  // Writes the document of the node to path, replacing the file atomically: a failed write
  // leaves the old file as it was. 0 on success, otherwise an errno value. What is written
  // reads back as it was (CR in text is written as a reference); EILSEQ, with nothing written,
  // when the document holds what XML cannot: text or an attribute value that is not
  // KVXML_is_xml_text, a name that is not a name, CR in a comment, processing instruction or
  // CDATA section, a comment holding "--" or a processing instruction holding "?>".
  int (*XERCES_DOM_writeFile)(const char* path, const char* encoding, XERCES_DOM_node* document);
  XERCES_DOM_node* (*XERCES_DOM_createTextNodeUTF8)(XERCES_DOM_ctx* context, const char* utf8);
  void (*XERCES_DOM_setAttributeUTF8)(XERCES_DOM_node* element, const char* name, const char* utf8);
  // Several attributes in one pass over the element's attributes: values[i] receives the value
  // of names[i], or null when the element has no such attribute.
  void (*XERCES_DOM_getAttributes)(XERCES_DOM_node* element, const char* const* names,
                                   const char** values, int count);
  // An unattached copy, in context's document, of a node of any document: with its attributes,
  // and with all its descendants when deep is set. Null for a document node.
  XERCES_DOM_node* (*XERCES_DOM_importNode)(XERCES_DOM_ctx* context, XERCES_DOM_node* node,
                                            bool deep);
  // Removes the element's attribute of that name, when it has one.
  void (*XERCES_DOM_removeAttribute)(XERCES_DOM_node* element, const char* name);
  // The first element child of parent when after is null, else the next element sibling of
  // after; null when there is none. Its name goes to *name unless name is null. One call where a
  // walk over elements would take several.
  XERCES_DOM_node* (*XERCES_DOM_getNextElement)(XERCES_DOM_node* parent, XERCES_DOM_node* after,
                                                const char** name);
  // Appends to the element parent a new element with count attributes, names[i] having the value
  // values[i] (null as ""), as createElement, setAttribute for each and appendChild would, and
  // returns it; null when parent is no element or tag is no name. A name given twice keeps its
  // last value. Quicker for a new element: there are no attributes to look up.
  XERCES_DOM_node* (*XERCES_DOM_appendElement)(XERCES_DOM_node* parent, const char* tag,
                                               const char* const* names, const char* const* values,
                                               int count);
  // Appends to the element parent a new text node, as createTextNode and appendChild would,
  // and returns it; null when parent is no element.
  XERCES_DOM_node* (*XERCES_DOM_appendTextNode)(XERCES_DOM_node* parent, const char* text);
  // As writeFile; on success *written (when not null) receives the identity of the file written,
  // taken from the file itself, so that a writer who replaces it right after is not mistaken for
  // this one.
  int (*XERCES_DOM_writeFileWithIdentity)(const char* path, const char* encoding,
                                          XERCES_DOM_node* document, CFI_file_identity_s* written);
  // Every attribute of the element in document order: the first room of them go to names[i] and
  // values[i]; returns how many the element has (0 for a node that is no element).
  int (*XERCES_DOM_getAttributeList)(XERCES_DOM_node* element, const char** names,
                                     const char** values, int room);
  // An unattached comment holding text (null as "").
  XERCES_DOM_node* (*XERCES_DOM_createComment)(XERCES_DOM_ctx* context, const char* text);
  // Reads the file's bytes into the context without parsing them (its document is emptied): 0,
  // or an errno value with the error text parseFile would give. Reading, then parsing with
  // parseLoaded, is parseFile in two steps, so that a reader may look at the bytes in between.
  int (*XERCES_DOM_loadFile)(XERCES_DOM_ctx* context, const char* path);
  // The bytes that loadFile read and no parse has taken yet (*size of them); null when none.
  const char* (*XERCES_DOM_getLoadedText)(XERCES_DOM_ctx* context, std::size_t* size);
  // Parses the loaded bytes as parseFile parses a file (in UTF-8), with the same checks and
  // error texts; the bytes are gone afterwards.
  int (*XERCES_DOM_parseLoaded)(XERCES_DOM_ctx* context, int mode);
  // Parses size bytes of text as parseFile would parse a file of that content named name (the
  // name only appears in error texts).
  int (*XERCES_DOM_parseText)(XERCES_DOM_ctx* context, const char* name, const char* text,
                              std::size_t size, int mode);
  // The XML text of the node and everything under it, as writeFile writes it, also where
  // writeFile would refuse the node: a new string (SM_free) of *size bytes that parseText reads
  // back into the same node; null for no node or a document.
  char* (*XERCES_DOM_writeNodeText)(XERCES_DOM_node* node, std::size_t* size);
  // parseLoaded, which shows visitor the document element and every node inside it, in document
  // order, as the checks of the parsed document pass them: a reader of the document walks it
  // once, with the checks. The visitor may read the document (a node's children are there when it
  // is shown) but not change it. What it was shown counts only when the parse returns 0: a fault
  // found further on fails the parse all the same, and the document, with every node, name and
  // value shown, is then gone. A visit's attribute arrays are valid only during the call; a
  // visitor that throws leaves the context with the parsed document and no error text.
  int (*XERCES_DOM_parseLoadedVisiting)(XERCES_DOM_ctx* context, int mode,
                                        XERCES_DOM_visitor_f visitor, void* user);
};

// The service keeps no state besides its documents: different documents may be made, parsed, read
// and released on different threads at the same time, as long as each document is used by one
// thread at a time.

// The service's operations; null until KVXML_init.
extern KVXML_vtbl_s* pvtbl_kvxml;
// Puts the service in place; 0 on success. May be called any number of times.
int KVXML_init();

// Whether text is well-formed UTF-8 made only of characters XML 1.0 allows (tab, LF, CR and
// from U+0020 on, without surrogates, U+FFFE and U+FFFF); when it is not and offset is not
// null, *offset is the byte offset of the first character it cannot hold. Null text is empty.
bool KVXML_is_xml_text(const char* text, std::size_t* offset);

VAVADOZ_EXPORTS_END

// The owner of one document of the service, which it releases when it goes: the one owner every
// holder of a document keeps. It moves, never copies.
class kvxml_document {
 public:
  kvxml_document() = default;
  explicit kvxml_document(XERCES_DOM_ctx* context) : context_(context) {}
  ~kvxml_document() { reset(); }
  kvxml_document(kvxml_document&& other) noexcept : context_(other.release()) {}
  kvxml_document& operator=(kvxml_document&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  kvxml_document(const kvxml_document&) = delete;
  kvxml_document& operator=(const kvxml_document&) = delete;

  XERCES_DOM_ctx* get() const { return context_; }
  // Hands the document over to the caller, who releases it.
  XERCES_DOM_ctx* release() {
    XERCES_DOM_ctx* context = context_;
    context_ = nullptr;
    return context;
  }
  // Releases the document held, if any, and holds context instead.
  void reset(XERCES_DOM_ctx* context = nullptr) {
    if (context_) pvtbl_kvxml->XERCES_DOM_release(context_);
    context_ = context;
  }

 private:
  XERCES_DOM_ctx* context_ = nullptr;
};
