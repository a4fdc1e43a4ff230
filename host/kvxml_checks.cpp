// Well-formedness that pugixml leaves to the service: the references of a document's text, the
// top level and the attributes of a parsed document, and what a document must hold to be
// written; and the text check that callers use before they store text.
#include "kvxml_checks.h"

#include <absl/container/flat_hash_set.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <functional>
#include <string_view>
#include <vector>

#include <vavadoz/kvxml.h>

namespace {

// The characters XML 1.0 allows.
bool is_xml_char(std::uint32_t c) {
  if (c < 0x20) return c == 0x9 || c == 0xA || c == 0xD;
  return c <= 0xD7FF || (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Length of the well-formed UTF-8 sequence at text and its character in *c; 0 when there is
// none (a stray or missing continuation byte, an overlong form, a surrogate, beyond 10FFFF, or
// a sequence cut off by the end of the available bytes). Reads nothing beyond them.
std::size_t decode_utf8(const unsigned char* text, std::size_t available, std::uint32_t* c) {
  const unsigned char lead = text[0];
  std::size_t length = 0;
  std::uint32_t smallest = 0;
  if (lead < 0x80) {
    *c = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    smallest = 0x80;
    *c = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    smallest = 0x800;
    *c = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    smallest = 0x10000;
    *c = lead & 0x07u;
  } else {
    return 0;
  }
  if (length > available) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((text[i] & 0xC0) != 0x80) return 0;
    *c = (*c << 6) | (text[i] & 0x3Fu);
  }
  if (*c < smallest || *c > 0x10FFFF || (*c >= 0xD800 && *c <= 0xDFFF)) return 0;
  return length;
}

bool fail(kvxml::fault_s* fault, std::string message, std::ptrdiff_t offset,
          std::size_t index = 0) {
  fault->message = std::move(message);
  fault->offset = offset;
  fault->index = index;
  return false;
}

struct entity_s {
  const char* name;
  std::size_t length;
  char character;
};
const entity_s PREDEFINED_ENTITIES[] = {
    {"amp", 3, '&'}, {"lt", 2, '<'}, {"gt", 2, '>'}, {"quot", 4, '"'}, {"apos", 4, '\''},
};

int digit_value(char c, bool hex) {
  if (c >= '0' && c <= '9') return c - '0';
  if (!hex) return -1;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The reference at text, which starts with '&' (text ends with a NUL): its length, and its
// character in *c; 0 when it is not one XML allows, with the reason in *problem when problem is
// not null.
std::size_t read_reference(const char* text, std::uint32_t* c, std::string* problem) {
  if (text[1] == '#') {
    const bool hex = text[2] == 'x';
    const char* digits = text + (hex ? 3 : 2);
    const char* end = digits;
    std::uint32_t value = 0;
    for (int digit = 0; (digit = digit_value(*end, hex)) >= 0; ++end) {
      value = std::min<std::uint32_t>(value * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit),
                                      0x110000);
    }
    if (end == digits || *end != ';') {
      if (problem) *problem = "malformed character reference";
      return 0;
    }
    if (!is_xml_char(value)) {
      if (problem) *problem = "character reference to a character XML does not allow";
      return 0;
    }
    *c = value;
    return static_cast<std::size_t>(end + 1 - text);
  }
  for (const entity_s& entity : PREDEFINED_ENTITIES) {
    if (text[1] == entity.name[0] && std::strncmp(text + 1, entity.name, entity.length) == 0 &&
        text[1 + entity.length] == ';') {
      *c = static_cast<unsigned char>(entity.character);
      return entity.length + 2;
    }
  }
  if (!problem) return 0;
  // A name up to ';' makes it a reference to an entity that is not defined; anything else is
  // an '&' on its own.
  const std::size_t name = std::strcspn(text + 1, "; \t\n\r&<\"'");
  if (name > 0 && text[1 + name] == ';') {
    *problem = "reference to an undefined entity";
    if (name <= 40) *problem += " '" + std::string(text + 1, name) + "'";
  } else {
    *problem = "'&' that does not begin a reference";
  }
  return 0;
}

const char* next_ampersand(const char* from, const char* end) {
  return static_cast<const char*>(std::memchr(from, '&', static_cast<std::size_t>(end - from)));
}

// Just past the comment, CDATA section or processing instruction that starts at p (a '<' of text
// that ends at end), as the parser ends it; end when it does not end; null when p starts none.
const char* construct_end(const char* p, const char* end) {
  struct kind_s {
    const char* open;
    const char* close;
  };
  for (const kind_s& kind :
       {kind_s{"<!--", "-->"}, kind_s{"<![CDATA[", "]]>"}, kind_s{"<?", "?>"}}) {
    const std::size_t open = std::strlen(kind.open);
    const std::size_t close = std::strlen(kind.close);
    if (static_cast<std::size_t>(end - p) < open || std::memcmp(p, kind.open, open) != 0) continue;
    const void* found =
        memmem(p + open, static_cast<std::size_t>(end - p) - open, kind.close, close);
    return found ? static_cast<const char*>(found) + close : end;
  }
  return nullptr;
}

// Attributes of an element whose names are compared with each other; past them a hash set takes
// over, so that an element with very many attributes costs no more per name.
constexpr int FEW_ATTRIBUTES = 16;

// A bit for the first two bytes of a name (the second is its NUL when it has one byte): names
// with different bits differ.
std::uint64_t initial_of(const char* name) {
  const auto first = static_cast<unsigned char>(name[0]);
  const auto second = static_cast<unsigned char>(name[1]);
  return std::uint64_t{1} << ((first * 7u + second) & 63);
}

bool repeats(const char* const* names, int count, const char* name) {
  for (int i = 0; i < count; ++i) {
    if (std::strcmp(names[i], name) == 0) return true;
  }
  return false;
}

// Looks for '<' inside the attribute values of a start tag whose text, from its first attribute
// name on, begins text (the tag was parsed, so outside its values it holds only names, '=' and
// blanks): the offset of the first in *at, -1 when there is none; false when text ends before the
// tag does.
bool lt_in_values(std::string_view text, std::ptrdiff_t* at) {
  *at = -1;
  for (const char* quote = text.data(); text.data() && (quote = std::strpbrk(quote, "\"'>"));) {
    if (*quote == '>') return true;
    const char* close = std::strchr(quote + 1, *quote);
    if (!close) return false;
    if (const void* lt = std::memchr(quote + 1, '<', static_cast<std::size_t>(close - quote - 1))) {
      *at = static_cast<const char*>(lt) - text.data();
      return true;
    }
    quote = close + 1;
  }
  return false;
}

// Checks the attributes of every element in document order, without recursion. Every element
// passes here, so the common case asks the parser as little as it can: each name once (compared
// only with the earlier names that may be equal to it), and the value of the last attribute, to
// look for '<' in one go from the first name to the end of the last value.
class element_checker : public pugi::xml_tree_walker {
 public:
  element_checker(const char* buffer, bool to_lt, const kvxml::raw_text_f& raw_text,
                  kvxml::fault_s* fault, kvxml::checked_node_visitor* visitor)
      : buffer_(buffer), to_lt_(to_lt), raw_text_(raw_text), fault_(fault), visitor_(visitor) {}

  bool for_each(pugi::xml_node& node) override {
    if (!check_attributes(node)) return false;
    if (visitor_) visitor_->visit(node, depth(), attributes_, names_, count_);
    return true;
  }

 private:
  // The element's attributes, listed in attributes_ and names_ (count_ of them) for the visitor.
  bool check_attributes(const pugi::xml_node& node) {
    names_ = few_names_;
    attributes_ = few_attributes_;
    count_ = 0;
    pugi::xml_attribute attribute = node.first_attribute();
    const char* name = attribute.name();  // "" past the last attribute and without any
    if (!*name) return true;
    std::uint64_t initials = 0;
    for (;;) {
      if (count_ == FEW_ATTRIBUTES) return check_many(node);
      const std::uint64_t initial = initial_of(name);
      if ((initials & initial) && repeats(few_names_, count_, name)) return twice(name);
      initials |= initial;
      few_names_[count_] = name;
      few_attributes_[count_++] = attribute;
      const pugi::xml_attribute next = attribute.next_attribute();
      name = next.name();
      if (!*name) break;
      attribute = next;
    }
    return check_values(few_names_[0], attribute);
  }

  // An element with more than a few attributes.
  bool check_many(const pugi::xml_node& node) {
    many_.clear();
    many_names_.clear();
    many_attributes_.clear();
    for (pugi::xml_attribute attribute = node.first_attribute(); attribute;
         attribute = attribute.next_attribute()) {
      if (!many_.insert(attribute.name()).second) return twice(attribute.name());
      many_names_.push_back(attribute.name());
      many_attributes_.push_back(attribute);
    }
    names_ = many_names_.data();
    attributes_ = many_attributes_.data();
    count_ = static_cast<int>(many_names_.size());
    return check_values(names_[0], many_attributes_.back());
  }

  // The values of the attributes from the one named first_name to last, which lie in the parse
  // buffer in that order: no '<' in one go.
  bool check_values(const char* first_name, const pugi::xml_attribute& last) {
    const char* last_value = last.value();
    const char* end = last_value + std::strlen(last_value);
    if (!std::less<const char*>()(first_name, end)) return true;
    const void* lt = std::memchr(first_name, '<', static_cast<std::size_t>(end - first_name));
    return !lt || check_lt(first_name, static_cast<const char*>(lt), end);
  }

  // A start tag whose attribute text, from first_name to end, holds a '<' (at) after parsing. Its
  // text is read in pieces of growing length (from about the length it has after parsing, which
  // decoding references only shortened) until one shows the end of the tag. The '<' may
  // stand for a reference only when one stands for '<' and the text shows no '<' in the values;
  // where the text cannot be had, the parser's place stands.
  bool check_lt(const char* first_name, const char* at, const char* end) {
    const auto from = static_cast<std::size_t>(first_name - buffer_);
    std::ptrdiff_t lt = -1;
    bool whole = false;
    for (auto length = static_cast<std::size_t>(end - first_name) * 2 + 256; !whole; length *= 2) {
      const std::string_view text = raw_text_(from, length);
      whole = lt_in_values(text, &lt);
      if (text.size() < length) break;
    }
    if (lt < 0 && whole && to_lt_) return true;
    return fail(fault_, "'<' in an attribute value",
                lt >= 0 ? static_cast<std::ptrdiff_t>(from) + lt : at - buffer_);
  }

  bool twice(const char* name) {
    return fail(fault_, "attribute '" + std::string(name) + "' given twice", name - buffer_);
  }

  const char* buffer_;
  bool to_lt_;
  const kvxml::raw_text_f& raw_text_;
  kvxml::fault_s* fault_;
  kvxml::checked_node_visitor* visitor_;
  const char* few_names_[FEW_ATTRIBUTES];
  pugi::xml_attribute few_attributes_[FEW_ATTRIBUTES];
  absl::flat_hash_set<std::string_view> many_;
  std::vector<const char*> many_names_;
  std::vector<pugi::xml_attribute> many_attributes_;
  const char* const* names_ = few_names_;
  const pugi::xml_attribute* attributes_ = few_attributes_;
  int count_ = 0;
};

// Whether the declaration starts the file, after a byte order mark at most.
bool starts_file(const pugi::xml_node& declaration) {
  const std::ptrdiff_t offset = declaration.offset_debug();
  if (offset < 0) return true;  // unknown; never the case for a parsed declaration
  const char* buffer = declaration.name() - offset;
  return offset == 2 || (offset == 5 && std::memcmp(buffer, "\xEF\xBB\xBF", 3) == 0);
}

// ---- before writing ------------------------------------------------------------------------

// Most of what is written is short and ASCII: such bytes are looked at once, and only the rest
// of a text that holds something else goes through the full check.
bool is_ascii_xml_byte(unsigned char byte) {
  return (byte >= 0x20 && byte < 0x80) || byte == '\t' || byte == '\n' || byte == '\r';
}

bool is_text(const char* text) {
  const char* c = text;
  while (is_ascii_xml_byte(static_cast<unsigned char>(*c))) ++c;
  return *c == '\0' || KVXML_is_xml_text(c, nullptr);
}

// A name: XML text that starts with a letter, '_', ':' or a non-ASCII character and holds
// besides those only digits, '-' and '.'.
bool is_name(const char* name) {
  if (!*name) return false;
  bool rest_is_text = false;  // known once a non-ASCII byte was met
  for (const char* c = name; *c; ++c) {
    const auto byte = static_cast<unsigned char>(*c);
    if (byte >= 0x80) {
      if (!rest_is_text && !is_text(c)) return false;
      rest_is_text = true;
      continue;
    }
    const bool letter = (byte | 0x20) >= 'a' && (byte | 0x20) <= 'z';
    if (letter || byte == '_' || byte == ':') continue;
    const bool digit = byte >= '0' && byte <= '9';
    if (c == name || (!digit && byte != '-' && byte != '.')) return false;
  }
  return true;
}

// Text of a comment, processing instruction or CDATA section: XML text without CR, which the
// reader would turn into LF, and without what ends the markup (a CDATA section is split at
// "]]>" when written).
bool is_markup_text(const char* text, const char* end_of_markup) {
  return is_text(text) && !std::strchr(text, '\r') &&
         (!end_of_markup || !std::strstr(text, end_of_markup));
}

bool is_writable_node(const pugi::xml_node& node) {
  switch (node.type()) {
    case pugi::node_element:
      if (!is_name(node.name())) return false;
      for (pugi::xml_attribute attribute = node.first_attribute(); attribute;
           attribute = attribute.next_attribute()) {
        if (!is_name(attribute.name()) || !is_text(attribute.value())) return false;
      }
      return true;
    case pugi::node_pcdata:
      return is_text(node.value());
    case pugi::node_cdata:
      return is_markup_text(node.value(), nullptr);
    case pugi::node_comment: {
      const std::size_t length = std::strlen(node.value());
      return is_markup_text(node.value(), "--") && (length == 0 || node.value()[length - 1] != '-');
    }
    case pugi::node_pi:
      return is_name(node.name()) && is_markup_text(node.value(), "?>");
    default:
      return true;
  }
}

}  // namespace

namespace kvxml {

references_s scan_references(const char* text, std::size_t size) {
  references_s found;
  const char* const end = text + size;
  for (const char* amp = next_ampersand(text, end); amp && !(found.doubtful && found.to_lt);
       amp = next_ampersand(amp + 1, end)) {
    std::uint32_t c = 0;
    if (read_reference(amp, &c, nullptr) == 0) {
      found.doubtful = true;
    } else if (c == '<') {
      found.to_lt = true;
    }
  }
  return found;
}

bool check_references(const char* text, std::size_t size, std::ptrdiff_t doctype,
                      std::ptrdiff_t doctype_end, fault_s* fault) {
  const char* const end = text + size;
  const char* outside = text;       // no comment and the like begins before it and ends after it
  const char* inside_until = text;  // end of the one that holds the last doubtful '&'
  for (const char* amp = next_ampersand(text, end); amp; amp = next_ampersand(amp + 1, end)) {
    std::uint32_t c = 0;
    std::string problem;
    if (amp < inside_until || read_reference(amp, &c, &problem) > 0) continue;
    bool inside = false;
    while (!inside && outside < amp) {
      const void* found = std::memchr(outside, '<', static_cast<std::size_t>(amp - outside));
      if (!found) break;
      const char* lt = static_cast<const char*>(found);
      const char* construct = lt - text == doctype ? text + doctype_end : construct_end(lt, end);
      outside = construct ? construct : lt + 1;
      inside = construct && construct > amp;
    }
    if (!inside) return fail(fault, problem, amp - text);
    inside_until = outside;
  }
  return true;
}

bool check_top_level(const pugi::xml_document& document, const char* buffer, fault_s* fault) {
  bool root = false;
  bool doctype = false;
  for (pugi::xml_node child = document.first_child(); child; child = child.next_sibling()) {
    switch (child.type()) {
      case pugi::node_declaration:
        if (!starts_file(child)) {
          return fail(fault, "XML declaration not at the start of the file",
                      child.name() - 2 - buffer);
        }
        break;
      case pugi::node_doctype:
        if (root) {
          return fail(fault, "document type declaration after the root element",
                      child.value() - buffer);
        }
        if (doctype) {
          return fail(fault, "more than one document type declaration", child.value() - buffer);
        }
        doctype = true;
        break;
      case pugi::node_element:
        if (root) return fail(fault, "more than one root element", child.name() - 1 - buffer);
        root = true;
        break;
      case pugi::node_pcdata: {
        const std::size_t blank = std::strspn(child.value(), " \t\n\r");
        if (child.value()[blank]) {
          return fail(fault, "text outside the root element", child.value() - buffer, blank);
        }
        break;
      }
      case pugi::node_cdata:
        return fail(fault, "CDATA section outside the root element",
                    child.value() - std::strlen("<![CDATA[") - buffer);
      default:  // comments and processing instructions
        break;
    }
  }
  return root || fail(fault, "no root element", -1);
}

namespace {

// How many bytes from the start of text (size bytes) are whole runs of 64 printable ASCII bytes,
// tab, LF or CR: the common case, which needs no decoding. Vector code where the processor has it.
#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("avx2"))) __m256i unplain_bytes_avx2(const char* text) {
  const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text));
  // Bytes from 0x80 on read as negative, so one signed comparison finds them and the controls.
  const __m256i low = _mm256_cmpgt_epi8(_mm256_set1_epi8(0x20), bytes);
  const __m256i allowed =
      _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('\t')),
                                      _mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('\n'))),
                      _mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('\r')));
  return _mm256_andnot_si256(allowed, low);
}

__attribute__((target("avx2"))) std::size_t plain_runs_avx2(const char* text, std::size_t size) {
  std::size_t at = 0;
  for (; size - at >= 64; at += 64) {
    const __m256i unplain =
        _mm256_or_si256(unplain_bytes_avx2(text + at), unplain_bytes_avx2(text + at + 32));
    if (!_mm256_testz_si256(unplain, unplain)) break;
  }
  return at;
}
#endif

#if defined(__SSE2__)
__m128i unplain_bytes(const char* text) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text));
  const __m128i low = _mm_cmplt_epi8(bytes, _mm_set1_epi8(0x20));
  const __m128i allowed = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\t')),
                                                    _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n'))),
                                       _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r')));
  return _mm_andnot_si128(allowed, low);
}
#endif

std::size_t plain_runs_sse2(const char* text, std::size_t size) {
  std::size_t at = 0;
#if defined(__SSE2__)
  for (; size - at >= 64; at += 64) {
    const __m128i unplain =
        _mm_or_si128(_mm_or_si128(unplain_bytes(text + at), unplain_bytes(text + at + 16)),
                     _mm_or_si128(unplain_bytes(text + at + 32), unplain_bytes(text + at + 48)));
    if (_mm_movemask_epi8(unplain) != 0) break;
  }
#else
  static_cast<void>(text);
  static_cast<void>(size);
#endif
  return at;
}

std::size_t plain_runs(const char* text, std::size_t size, character_scan form) {
  switch (form) {
#if defined(__x86_64__) && defined(__GNUC__)
    case character_scan::avx2:
      return plain_runs_avx2(text, size);
#endif
    case character_scan::sse2:
      return plain_runs_sse2(text, size);
    default:
      return 0;
  }
}

}  // namespace

bool can_run(character_scan form) {
  switch (form) {
    case character_scan::avx2:
#if defined(__x86_64__) && defined(__GNUC__)
      return __builtin_cpu_supports("avx2");
#else
      return false;
#endif
    case character_scan::sse2:
#if defined(__SSE2__)
      return true;
#else
      return false;
#endif
    case character_scan::bytewise:
      return true;
  }
  return false;
}

std::size_t first_non_xml_character(const char* text, std::size_t size, character_scan form) {
  const auto* start = reinterpret_cast<const unsigned char*>(text);
  std::size_t at = 0;
  while (at < size) {
    at += plain_runs(text + at, size - at, form);
    // A run that holds something else is decoded character by character.
    const std::size_t end = std::min(size, at + 64);
    while (at < end) {
      const unsigned char byte = start[at];
      if ((byte >= 0x20 && byte < 0x80) || byte == '\t' || byte == '\n' || byte == '\r') {
        ++at;
        continue;
      }
      std::uint32_t character = 0;
      const std::size_t length = byte == 0 ? 0 : decode_utf8(start + at, size - at, &character);
      if (length == 0 || at + length > size || !is_xml_char(character)) return at;
      at += length;
    }
  }
  return size;
}

std::size_t first_non_xml_character(const char* text, std::size_t size) {
  static const character_scan best = can_run(character_scan::avx2)   ? character_scan::avx2
                                     : can_run(character_scan::sse2) ? character_scan::sse2
                                                                     : character_scan::bytewise;
  return first_non_xml_character(text, size, best);
}

bool check_characters(const char* text, std::size_t size, fault_s* fault) {
  const std::size_t bad = first_non_xml_character(text, size);
  if (bad == size) return true;
  std::uint32_t character = 0;
  const bool decodes =
      decode_utf8(reinterpret_cast<const unsigned char*>(text) + bad, size - bad, &character) > 0;
  return fail(fault, decodes ? "a character XML does not allow" : "bytes that are not UTF-8",
              static_cast<std::ptrdiff_t>(bad));
}

bool check_elements(pugi::xml_document& document, const char* buffer, bool to_lt,
                    const raw_text_f& raw_text, fault_s* fault, checked_node_visitor* visitor) {
  element_checker checker(buffer, to_lt, raw_text, fault, visitor);
  return document.traverse(checker);
}

bool is_writable(const pugi::xml_node& top) {
  for (pugi::xml_node node = top; node;) {
    if (!is_writable_node(node)) return false;
    if (node.first_child()) {
      node = node.first_child();
      continue;
    }
    while (node != top && !node.next_sibling()) node = node.parent();
    node = node == top ? pugi::xml_node() : node.next_sibling();
  }
  return true;
}

}  // namespace kvxml

bool KVXML_is_xml_text(const char* text, std::size_t* offset) {
  if (!text) return true;
  const std::size_t size = std::strlen(text);
  const std::size_t bad = kvxml::first_non_xml_character(text, size);
  if (bad == size) return true;
  if (offset) *offset = bad;
  return false;
}
