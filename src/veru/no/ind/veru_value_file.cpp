// Value files compiled for the value loader, from their parse or from their start-up image.
#include "veru_value_file.h"

#include <cstring>
#include <utility>

#include "veru_xml.h"

namespace {

enum : std::uint32_t { PARSED = 0, NOT_PARSED = 1 };

// The words of an entry beyond its element's record: name, value, locked, modified, comment,
// whether modified has a time, the time.
constexpr std::size_t ENTRY_WORDS = 7;
// The fewest words of an element's record: name, XML text, attribute count.
constexpr std::size_t RECORD_WORDS = 3;
// The words of a note: the entry it belongs to, its name, its text.
constexpr std::size_t NOTE_WORDS = 3;

}  // namespace

veru_value_file_compiler::veru_value_file_compiler(veru_section_writer* writer) : writer_(writer) {
  writer_->word(PARSED);
  root_at_ = writer_->word_count();
  writer_->word(VERU_NO_TEXT);  // the root's name
  writer_->word(VERU_NO_TEXT);  // its default lock status
  writer_->word(0);             // the number of entries
}

void veru_value_file_compiler::visit(void* compiler, const XERCES_DOM_visit_s* node) {
  static_cast<veru_value_file_compiler*>(compiler)->take(*node);
}

void veru_value_file_compiler::take(const XERCES_DOM_visit_s& node) {
  if (node.depth == 0) {
    take_root(node);
    return;
  }
  if (node.depth != 1) return;
  // The comments a person wrote stand before the entry that follows them.
  if (node.type == XERCES_DOM_COMMENT_NODE) {
    notes_.push_back({static_cast<int>(count_), nullptr, node.value});
    return;
  }
  if (node.type == XERCES_DOM_ELEMENT_NODE && std::strcmp(node.name, "Pref") == 0) take_entry(node);
}

void veru_value_file_compiler::take_root(const XERCES_DOM_visit_s& root) {
  writer_->set_word(root_at_, writer_->add_text(root.name));
  const veru_attribute_list list(root);
  const char* default_lock_status = nullptr;
  for (int i = 0; i < list.count(); ++i) {
    if (std::strcmp(list.name(i), "defaultLockStatus") != 0) {
      notes_.push_back({-1, list.name(i), list.value(i)});
    } else if (!default_lock_status) {
      default_lock_status = list.value(i);
    }
  }
  writer_->set_word(root_at_ + 1, writer_->add_text(default_lock_status));
}

void veru_value_file_compiler::take_entry(const XERCES_DOM_visit_s& element) {
  const int entry = static_cast<int>(count_++);
  const veru_attribute_list list(element);
  veru_write_element_record(writer_, element.node, list, &offsets_);
  const veru_entry_attributes_s attributes =
      veru_read_entry_attributes(element.node, list, &notes_, entry);
  // The entry's attributes are texts of its record already: the same values, listed in the same
  // order.
  const char* const read[4] = {attributes.name, attributes.value, attributes.locked,
                               attributes.modified};
  for (const char* field : read) {
    std::uint32_t offset = VERU_NO_TEXT;
    for (int i = 0; i < list.count() && field; ++i) {
      if (list.value(i) == field) {
        offset = offsets_[2 * static_cast<std::size_t>(i) + 1];
        break;
      }
    }
    writer_->word(offset);
  }
  writer_->text(attributes.comment);
  writer_->word(attributes.has_modified_time ? 1 : 0);
  writer_->word(static_cast<std::uint32_t>(attributes.modified_time));
}

void veru_value_file_compiler::finish() {
  writer_->set_word(root_at_ + 2, count_);
  writer_->word(static_cast<std::uint32_t>(notes_.size()));
  for (const veru_file_note_s& note : notes_) {
    writer_->word(static_cast<std::uint32_t>(note.entry));
    writer_->text(note.name);
    writer_->text(note.text);
  }
}

void veru_compile_value_file_failure(const char* error_text, veru_section_writer* writer) {
  writer->word(NOT_PARSED);
  writer->text(error_text ? error_text : "");
}

veru_parsed_file::veru_parsed_file() = default;
veru_parsed_file::~veru_parsed_file() = default;
veru_parsed_file::veru_parsed_file(veru_parsed_file&& other) noexcept = default;
veru_parsed_file& veru_parsed_file::operator=(veru_parsed_file&& other) noexcept = default;

bool veru_parsed_file::read(const veru_section_s& section) {
  index_ = veru_value_file_index();
  parsed_ = false;
  veru_section_reader reader(section);
  const std::uint32_t status = reader.word();
  if (status == NOT_PARSED) {
    const char* error = reader.text();
    if (!error || !reader.at_end()) return false;
    error_ = error;
    return true;
  }
  if (status != PARSED) return false;
  index_.root_name = reader.text();
  index_.default_lock_status = reader.text();
  const std::uint32_t count = reader.count(RECORD_WORDS + ENTRY_WORDS);
  index_.entries.resize(count);
  for (veru_entry_attributes_s& entry : index_.entries) {
    if (!veru_read_element_record(&reader, &entry.record)) return false;
    entry.name = reader.text();
    entry.value = reader.text();
    entry.locked = reader.text();
    entry.modified = reader.text();
    entry.comment = reader.text();
    entry.has_modified_time = reader.word() != 0;
    entry.modified_time = static_cast<int>(reader.word());
  }
  const std::uint32_t notes = reader.count(NOTE_WORDS);
  index_.notes.resize(notes);
  for (veru_file_note_s& note : index_.notes) {
    note.entry = static_cast<int>(reader.word());
    note.name = reader.text();
    note.text = reader.text();
    // A note belongs to the root (-1) or stands before an entry or after the last one.
    if (note.entry < -1 || note.entry > static_cast<int>(count) || !note.text ||
        (note.entry == -1 && !note.name)) {
      return false;
    }
  }
  if (!reader.ok() || !reader.at_end()) return false;
  parsed_ = true;
  return true;
}

int veru_parsed_file::parse(const char* path, int level) {
  *this = veru_parsed_file();
  CFI_ask_file_identity(path, &identity_);
  const veru_document document;
  XERCES_DOM_ctx* context = document.context();
  int status = pvtbl_kvxml->XERCES_DOM_loadFile(context, path);
  if (status != 0) {
    error_ = pvtbl_kvxml->XERCES_DOM_getErrorText(context);
    return status;
  }
  std::size_t size = 0;
  const char* bytes = pvtbl_kvxml->XERCES_DOM_getLoadedText(context, &size);
  std::unique_ptr<veru_image_writer> writer;
  if (!veru_image_folder().empty()) {
    veru_image_hasher hasher;
    veru_start_image_key(&hasher, level);
    hasher.add_text(path);
    hasher.add(bytes, size);
    const veru_image_key_s key = hasher.key();
    image_ = veru_image::open(level, key);
    // An image that does not read as a value file is passed over for the file itself.
    if (image_ && image_->sections().size() == 1 && read(image_->sections()[0])) {
      return parsed_ ? 0 : EINVAL;
    }
    image_.reset();
    writer = std::make_unique<veru_image_writer>(level, key);
  }
  compiled_ = std::make_unique<veru_section_writer>();
  compiled_->reserve_for_file(size);
  veru_value_file_compiler compiler(compiled_.get());
  status = pvtbl_kvxml->XERCES_DOM_parseLoadedVisiting(context, VERU_VALUE_FILE_MODE,
                                                       veru_value_file_compiler::visit, &compiler);
  if (status == 0) {
    compiler.finish();
  } else {
    // What the walk compiled before the fault is dropped.
    compiled_ = std::make_unique<veru_section_writer>();
    veru_compile_value_file_failure(pvtbl_kvxml->XERCES_DOM_getErrorText(context), compiled_.get());
  }
  if (!compiled_->fits() || !read(compiled_->section())) {
    ERROR_internal("src/veru/no/ind/veru_value_file", __LINE__,
                   "compiled value file %s does not read", path);
  }
  // A failure is not kept: it may come from the moment (memory, a file that cannot be read
  // again) rather than from the bytes, and the next start should try again.
  if (writer && parsed_) {
    writer->add(compiled_->section());
    writer->finish();
  }
  return parsed_ ? 0 : status;
}

XERCES_DOM_node* veru_parsed_file::element(const veru_entry_attributes_s& entry,
                                           XERCES_DOM_ctx* context) const {
  if (!maker_) maker_ = std::make_unique<veru_element_maker>();
  return maker_->make(entry.record, context);
}
