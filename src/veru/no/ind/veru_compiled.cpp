// Sections of compiled files: writing them, reading them within their bounds, and making
// elements again from their records.
#include "veru_compiled.h"

#include <cstring>

#include "veru_xml.h"

std::uint32_t veru_section_writer::add_text(const char* text) {
  return text ? add_text(text, std::strlen(text)) : VERU_NO_TEXT;
}

std::uint32_t veru_section_writer::add_text(const char* text, std::size_t size) {
  if (!text) return VERU_NO_TEXT;
  const auto offset = static_cast<std::uint32_t>(texts_.size());
  texts_.append(text, size + 1);
  return offset;
}

std::uint32_t veru_section_writer::add_name(const char* name) {
  if (!name) return VERU_NO_TEXT;
  const std::size_t size = std::strlen(name);
  if (size == 0) return add_text(name, 0);
  // Open addressing over the length and the first and last letters; a slot of size 0 is free,
  // and at most half the slots are taken, so that a search always ends.
  std::size_t slot = (size * 31 + static_cast<unsigned char>(name[0]) * 7 +
                      static_cast<unsigned char>(name[size - 1])) %
                     names_.size();
  for (; names_[slot].size != 0; slot = (slot + 1) % names_.size()) {
    const kept_name_s& kept = names_[slot];
    if (kept.size == size && std::memcmp(texts_.data() + kept.offset, name, size) == 0) {
      return kept.offset;
    }
  }
  const std::uint32_t offset = add_text(name, size);
  // Past that, the names are not a file's vocabulary but its content: kept as texts.
  if (kept_names_ < names_.size() / 2) {
    names_[slot] = {offset, static_cast<std::uint32_t>(size)};
    ++kept_names_;
  }
  return offset;
}

void veru_section_writer::reserve_for_file(std::size_t file_size) {
  texts_.reserve(file_size);
  // Some forty words for an element of some two hundred bytes.
  words_.reserve(file_size / 5);
}

veru_attribute_list::veru_attribute_list(XERCES_DOM_node* element)
    : count_(pvtbl_kvxml->XERCES_DOM_getAttributeList(element, room_names_, room_values_, ROOM)) {
  if (count_ <= ROOM) return;
  more_names_.resize(static_cast<std::size_t>(count_));
  more_values_.resize(static_cast<std::size_t>(count_));
  pvtbl_kvxml->XERCES_DOM_getAttributeList(element, more_names_.data(), more_values_.data(),
                                           count_);
  names_ = more_names_.data();
  values_ = more_values_.data();
}

namespace {

// Attribute names are short, and most that are compared differ in their first letter.
bool same_name(const char* a, const char* b) {
  while (*a == *b && *a) ++a, ++b;
  return *a == *b;
}

}  // namespace

void veru_attribute_list::find(const char* const* names, const char** values, int count) const {
  for (int i = 0; i < count; ++i) values[i] = nullptr;
  // Elements tend to give their attributes in the order asked for, so each search starts after
  // the name found last; the first of two attributes of one name counts.
  int next = 0;
  for (int a = 0; a < count_; ++a) {
    const char* name = names_[a];
    for (int tried = 0, i = next; tried < count; ++tried, i = i + 1 == count ? 0 : i + 1) {
      if (!values[i] && same_name(names[i], name)) {
        values[i] = values_[a];
        next = i + 1 == count ? 0 : i + 1;
        break;
      }
    }
  }
}

const std::uint32_t* veru_section_reader::words(std::size_t count) {
  if (!ok_ || count > section_.word_count - at_) return fail(), nullptr;
  const std::uint32_t* first = section_.words + at_;
  at_ += count;
  return first;
}

std::uint32_t veru_section_reader::count(std::size_t record_words) {
  const std::uint32_t value = word();
  if (ok_ && record_words > 0 && value > (section_.word_count - at_) / record_words) {
    return fail(), 0;
  }
  return value;
}

const char* veru_element_record_s::attribute(const char* wanted) const {
  for (std::uint32_t i = 0; i < attribute_count; ++i) {
    if (std::strcmp(attribute_name(i), wanted) == 0) return attribute_value(i);
  }
  return nullptr;
}

void veru_write_element_record(veru_section_writer* writer, XERCES_DOM_node* element,
                               const veru_attribute_list& attributes,
                               std::vector<std::uint32_t>* offsets) {
  writer->word(writer->add_name(pvtbl_kvxml->XERCES_DOM_getNodeName(element)));
  char* xml = nullptr;
  std::size_t xml_size = 0;
  if (pvtbl_kvxml->XERCES_DOM_getFirstChild(element)) {
    xml = pvtbl_kvxml->XERCES_DOM_writeNodeText(element, &xml_size);
  }
  writer->text(xml, xml_size);
  SM_free(xml);
  const int count = attributes.count();
  writer->word(static_cast<std::uint32_t>(count));
  offsets->clear();
  for (int i = 0; i < count; ++i) {
    offsets->push_back(writer->add_name(attributes.name(i)));
    offsets->push_back(writer->add_text(attributes.value(i)));
  }
  for (const std::uint32_t offset : *offsets) writer->word(offset);
}

bool veru_read_element_record(veru_section_reader* reader, veru_element_record_s* record) {
  record->texts = reader->section().texts;
  record->name = reader->text();
  record->xml = reader->text();
  record->attribute_count = reader->count(2);
  record->attributes = reader->words(2 * std::size_t{record->attribute_count});
  if (!reader->ok() || !record->name) return false;
  const std::size_t text_size = reader->section().text_size;
  for (std::uint32_t i = 0; i < 2 * record->attribute_count; ++i) {
    if (record->attributes[i] >= text_size) return false;
  }
  return true;
}

veru_element_maker::veru_element_maker() = default;

veru_element_maker::~veru_element_maker() {
  if (document_) pvtbl_kvxml->XERCES_DOM_release(document_);
  if (parsed_) pvtbl_kvxml->XERCES_DOM_release(parsed_);
}

XERCES_DOM_ctx* veru_element_maker::document() {
  if (!document_) document_ = veru_document().release();
  return document_;
}

XERCES_DOM_node* veru_element_maker::make(const veru_element_record_s& record,
                                          XERCES_DOM_ctx* context) {
  if (!context) context = document();
  if (record.xml) {
    // An element with children is parsed from its text, then copied where it is wanted.
    if (!parsed_) parsed_ = veru_document().release();
    if (pvtbl_kvxml->XERCES_DOM_parseText(parsed_, record.name, record.xml, std::strlen(record.xml),
                                          VERU_VALUE_FILE_MODE) != 0) {
      return nullptr;
    }
    XERCES_DOM_node* root =
        pvtbl_kvxml->XERCES_DOM_getDocumentElement(pvtbl_kvxml->XERCES_DOM_getDocument(parsed_));
    return root ? pvtbl_kvxml->XERCES_DOM_importNode(context, root, true) : nullptr;
  }
  XERCES_DOM_node* element = pvtbl_kvxml->XERCES_DOM_createElement(context, record.name);
  if (!element) return nullptr;
  for (std::uint32_t i = 0; i < record.attribute_count; ++i) {
    pvtbl_kvxml->XERCES_DOM_setAttribute(element, record.attribute_name(i),
                                         record.attribute_value(i));
  }
  return element;
}
