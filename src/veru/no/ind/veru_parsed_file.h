// A definition or value file parsed into a document of its own, with what its loader looks up in
// it before building from it.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "veru_entry_attributes.h"
#include "veru_xml.h"

// What a loader looks up in a parsed document before it builds from it: the elements it reads,
// with their attributes, pointing into the document. It is told the size of the file, to make
// room for what it finds at once.
class veru_file_index {
 public:
  virtual ~veru_file_index() = default;
};
using veru_indexer_f = std::unique_ptr<veru_file_index> (*)(XERCES_DOM_ctx* context,
                                                            std::size_t file_size);

// What the loader reads of a value file: the document element's name and default lock status,
// its Pref children with what reading them takes, in document order, and what a person wrote
// there by hand that the next save gives back (notes, in document order too).
class veru_value_file_index : public veru_file_index {
 public:
  const char* root_name = nullptr;
  const char* default_lock_status = nullptr;
  std::vector<veru_entry_attributes_s> entries;
  std::vector<veru_file_note_s> notes;
};

// A file parsed into a document of its own, with its loader's index. Owns the document.
class veru_parsed_file {
 public:
  veru_parsed_file() = default;

  // An empty document; raises VERU_ERROR_XML_INIT "Unable to initialize DOM" when it cannot be
  // made.
  static veru_parsed_file create();
  // Parses path into the document made by create and indexes it: the XML service's status, 0
  // when parsed (error_text then says why not).
  int parse(const char* path, int mode, veru_indexer_f indexer);

  bool is_parsed() const { return index_ != nullptr; }
  XERCES_DOM_ctx* context() const { return document_.get(); }
  const char* error_text() const;
  // Valid while the file is parsed.
  const veru_file_index& index() const { return *index_; }
  // The identity of the file as it was before it was parsed (exists is false when it was not
  // there).
  const CFI_file_identity_s& file_identity() const { return identity_; }

 private:
  // Declared before the index, which points into it, so that it goes after the index.
  kvxml_document document_;
  std::unique_ptr<veru_file_index> index_;
  CFI_file_identity_s identity_;
};
