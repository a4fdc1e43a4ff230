// XML document service on pugixml. Unattached nodes wait in a holder element at the end of the
// document, which the navigation operations and the writer never show.
#include <vavadoz/kvxml.h>

#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <vavadoz/cfi.h>
#include <vavadoz/sm.h>
#include "kvxml_checks.h"

struct loaded_text_s;

struct XERCES_DOM_ctx {
  pugi::xml_document document;
  pugi::xml_node holder;
  std::string error;
  // Bytes that loadFile read and no parse has taken yet (shared only so that the context needs no
  // destructor of its own while the type is incomplete here).
  std::shared_ptr<loaded_text_s> loaded;
};

namespace {

const char* const HOLDER_NAME = "kvxml:unattached";
// Largest file the service reads; more is refused rather than exhausting memory.
constexpr off_t MAX_FILE_SIZE = off_t{1} << 30;

// Handles are pugixml's node records under the service's own opaque name.
pugi::xml_node node_of(XERCES_DOM_node* node) {
  return pugi::xml_node(reinterpret_cast<pugi::xml_node_struct*>(node));
}

XERCES_DOM_node* handle_of(const pugi::xml_node& node) {
  return reinterpret_cast<XERCES_DOM_node*>(node.internal_object());
}

// The DOM's number for the node's type; 0 for no node.
int type_of(const pugi::xml_node& node) {
  switch (node.type()) {
    case pugi::node_element:
      return XERCES_DOM_ELEMENT_NODE;
    case pugi::node_pcdata:
      return XERCES_DOM_TEXT_NODE;
    case pugi::node_cdata:
      return XERCES_DOM_CDATA_SECTION_NODE;
    case pugi::node_pi:
    case pugi::node_declaration:
      return XERCES_DOM_PROCESSING_INSTRUCTION_NODE;
    case pugi::node_comment:
      return XERCES_DOM_COMMENT_NODE;
    case pugi::node_document:
      return XERCES_DOM_DOCUMENT_NODE;
    case pugi::node_doctype:
      return XERCES_DOM_DOCUMENT_TYPE_NODE;
    case pugi::node_null:
      break;
  }
  return 0;
}

// Names rarely begin as the holder's does, so the name is looked at first: every step from node to
// node asks this.
bool is_holder(const pugi::xml_node& node) {
  const char* name = node.name();
  return name[0] == HOLDER_NAME[0] && std::strcmp(name, HOLDER_NAME) == 0 &&
         node.type() == pugi::node_element && node.parent().type() == pugi::node_document;
}

pugi::xml_node skip_holder(pugi::xml_node node) {
  return is_holder(node) ? node.next_sibling() : node;
}

pugi::xml_node holder_of(XERCES_DOM_ctx* context) {
  if (!context->holder) {
    context->holder = context->document.append_child(pugi::node_element);
    context->holder.set_name(HOLDER_NAME);
  }
  return context->holder;
}

// "line:column" of a place in the file: offset bytes from its start, then index more bytes as
// the parser left them, where a CR LF pair is one. Parsing changes its buffer in place, so the
// file is read again (only when a parse fails). Lines end at LF, CR LF or CR; columns count
// bytes. In a file that the parser converted from another encoding than UTF-8 the place is
// approximate. Text given in memory (text not null) is counted in place of the file.
std::string position_of(const char* path, std::ptrdiff_t offset, std::size_t index = 0,
                        const std::string_view* text = nullptr) {
  int line = 1;
  std::ptrdiff_t column = 1;
  bool after_cr = false;
  int fd = text ? -1 : open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd >= 0 || text) {
    char chunk[65536];
    std::ptrdiff_t position = 0;
    std::size_t counted = 0;
    ssize_t got = 0;
    std::size_t given = 0;
    const auto next_chunk = [&]() -> ssize_t {
      if (fd >= 0) return read(fd, chunk, sizeof chunk);
      const std::size_t length = std::min(sizeof chunk, text->size() - given);
      std::memcpy(chunk, text->data() + given, length);
      given += length;
      return static_cast<ssize_t>(length);
    };
    while ((position < offset || counted < index) && (got = next_chunk()) > 0) {
      for (ssize_t i = 0; i < got && (position < offset || counted < index); ++i, ++position) {
        const bool pair = chunk[i] == '\n' && after_cr;
        if (position >= offset && !pair) ++counted;
        after_cr = chunk[i] == '\r';
        if (chunk[i] == '\r' || (chunk[i] == '\n' && !pair)) {
          ++line;
          column = 1;
        } else if (!pair) {
          ++column;
        }
      }
    }
    if (fd >= 0) close(fd);
  }
  return std::to_string(line) + ":" + std::to_string(column);
}

// A file open to read, closed with it.
class input_file {
 public:
  input_file() : fd_(-1) {}
  explicit input_file(const char* path)
      : fd_(open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)) {}
  ~input_file() {
    if (fd_ >= 0) close(fd_);
  }
  input_file(const input_file&) = delete;
  input_file& operator=(const input_file&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

// The text of an errno value; unlike strerror's, safe while other threads parse files.
std::string error_text(int number) {
  char text[256];
  return strerror_r(number, text, sizeof text);
}

void free_text(char* text) {
  pugi::get_memory_deallocation_function()(text);
}
using text_ptr = std::unique_ptr<char, decltype(&free_text)>;

// Reads up to length bytes of the file open at fd from offset into to; returns how many it read
// (fewer at its end or on an error).
std::size_t read_at(int fd, char* to, std::size_t length, std::size_t offset) {
  std::size_t filled = 0;
  while (filled < length) {
    ssize_t got = pread(fd, to + filled, length - filled, static_cast<off_t>(offset + filled));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    filled += static_cast<std::size_t>(got);
  }
  return filled;
}

// Reads the regular file open at fd whole into memory from pugixml's allocator (with room for a
// NUL after it); sets error on failure.
char* read_file(int fd, const char* path, std::size_t* size, std::string* error) {
  struct stat status {};
  if (fd < 0 || fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) ||
      status.st_size > MAX_FILE_SIZE) {
    const int number = errno;
    *error = std::string(path) + ": " +
             (fd < 0                     ? error_text(number)
              : !S_ISREG(status.st_mode) ? "not a regular file"
                                         : "file too large to read");
    return nullptr;
  }
  auto capacity = static_cast<std::size_t>(status.st_size);
  auto* buffer = static_cast<char*>(pugi::get_memory_allocation_function()(capacity + 1));
  if (!buffer || read_at(fd, buffer, capacity, 0) != capacity) {
    const int number = errno;
    *error = std::string(path) + ": " + (buffer ? error_text(number) : "out of memory");
    free_text(buffer);
    return nullptr;
  }
  *size = capacity;
  return buffer;
}

// The parser is told to report declarations (to check where they are) and, in fragment mode, to
// keep text that stands outside the root element (to refuse it rather than drop it without a
// word).
unsigned parse_options(int mode) {
  unsigned options =
      pugi::parse_default | pugi::parse_fragment | pugi::parse_declaration | pugi::parse_doctype;
  if (!(mode & XERCES_DOM_PARSE_DROP_BLANK_TEXT)) {
    options |= pugi::parse_ws_pcdata;
  } else if (mode & XERCES_DOM_PARSE_KEEP_SOLE_BLANK_TEXT) {
    options |= pugi::parse_ws_pcdata_single;
  }
  if (mode & XERCES_DOM_PARSE_KEEP_MARKUP) options |= pugi::parse_comments | pugi::parse_pi;
  return options;
}

// The encoding the parser finds for a file (from a byte order mark, its first characters or the
// XML declaration), asked of it on the beginning of the file only.
pugi::xml_encoding encoding_of(const char* data, std::size_t size) {
  pugi::xml_document probe;
  return probe
      .load_buffer(data, std::min<std::size_t>(size, 1024), pugi::parse_minimal,
                   pugi::encoding_auto)
      .encoding;
}

// The name iconv knows an encoding other than UTF-8 by, that the parser may find.
const char* iconv_name(pugi::xml_encoding encoding) {
  switch (encoding) {
    case pugi::encoding_utf16_le:
      return "UTF-16LE";
    case pugi::encoding_utf16_be:
      return "UTF-16BE";
    case pugi::encoding_utf32_le:
      return "UTF-32LE";
    case pugi::encoding_utf32_be:
      return "UTF-32BE";
    case pugi::encoding_latin1:
      return "ISO-8859-1";
    default:
      return nullptr;
  }
}

// Bytes per character of an encoding the parser finds.
std::size_t unit_of(pugi::xml_encoding encoding) {
  switch (encoding) {
    case pugi::encoding_utf16_le:
    case pugi::encoding_utf16_be:
      return 2;
    case pugi::encoding_utf32_le:
    case pugi::encoding_utf32_be:
      return 4;
    default:
      return 1;
  }
}

// Byte offset of the first NUL character of a file in an encoding of unit bytes; -1 when none.
std::ptrdiff_t nul_offset(const char* data, std::size_t size, std::size_t unit) {
  if (unit == 1) {
    const void* nul = std::memchr(data, 0, size);
    return nul ? static_cast<const char*>(nul) - data : -1;
  }
  for (std::size_t i = 0; i + unit <= size; i += unit) {
    bool zero = true;
    for (std::size_t byte = 0; byte < unit; ++byte) zero = zero && data[i + byte] == 0;
    if (zero) return static_cast<std::ptrdiff_t>(i);
  }
  return -1;
}

// The file's text in UTF-8, converted from the encoding iconv knows as from into a new buffer from
// pugixml's allocator (with room for a NUL after it), which replaces *data and *size; false, with
// the offset of what cannot be converted in *bad, when the text is not in that encoding.
bool convert_to_utf8(const char* from, char** data, std::size_t* size, std::size_t* bad) {
  *bad = 0;
  iconv_t converter = iconv_open("UTF-8", from);
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  // UTF-8 takes at most twice the bytes of any of the encodings converted.
  const std::size_t capacity = 2 * *size + 4;
  auto* converted = static_cast<char*>(pugi::get_memory_allocation_function()(capacity + 1));
  char* in = *data;
  std::size_t in_left = *size;
  char* out = converted;
  std::size_t out_left = capacity;
  const bool done =
      converted && iconv(converter, &in, &in_left, &out, &out_left) != static_cast<std::size_t>(-1);
  iconv_close(converter);
  if (!done) {
    *bad = *size - in_left;
    pugi::get_memory_deallocation_function()(converted);
    return false;
  }
  pugi::get_memory_deallocation_function()(*data);
  *data = converted;
  *size = capacity - out_left;
  return true;
}

// [start, end) of the document type declaration in the parse buffer; {-1, -1} when there is none.
std::pair<std::ptrdiff_t, std::ptrdiff_t> doctype_of(const pugi::xml_document& document,
                                                     const char* buffer) {
  for (pugi::xml_node child = document.first_child(); child; child = child.next_sibling()) {
    if (child.type() != pugi::node_doctype) continue;
    // Its value is what follows "<!DOCTYPE" and blanks; the parser ended it at the closing '>'.
    const char* value = child.value();
    const char* start = value;
    while (start > buffer && start[-1] != '<') --start;
    return {start - 1 - buffer, value + std::strlen(value) + 1 - buffer};
  }
  return {-1, -1};
}

// The checks of a parsed document beyond its top level: the references of its text, when the
// scan before parsing found a doubtful one, and the elements. raw_text gives the text as it was
// before parsing. The first fault in the text wins.
void check_content(pugi::xml_document& document, const char* buffer,
                   const kvxml::references_s& references, const kvxml::raw_text_f& raw_text,
                   kvxml::checked_node_visitor* visitor, kvxml::fault_s* fault) {
  kvxml::fault_s reference_fault;
  if (references.doubtful) {
    const std::string_view text = raw_text(0, std::string_view::npos);
    const auto doctype = doctype_of(document, buffer);
    if (text.empty()) {
      reference_fault.message = "file that cannot be read again to check its references";
    } else {
      kvxml::check_references(text.data(), text.size(), doctype.first, doctype.second,
                              &reference_fault);
    }
  }
  kvxml::fault_s element_fault;
  kvxml::check_elements(document, buffer, references.to_lt, raw_text, &element_fault, visitor);
  const bool reference_first =
      !reference_fault.message.empty() &&
      (element_fault.message.empty() || reference_fault.offset < element_fault.offset);
  *fault = reference_first ? reference_fault : element_fault;
}

// The file's text as the stages of reading pass it on.
struct text_s {
  // The text from pugixml's allocator, with room for a NUL after it, until the parse takes it.
  text_ptr buffer{nullptr, free_text};
  std::size_t size = 0;
  // Where the parser's document keeps the text once it has taken it; the parse changes it.
  const char* parsed = nullptr;
  // The file was in another encoding; the text is its conversion to UTF-8.
  bool converted = false;
  // A copy of the converted text before parsing; null when none was made or could be.
  text_ptr before_parse{nullptr, free_text};
  kvxml::references_s references;
};

// Stage one: the file's bytes, or the text of why they cannot be read.
std::string read_stage(const input_file& file, const char* path, text_s* text) {
  std::string error;
  text->buffer.reset(read_file(file.fd(), path, &text->size, &error));
  return error;
}

// A fault with the encoding or characters of the text. A fault of characters is not final: the
// parse still runs, and a fault it or the tree checks find earlier in the text wins.
struct byte_fault_s {
  kvxml::fault_s fault;
  bool final = false;
};

// Stage two: the text in UTF-8 and the faults of its bytes. Bytes that are not UTF-8, and
// characters XML does not allow (NUL among them), are found before the parse changes the text;
// a file in another encoding is checked in UTF-8, so places in it are then approximate.
byte_fault_s check_bytes_stage(text_s* text) {
  byte_fault_s found;
  const pugi::xml_encoding encoding = encoding_of(text->buffer.get(), text->size);
  const char* from = iconv_name(encoding);
  const std::size_t unit = unit_of(encoding);
  // In a file parsed as it is read, the check of characters finds any NUL, so only a file it
  // finds fault with is searched for one.
  const bool as_read = !from && unit == 1;
  if (as_read) kvxml::check_characters(text->buffer.get(), text->size, &found.fault);
  const std::ptrdiff_t nul = as_read && found.fault.message.empty()
                                 ? -1
                                 : nul_offset(text->buffer.get(), text->size, unit);
  if (nul >= 0) return {{"NUL character", nul}, true};
  if (from) {
    char* data = text->buffer.release();
    std::size_t bad = 0;
    text->converted = convert_to_utf8(from, &data, &text->size, &bad);
    text->buffer.reset(data);
    if (!text->converted) {
      return {{std::string("not ") + from + " text", static_cast<std::ptrdiff_t>(bad)}, true};
    }
    // The few checks after the parse that need a piece of the text as it was take it from here.
    text->before_parse.reset(
        static_cast<char*>(pugi::get_memory_allocation_function()(text->size)));
    if (text->before_parse) {
      std::memcpy(text->before_parse.get(), text->buffer.get(), text->size);
    }
  }
  // The terminating zero is parsed too: in fragment mode pugixml would otherwise drop the last
  // character of text that ends the file.
  text->buffer.get()[text->size] = '\0';
  if (!as_read) kvxml::check_characters(text->buffer.get(), text->size, &found.fault);
  text->references = kvxml::scan_references(text->buffer.get(), text->size);
  return found;
}

// Stage three: the document parsed from the text, which it owns from here on, also when parsing
// fails.
kvxml::fault_s parse_stage(pugi::xml_document& document, text_s* text, int mode) {
  text->parsed = text->buffer.get();
  const pugi::xml_parse_result result = document.load_buffer_inplace_own(
      text->buffer.release(), text->size + 1, parse_options(mode), pugi::encoding_utf8);
  if (result) return {};
  return {result.description(), result.offset};
}

// Stage four: the checks of the parsed tree. A piece of the text before parsing is read again
// from the file (it is open still, so a file put in its place does not count), or taken from the
// copy kept when it was converted or given in memory.
kvxml::fault_s check_tree_stage(pugi::xml_document& document, const text_s& text,
                                const input_file& file, kvxml::checked_node_visitor* visitor) {
  kvxml::fault_s fault;
  if (!kvxml::check_top_level(document, text.parsed, &fault)) return fault;
  std::string piece;
  const kvxml::raw_text_f raw_text = [&](std::size_t offset,
                                         std::size_t length) -> std::string_view {
    const bool from_copy = text.converted || file.fd() < 0;
    if (offset >= text.size || (from_copy && !text.before_parse)) return {};
    length = std::min(length, text.size - offset);
    if (from_copy) {
      piece.assign(text.before_parse.get() + offset, length);
    } else {
      piece.resize(length);
      piece.resize(read_at(file.fd(), piece.data(), length, offset));
    }
    return piece;
  };
  check_content(document, text.parsed, text.references, raw_text, visitor, &fault);
  return fault;
}

// The fault a reading reports: the fault of characters when it comes no later in the text than
// the fault of the parse or the tree checks, or when those have none or no place.
kvxml::fault_s earliest(const kvxml::fault_s& characters, const kvxml::fault_s& later) {
  const bool characters_first =
      !characters.message.empty() &&
      (later.message.empty() || later.offset < 0 || characters.offset <= later.offset);
  return characters_first ? characters : later;
}

XERCES_DOM_ctx* dom_create(int* error, const char* encoding, int /*flags*/) {
  if (error) *error = 0;
  if (encoding && strcasecmp(encoding, "UTF-8") != 0) {
    if (error) *error = EINVAL;
    return nullptr;
  }
  return new XERCES_DOM_ctx();
}

void dom_release(XERCES_DOM_ctx* context) {
  delete context;
}

}  // namespace

// The bytes of a file read but not parsed yet, with the file they came from, open still: the
// checks after the parse read pieces of the text as it was from it. Text given in memory has no
// file and keeps a copy instead.
struct loaded_text_s {
  input_file file;
  text_s text;
  std::string name;  // the file's name in error texts
  explicit loaded_text_s(const char* path) : file(path) {}
  loaded_text_s() = default;
};

namespace {

// Empties the context's document and what it loaded, before a new load or parse.
void reset_context(XERCES_DOM_ctx* context) {
  context->error.clear();
  context->holder = pugi::xml_node();
  context->document.reset();
  context->loaded.reset();
}

int dom_load_file(XERCES_DOM_ctx* context, const char* path) {
  if (!context) return EINVAL;
  reset_context(context);
  if (!path || !*path) {
    context->error = "no file name given";
    return EINVAL;
  }
  auto loaded = std::make_shared<loaded_text_s>(path);
  context->error = read_stage(loaded->file, path, &loaded->text);
  if (!context->error.empty()) return EIO;
  loaded->name = path;
  context->loaded = std::move(loaded);
  return 0;
}

const char* dom_get_loaded_text(XERCES_DOM_ctx* context, std::size_t* size) {
  const text_s* text = context && context->loaded ? &context->loaded->text : nullptr;
  if (size) *size = text ? text->size : 0;
  return text ? text->buffer.get() : nullptr;
}

// Shows a reader's visitor the document element and the nodes inside it as the checks pass them.
class reader_visit final : public kvxml::checked_node_visitor {
 public:
  reader_visit(XERCES_DOM_visitor_f visitor, void* user) : visitor_(visitor), user_(user) {}

  void visit(const pugi::xml_node& node, int depth, const pugi::xml_attribute* attributes,
             const char* const* names, int count) override {
    const int type = type_of(node);
    const bool element = type == XERCES_DOM_ELEMENT_NODE;
    // Beside the document element there are only declarations, comments and blanks.
    if (depth == 0 && !element) return;
    XERCES_DOM_visit_s visit{handle_of(node), type, depth, nullptr, nullptr, names, nullptr, 0};
    if (element) {
      visit.name = node.name();
      values_.resize(static_cast<std::size_t>(count));
      for (int i = 0; i < count; ++i) values_[static_cast<std::size_t>(i)] = attributes[i].value();
      visit.attribute_values = values_.data();
      visit.attribute_count = count;
    } else {
      visit.value = node.value();
    }
    visitor_(user_, &visit);
  }

 private:
  XERCES_DOM_visitor_f visitor_;
  void* user_;
  std::vector<const char*> values_;
};

// Parses the loaded text in stages: check its bytes, parse, check the tree, showing visitor (when
// there is one) the nodes the checks pass. A stage runs only when those before it leave the text
// fit for it.
int dom_parse_loaded_visiting(XERCES_DOM_ctx* context, int mode, XERCES_DOM_visitor_f visitor,
                              void* user) {
  if (!context) return EINVAL;
  if (!context->loaded) {
    context->error = "no text loaded to parse";
    return EINVAL;
  }
  const std::shared_ptr<loaded_text_s> loaded = std::move(context->loaded);
  text_s& text = loaded->text;
  kvxml::fault_s fault;
  byte_fault_s bytes = check_bytes_stage(&text);
  if (bytes.final) {
    fault = std::move(bytes.fault);
  } else {
    kvxml::fault_s later = parse_stage(context->document, &text, mode);
    if (later.message.empty()) {
      reader_visit reader(visitor, user);
      later = check_tree_stage(context->document, text, loaded->file, visitor ? &reader : nullptr);
    }
    fault = earliest(bytes.fault, later);
  }
  if (!fault.message.empty()) {
    context->document.reset();
    // Text given in memory is counted in its copy; without one, nothing is counted.
    std::string_view given;
    if (text.before_parse) given = {text.before_parse.get(), text.size};
    const bool in_memory = loaded->file.fd() < 0;
    const std::string where = fault.offset >= 0
                                  ? position_of(loaded->name.c_str(), fault.offset, fault.index,
                                                in_memory ? &given : nullptr) +
                                        ":"
                                  : "";
    context->error = loaded->name + ":" + where + " " + fault.message;
    return EINVAL;
  }
  // Declarations and white space around the root element are not part of the document.
  for (pugi::xml_node child = context->document.first_child(); child;) {
    pugi::xml_node following = child.next_sibling();
    const pugi::xml_node_type type = child.type();
    if (type == pugi::node_pcdata || type == pugi::node_declaration || type == pugi::node_doctype) {
      context->document.remove_child(child);
    }
    child = following;
  }
  return 0;
}

int dom_parse_loaded(XERCES_DOM_ctx* context, int mode) {
  return dom_parse_loaded_visiting(context, mode, nullptr, nullptr);
}

int dom_parse_file(XERCES_DOM_ctx* context, const char* path, const char* encoding, int mode) {
  if (!context) return EINVAL;
  if (path && *path && encoding && strcasecmp(encoding, "utf-8") != 0) {
    reset_context(context);
    context->error = std::string(path) + ": encoding " + encoding + " is not supported";
    return EINVAL;
  }
  const int status = dom_load_file(context, path);
  return status != 0 ? status : dom_parse_loaded(context, mode);
}

int dom_parse_text(XERCES_DOM_ctx* context, const char* name, const char* text, std::size_t size,
                   int mode) {
  if (!context) return EINVAL;
  reset_context(context);
  if (!text || size > static_cast<std::size_t>(MAX_FILE_SIZE)) {
    context->error = std::string(name ? name : "") + ": no text, or text too large to read";
    return EINVAL;
  }
  auto loaded = std::make_shared<loaded_text_s>();
  text_s& copy = loaded->text;
  const auto allocate = pugi::get_memory_allocation_function();
  copy.buffer.reset(static_cast<char*>(allocate(size + 1)));
  copy.before_parse.reset(static_cast<char*>(allocate(size + 1)));
  if (!copy.buffer || !copy.before_parse) {
    context->error = std::string(name ? name : "") + ": out of memory";
    return ENOMEM;
  }
  std::memcpy(copy.buffer.get(), text, size);
  std::memcpy(copy.before_parse.get(), text, size);
  copy.size = size;
  loaded->name = name ? name : "";
  context->loaded = std::move(loaded);
  return dom_parse_loaded(context, mode);
}

const char* dom_get_error_text(XERCES_DOM_ctx* context) {
  return context ? context->error.c_str() : "";
}

const char* dom_get_node_name(XERCES_DOM_node* handle) {
  pugi::xml_node node = node_of(handle);
  switch (node.type()) {
    case pugi::node_element:
    case pugi::node_pi:
    case pugi::node_declaration:
      return node.name();
    case pugi::node_pcdata:
      return "#text";
    case pugi::node_cdata:
      return "#cdata-section";
    case pugi::node_comment:
      return "#comment";
    case pugi::node_document:
      return "#document";
    case pugi::node_doctype:
      return "#doctype";
    case pugi::node_null:
      break;
  }
  return nullptr;
}

const char* dom_get_node_value(XERCES_DOM_node* handle) {
  pugi::xml_node node = node_of(handle);
  switch (node.type()) {
    case pugi::node_pcdata:
    case pugi::node_cdata:
    case pugi::node_comment:
    case pugi::node_pi:
    case pugi::node_doctype:
      return node.value();
    default:
      return nullptr;
  }
}

int dom_get_node_type(XERCES_DOM_node* handle) {
  return type_of(node_of(handle));
}

XERCES_DOM_node* dom_get_first_child(XERCES_DOM_node* handle) {
  return handle_of(skip_holder(node_of(handle).first_child()));
}

XERCES_DOM_node* dom_get_next_sibling(XERCES_DOM_node* handle) {
  return handle_of(skip_holder(node_of(handle).next_sibling()));
}

const char* dom_get_attribute(XERCES_DOM_node* handle, const char* name) {
  pugi::xml_node node = node_of(handle);
  if (!name || node.type() != pugi::node_element) return nullptr;
  pugi::xml_attribute attribute = node.attribute(name);
  return attribute ? attribute.value() : nullptr;
}

XERCES_DOM_node* dom_get_document(XERCES_DOM_ctx* context) {
  return context ? handle_of(context->document) : nullptr;
}

XERCES_DOM_node* dom_get_document_element(XERCES_DOM_node* handle) {
  pugi::xml_node document = node_of(handle);
  if (document.type() != pugi::node_document) return nullptr;
  for (pugi::xml_node child = document.first_child(); child; child = child.next_sibling()) {
    if (child.type() == pugi::node_element && !is_holder(child)) return handle_of(child);
  }
  return nullptr;
}

bool is_valid_name(const char* name) {
  return name && *name;
}

XERCES_DOM_node* dom_create_document_element(XERCES_DOM_ctx* context, const char* tag) {
  if (!context || !is_valid_name(tag) || dom_get_document_element(handle_of(context->document))) {
    return nullptr;
  }
  pugi::xml_node element =
      context->holder ? context->document.insert_child_before(pugi::node_element, context->holder)
                      : context->document.append_child(pugi::node_element);
  element.set_name(tag);
  return handle_of(element);
}

XERCES_DOM_node* dom_create_element(XERCES_DOM_ctx* context, const char* tag) {
  if (!context || !is_valid_name(tag)) return nullptr;
  pugi::xml_node element = holder_of(context).append_child(pugi::node_element);
  element.set_name(tag);
  return handle_of(element);
}

XERCES_DOM_node* dom_create_text_node(XERCES_DOM_ctx* context, const char* text) {
  if (!context) return nullptr;
  pugi::xml_node node = holder_of(context).append_child(pugi::node_pcdata);
  node.set_value(text ? text : "");
  return handle_of(node);
}

void dom_set_attribute(XERCES_DOM_node* handle, const char* name, const char* value) {
  pugi::xml_node element = node_of(handle);
  if (element.type() != pugi::node_element || !is_valid_name(name)) return;
  pugi::xml_attribute attribute = element.attribute(name);
  if (!attribute) attribute = element.append_attribute(name);
  attribute.set_value(value ? value : "");
}

XERCES_DOM_node* dom_insert_before(XERCES_DOM_node* parent_handle, XERCES_DOM_node* handle,
                                   XERCES_DOM_node* reference_handle) {
  pugi::xml_node parent = node_of(parent_handle);
  pugi::xml_node node = node_of(handle);
  pugi::xml_node reference = node_of(reference_handle);
  if (!parent || !node || is_holder(node)) return nullptr;
  pugi::xml_node moved =
      reference ? parent.insert_move_before(node, reference) : parent.append_move(node);
  return handle_of(moved);
}

XERCES_DOM_node* dom_append_child(XERCES_DOM_node* parent, XERCES_DOM_node* child) {
  return dom_insert_before(parent, child, nullptr);
}

XERCES_DOM_node* dom_create_processing_instruction(XERCES_DOM_ctx* context, const char* target,
                                                   const char* data) {
  if (!context || !is_valid_name(target)) return nullptr;
  pugi::xml_node node = holder_of(context).append_child(pugi::node_pi);
  node.set_name(target);
  node.set_value(data ? data : "");
  return handle_of(node);
}

// Collects what pugixml writes, with CR written as a reference: the document was checked to
// hold CR only in text and attribute values, and pugixml writes those of attribute values as
// references already.
struct StringWriter : pugi::xml_writer {
  std::string text;
  void write(const void* data, std::size_t size) override {
    const char* next = static_cast<const char*>(data);
    const char* end = next + size;
    while (const void* cr = std::memchr(next, '\r', static_cast<std::size_t>(end - next))) {
      text.append(next, static_cast<const char*>(cr));
      text += "&#13;";
      next = static_cast<const char*>(cr) + 1;
    }
    text.append(next, end);
  }
};

int dom_write_file_with_identity(const char* path, const char* encoding, XERCES_DOM_node* handle,
                                 CFI_file_identity_s* written) {
  pugi::xml_node document = node_of(handle);
  if (!path || !*path || document.type() != pugi::node_document) return EINVAL;
  if (encoding && strcasecmp(encoding, "UTF-8") != 0) return EINVAL;
  for (pugi::xml_node child = document.first_child(); child; child = child.next_sibling()) {
    if (!is_holder(child) && child.type() != pugi::node_declaration && !kvxml::is_writable(child)) {
      return EILSEQ;
    }
  }
  StringWriter writer;
  writer.text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  for (pugi::xml_node child = document.first_child(); child; child = child.next_sibling()) {
    if (is_holder(child) || child.type() == pugi::node_declaration) continue;
    child.print(writer, "", pugi::format_raw, pugi::encoding_utf8);
    writer.text += '\n';
  }
  return CFI_replace_file(path, writer.text.data(), writer.text.size(), written);
}

int dom_write_file(const char* path, const char* encoding, XERCES_DOM_node* handle) {
  return dom_write_file_with_identity(path, encoding, handle, nullptr);
}

XERCES_DOM_node* dom_create_text_node_utf8(XERCES_DOM_ctx* context, const char* utf8) {
  return dom_create_text_node(context, utf8);
}

void dom_set_attribute_utf8(XERCES_DOM_node* element, const char* name, const char* utf8) {
  dom_set_attribute(element, name, utf8);
}

// Whether two names are equal; names are short, so this beats a call of strcmp.
bool same_name(const char* a, const char* b) {
  while (*a && *a == *b) {
    ++a;
    ++b;
  }
  return *a == *b;
}

void dom_get_attributes(XERCES_DOM_node* handle, const char* const* names, const char** values,
                        int count) {
  // A bit for each first letter asked for (by its low six bits): most attributes that are not
  // asked for are passed over on that alone.
  std::uint64_t initials = 0;
  for (int i = 0; i < count; ++i) {
    values[i] = nullptr;
    initials |= std::uint64_t{1} << (static_cast<unsigned char>(names[i][0]) & 63);
  }
  pugi::xml_node node = node_of(handle);
  if (node.type() != pugi::node_element) return;
  // Past the last attribute comes an empty one, whose name is "" (no attribute has that name).
  // Elements tend to give their attributes in the order asked for, so each search starts after
  // the name found last.
  int next = 0;
  for (pugi::xml_attribute attribute = node.first_attribute();;
       attribute = attribute.next_attribute()) {
    const char* name = attribute.name();
    if (!*name) break;
    if (!(initials & (std::uint64_t{1} << (static_cast<unsigned char>(name[0]) & 63)))) continue;
    for (int tried = 0, i = next; tried < count; ++tried, i = i + 1 == count ? 0 : i + 1) {
      if (names[i][0] == name[0] && !values[i] && same_name(names[i], name)) {
        values[i] = attribute.value();
        next = i + 1 == count ? 0 : i + 1;
        break;
      }
    }
  }
}

XERCES_DOM_node* dom_import_node(XERCES_DOM_ctx* context, XERCES_DOM_node* handle, bool deep) {
  pugi::xml_node node = node_of(handle);
  if (!context || !node || node.type() == pugi::node_document || is_holder(node)) return nullptr;
  pugi::xml_node holder = holder_of(context);
  if (deep) return handle_of(holder.append_copy(node));
  pugi::xml_node copy = holder.append_child(node.type());
  copy.set_name(node.name());
  copy.set_value(node.value());
  for (pugi::xml_attribute attribute : node.attributes()) copy.append_copy(attribute);
  return handle_of(copy);
}

void dom_remove_attribute(XERCES_DOM_node* handle, const char* name) {
  pugi::xml_node element = node_of(handle);
  if (element.type() == pugi::node_element && name) element.remove_attribute(name);
}

XERCES_DOM_node* dom_get_next_element(XERCES_DOM_node* parent, XERCES_DOM_node* after,
                                      const char** name) {
  pugi::xml_node node = after ? node_of(after).next_sibling() : node_of(parent).first_child();
  for (pugi::xml_node_type type; (type = node.type()) != pugi::node_null;
       node = node.next_sibling()) {
    if (type != pugi::node_element) continue;
    const char* element_name = node.name();
    if (element_name[0] == HOLDER_NAME[0] && is_holder(node)) continue;
    if (name) *name = element_name;
    return handle_of(node);
  }
  return nullptr;
}

XERCES_DOM_node* dom_append_element(XERCES_DOM_node* parent_handle, const char* tag,
                                    const char* const* names, const char* const* values,
                                    int count) {
  pugi::xml_node parent = node_of(parent_handle);
  if (parent.type() != pugi::node_element || !is_valid_name(tag)) return nullptr;
  pugi::xml_node element = parent.append_child(pugi::node_element);
  element.set_name(tag);
  pugi::xml_attribute first;
  for (int i = 0; i < count; ++i) {
    if (!is_valid_name(names[i])) continue;
    const char* value = values[i] ? values[i] : "";
    bool repeated = false;
    for (int j = 0; j < i && !repeated; ++j) {
      repeated = names[j] && names[j][0] == names[i][0] && std::strcmp(names[j], names[i]) == 0;
    }
    if (repeated) {
      element.attribute(names[i]).set_value(value);
    } else {
      element.append_attribute(names[i]).set_value(value);
    }
  }
  return handle_of(element);
}

XERCES_DOM_node* dom_append_text_node(XERCES_DOM_node* parent_handle, const char* text) {
  pugi::xml_node parent = node_of(parent_handle);
  if (parent.type() != pugi::node_element) return nullptr;
  pugi::xml_node node = parent.append_child(pugi::node_pcdata);
  node.set_value(text ? text : "");
  return handle_of(node);
}

int dom_get_attribute_list(XERCES_DOM_node* handle, const char** names, const char** values,
                           int room) {
  pugi::xml_node node = node_of(handle);
  if (node.type() != pugi::node_element) return 0;
  int count = 0;
  for (pugi::xml_attribute attribute = node.first_attribute(); attribute;
       attribute = attribute.next_attribute(), ++count) {
    if (count < room) {
      names[count] = attribute.name();
      values[count] = attribute.value();
    }
  }
  return count;
}

char* dom_write_node_text(XERCES_DOM_node* handle, std::size_t* size) {
  pugi::xml_node node = node_of(handle);
  if (size) *size = 0;
  // Written also when a file writer would refuse it (a processing instruction holding a CR, as
  // a parse leaves it): the text is read back by this service alone, which gives the same node.
  if (!node || node.type() == pugi::node_document) return nullptr;
  StringWriter writer;
  node.print(writer, "", pugi::format_raw, pugi::encoding_utf8);
  char* text = static_cast<char*>(SM_alloc(writer.text.size() + 1));
  std::memcpy(text, writer.text.c_str(), writer.text.size() + 1);
  if (size) *size = writer.text.size();
  return text;
}

XERCES_DOM_node* dom_create_comment(XERCES_DOM_ctx* context, const char* text) {
  if (!context) return nullptr;
  pugi::xml_node node = holder_of(context).append_child(pugi::node_comment);
  node.set_value(text ? text : "");
  return handle_of(node);
}

// Narrow strings are UTF-8 on this platform, so the UTF-8 operations are the plain ones.
KVXML_vtbl_s table = {
    dom_create,
    dom_release,
    dom_parse_file,
    dom_get_error_text,
    dom_get_node_name,
    dom_get_node_value,
    dom_get_node_type,
    dom_get_first_child,
    dom_get_next_sibling,
    dom_get_attribute,
    dom_get_document,
    dom_get_document_element,
    dom_create_document_element,
    dom_create_element,
    dom_create_text_node,
    dom_set_attribute,
    dom_insert_before,
    dom_append_child,
    dom_create_processing_instruction,
    dom_write_file,
    dom_create_text_node_utf8,
    dom_set_attribute_utf8,
    dom_get_attributes,
    dom_import_node,
    dom_remove_attribute,
    dom_get_next_element,
    dom_append_element,
    dom_append_text_node,
    dom_write_file_with_identity,
    dom_get_attribute_list,
    dom_create_comment,
    dom_load_file,
    dom_get_loaded_text,
    dom_parse_loaded,
    dom_parse_text,
    dom_write_node_text,
    dom_parse_loaded_visiting,
};

}  // namespace

KVXML_vtbl_s* pvtbl_kvxml = nullptr;

int KVXML_init() {
  // Written once: threads that parse files read it meanwhile.
  if (pvtbl_kvxml != &table) pvtbl_kvxml = &table;
  return 0;
}
