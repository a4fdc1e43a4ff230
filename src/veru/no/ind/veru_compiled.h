// What a parsed definition or value file compiles to: records of 32-bit words that refer to
// texts of one table by offset, with no pointers, so that the same bytes serve from memory and
// from a start-up image. Reading checks every offset and count against the section's bounds.
#pragma once

#include <veru.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One compiled file: words, then texts, each text ending in a NUL.
struct veru_section_s {
  const std::uint32_t* words = nullptr;
  std::size_t word_count = 0;
  const char* texts = nullptr;
  std::size_t text_size = 0;
};

// The word that stands for a null text.
constexpr std::uint32_t VERU_NO_TEXT = 0xFFFFFFFFu;

// Builds a section in memory.
class veru_section_writer {
 public:
  void word(std::uint32_t value) { words_.push_back(value); }
  // Makes room at once for a section compiled from a file of that many bytes: its texts are
  // pieces of the file, so they take no more.
  void reserve_for_file(std::size_t file_size);
  // Adds the text (null as VERU_NO_TEXT) to the table and its offset to the words.
  void text(const char* text) { words_.push_back(add_text(text)); }
  void text(const char* text, std::size_t size) { words_.push_back(add_text(text, size)); }
  // The offset the text has in the table, added now (VERU_NO_TEXT for null). A text given with
  // its size ends in a NUL at text[size] all the same.
  std::uint32_t add_text(const char* text);
  std::uint32_t add_text(const char* text, std::size_t size);
  // The same for a name of an element or attribute: the few names a file uses are each kept once.
  std::uint32_t add_name(const char* name);
  std::size_t word_count() const { return words_.size(); }
  void set_word(std::size_t at, std::uint32_t value) { words_[at] = value; }
  // Whether the section fits the format: its words and texts are counted in 32 bits.
  bool fits() const { return words_.size() < VERU_NO_TEXT && texts_.size() < VERU_NO_TEXT; }
  veru_section_s section() const {
    return {words_.data(), words_.size(), texts_.data(), texts_.size()};
  }

 private:
  std::vector<std::uint32_t> words_;
  std::string texts_;
  // The names kept so far, as offsets into texts_ with their lengths, by a hash of the name; a
  // file uses a few dozen.
  struct kept_name_s {
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
  };
  std::array<kept_name_s, 128> names_{};
  std::size_t kept_names_ = 0;
};

// Reads a section's words in order. Any read beyond the words, or of a text offset outside the
// table, fails the reader: it then gives 0 and null, and ok() tells.
class veru_section_reader {
 public:
  explicit veru_section_reader(const veru_section_s& section) : section_(section) {}
  std::uint32_t word() {
    if (!ok_ || at_ >= section_.word_count) return fail(), 0;
    return section_.words[at_++];
  }
  // A text of the table; null for VERU_NO_TEXT. The table ends in a NUL (checked when the
  // section was taken in), so every offset inside it begins a text that ends inside it.
  const char* text() {
    const std::uint32_t offset = word();
    if (!ok_ || offset == VERU_NO_TEXT) return nullptr;
    if (offset >= section_.text_size) return fail(), nullptr;
    return section_.texts + offset;
  }
  // count words in place, or null (failing the reader) when fewer are left.
  const std::uint32_t* words(std::size_t count);
  // A count of records of at least record_words words each that the words left can hold.
  std::uint32_t count(std::size_t record_words);
  bool ok() const { return ok_; }
  bool at_end() const { return at_ == section_.word_count; }
  const veru_section_s& section() const { return section_; }

 private:
  bool fail() {
    ok_ = false;
    return false;
  }
  veru_section_s section_;
  std::size_t at_ = 0;
  bool ok_ = true;
};

// An element kept in a section: its name, its attributes in document order, and, when it has
// children, its whole XML text. Made again as an element on demand.
struct veru_element_record_s {
  const char* name = nullptr;
  const char* xml = nullptr;                  // null when the element has no children
  const std::uint32_t* attributes = nullptr;  // name and value text offsets, in pairs
  std::uint32_t attribute_count = 0;
  const char* texts = nullptr;  // the table the offsets refer to

  const char* attribute_name(std::uint32_t i) const { return texts + attributes[2 * i]; }
  const char* attribute_value(std::uint32_t i) const { return texts + attributes[2 * i + 1]; }
  // The value of the attribute of that name; null when there is none.
  const char* attribute(const char* name) const;
  bool empty() const { return name == nullptr; }
};

// The attributes of an element in document order, listed once for all that read them.
class veru_attribute_list {
 public:
  explicit veru_attribute_list(XERCES_DOM_node* element);
  // The attributes of an element as a walk of its document shows them; valid only during that
  // visit, as its arrays are.
  explicit veru_attribute_list(const XERCES_DOM_visit_s& element)
      : names_(element.attribute_names),
        values_(element.attribute_values),
        count_(element.attribute_count) {}
  veru_attribute_list(const veru_attribute_list&) = delete;
  veru_attribute_list& operator=(const veru_attribute_list&) = delete;
  int count() const { return count_; }
  const char* name(int i) const { return names_[i]; }
  const char* value(int i) const { return values_[i]; }
  // values[i] receives the value of the attribute named names[i], null when there is none, as
  // the XML service's getAttributes gives them.
  void find(const char* const* names, const char** values, int count) const;

 private:
  // Elements have a few attributes; a larger one is listed again in full.
  static constexpr int ROOM = 16;
  const char* room_names_[ROOM];
  const char* room_values_[ROOM];
  std::vector<const char*> more_names_;
  std::vector<const char*> more_values_;
  const char* const* names_ = room_names_;
  const char* const* values_ = room_values_;
  int count_ = 0;
};

// Writes the element's record; the texts of its attributes are added to the table and their
// offsets, in the element's order, go to *offsets (names and values in pairs), so that a caller
// may refer to them again.
void veru_write_element_record(veru_section_writer* writer, XERCES_DOM_node* element,
                               const veru_attribute_list& attributes,
                               std::vector<std::uint32_t>* offsets);
// Reads an element's record; false (the reader failed) when it does not fit the section.
bool veru_read_element_record(veru_section_reader* reader, veru_element_record_s* record);

// Makes elements of records in a document of its own, which lives as long as the maker.
class veru_element_maker {
 public:
  veru_element_maker();
  ~veru_element_maker();
  veru_element_maker(const veru_element_maker&) = delete;
  veru_element_maker& operator=(const veru_element_maker&) = delete;
  // The element the record keeps, unattached in the maker's document, or in context's document
  // when one is given; null when it cannot be made (a damaged record).
  XERCES_DOM_node* make(const veru_element_record_s& record, XERCES_DOM_ctx* context = nullptr);

 private:
  XERCES_DOM_ctx* document();
  XERCES_DOM_ctx* document_ = nullptr;
  XERCES_DOM_ctx* parsed_ = nullptr;  // where an element's XML text is parsed
};
