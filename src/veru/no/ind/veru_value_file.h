// A value file as the value loader reads it: compiled from its parse, or taken from its start-up
// image when one holds the same bytes. Either way the loader sees the same entries.
#pragma once

#include <veru.h>

#include <memory>
#include <string>
#include <vector>

#include "veru_compiled.h"
#include "veru_entry_attributes.h"
#include "veru_image.h"

// What the loader reads of a value file: the document element's name and default lock status,
// its Pref children with what reading them takes, in document order, and what a person wrote
// there by hand that the next save gives back (notes, in document order too).
struct veru_value_file_index {
  const char* root_name = nullptr;
  const char* default_lock_status = nullptr;
  std::vector<veru_entry_attributes_s> entries;
  std::vector<veru_file_note_s> notes;
};

// A value file read for a level. Owns what the index's texts point into.
class veru_parsed_file {
 public:
  veru_parsed_file();
  ~veru_parsed_file();
  veru_parsed_file(veru_parsed_file&& other) noexcept;
  veru_parsed_file& operator=(veru_parsed_file&& other) noexcept;

  // Reads the file of the level at path: the XML service's status, 0 when it parsed (else
  // error_text says why, as the parse of the file says it). The file's identity is taken before
  // its bytes are read. An image serves only for the very bytes read now.
  int parse(const char* path, int level);
  bool is_parsed() const { return parsed_; }
  const char* error_text() const { return error_.c_str(); }
  // Valid while the file is parsed.
  const veru_value_file_index& index() const { return index_; }
  // The identity of the file as it was before it was read (exists is false when it was not
  // there).
  const CFI_file_identity_s& file_identity() const { return identity_; }
  // The entry's element made again, unattached in context's document when one is given, else in
  // a document of the file's own; null when it cannot be made.
  XERCES_DOM_node* element(const veru_entry_attributes_s& entry,
                           XERCES_DOM_ctx* context = nullptr) const;

 private:
  // Takes in a compiled value file; false when the section is none (a damaged image).
  bool read(const veru_section_s& section);

  std::unique_ptr<veru_image> image_;
  std::unique_ptr<veru_section_writer> compiled_;
  veru_value_file_index index_;
  std::string error_;
  bool parsed_ = false;
  CFI_file_identity_s identity_{};
  mutable std::unique_ptr<veru_element_maker> maker_;
};

// Compiles a value file into writer as the checks of its parse walk it (the visitor of
// parseLoadedVisiting): the document element's name, default lock status and other attributes,
// its Pref children and the comments before them. finish() ends the section once the parse
// succeeded.
class veru_value_file_compiler {
 public:
  explicit veru_value_file_compiler(veru_section_writer* writer);
  static void visit(void* compiler, const XERCES_DOM_visit_s* node);
  void finish();

 private:
  void take(const XERCES_DOM_visit_s& node);
  void take_root(const XERCES_DOM_visit_s& root);
  void take_entry(const XERCES_DOM_visit_s& element);

  veru_section_writer* writer_;
  std::size_t root_at_ = 0;  // where the root's name, lock status and entry count go
  std::uint32_t count_ = 0;
  std::vector<veru_file_note_s> notes_;
  std::vector<std::uint32_t> offsets_;
};
// Compiles a value file that did not parse, with the parse's error text.
void veru_compile_value_file_failure(const char* error_text, veru_section_writer* writer);
