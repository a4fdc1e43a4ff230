// Well-formedness that pugixml leaves to the service: the top level of a parsed document, its
// attributes and references, and what a document must hold to be written; and the text check
// that callers use before they store text.
#include "kvxml_checks.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "kvxml.h"

namespace {

// The characters XML 1.0 allows.
bool is_xml_char(std::uint32_t c) {
  if (c < 0x20) return c == 0x9 || c == 0xA || c == 0xD;
  return c <= 0xD7FF || (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Length of the well-formed UTF-8 sequence at text and its character in *c; 0 when there is
// none (a stray or missing continuation byte, an overlong form, a surrogate, beyond 10FFFF).
// Never reads past a terminating zero.
std::size_t decode_utf8(const unsigned char* text, std::uint32_t* c) {
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
  for (std::size_t i = 1; i < length; ++i) {
    if ((text[i] & 0xC0) != 0x80) return 0;
    *c = (*c << 6) | (text[i] & 0x3Fu);
  }
  if (*c < smallest || *c > 0x10FFFF || (*c >= 0xD800 && *c <= 0xDFFF)) return 0;
  return length;
}

// Writes c as UTF-8 at out; returns the number of bytes.
std::size_t encode_utf8(std::uint32_t c, char* out) {
  auto* bytes = reinterpret_cast<unsigned char*>(out);
  if (c < 0x80) {
    bytes[0] = static_cast<unsigned char>(c);
    return 1;
  }
  if (c < 0x800) {
    bytes[0] = static_cast<unsigned char>(0xC0 | (c >> 6));
    bytes[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    bytes[0] = static_cast<unsigned char>(0xE0 | (c >> 12));
    bytes[1] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
    bytes[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    return 3;
  }
  bytes[0] = static_cast<unsigned char>(0xF0 | (c >> 18));
  bytes[1] = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
  bytes[2] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
  bytes[3] = static_cast<unsigned char>(0x80 | (c & 0x3F));
  return 4;
}

bool fail(kvxml::fault_s* fault, std::string message, const char* at, std::size_t index = 0) {
  fault->message = std::move(message);
  fault->at = at;
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

// The reference at text, which starts with '&': its length, and its character in *c; 0 when
// it is not one XML allows here, with the reason in *problem.
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
      *problem = "malformed character reference";
      return 0;
    }
    if (!is_xml_char(value)) {
      *problem = "character reference to a character XML does not allow";
      return 0;
    }
    *c = value;
    return static_cast<std::size_t>(end + 1 - text);
  }
  for (const entity_s& entity : PREDEFINED_ENTITIES) {
    if (std::strncmp(text + 1, entity.name, entity.length) == 0 && text[1 + entity.length] == ';') {
      *c = static_cast<unsigned char>(entity.character);
      return entity.length + 2;
    }
  }
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

// Decodes the references of a value of the parse buffer in place, from its first '&' or '<'
// (at) on; a '<' is a fault (the parser ends text at one, so only attribute values hold any).
bool decode_value(char* value, char* at, kvxml::fault_s* fault) {
  char* out = at;
  for (const char* in = at; *in;) {
    if (*in == '<') {
      return fail(fault, "'<' in an attribute value", value, static_cast<std::size_t>(in - value));
    }
    if (*in != '&') {
      *out++ = *in++;
      continue;
    }
    std::uint32_t c = 0;
    std::string problem;
    const std::size_t length = read_reference(in, &c, &problem);
    if (length == 0) return fail(fault, problem, value, static_cast<std::size_t>(in - value));
    out += encode_utf8(c, out);
    in += length;
  }
  *out = '\0';
  return true;
}

// Decodes a value that may hold references; values without any are only scanned.
bool check_value(const char* value, const char* specials, kvxml::fault_s* fault) {
  const std::size_t plain = std::strcspn(value, specials);
  if (!value[plain]) return true;
  // The value lies in the parse buffer, which the document owns and which is writeable.
  char* writeable = const_cast<char*>(value);
  return decode_value(writeable, writeable + plain, fault);
}

// Attributes of an element beyond which the duplicate check sorts their names rather than
// comparing every pair.
constexpr int FEW_ATTRIBUTES = 16;

// The first attribute (in document order) that repeats an earlier one's name, or null.
const char* duplicate_attribute(const pugi::xml_node& element) {
  int count = 0;
  for (pugi::xml_attribute attribute = element.first_attribute(); attribute;
       attribute = attribute.next_attribute()) {
    if (++count > FEW_ATTRIBUTES) break;
    const char* name = attribute.name();
    for (pugi::xml_attribute earlier = element.first_attribute(); earlier != attribute;
         earlier = earlier.next_attribute()) {
      if (earlier.name()[0] == name[0] && std::strcmp(earlier.name(), name) == 0) return name;
    }
  }
  if (count <= FEW_ATTRIBUTES) return nullptr;
  // Names in the parse buffer lie in document order, so the later of two equal names is the
  // greater pointer.
  std::vector<const char*> names;
  for (pugi::xml_attribute attribute = element.first_attribute(); attribute;
       attribute = attribute.next_attribute()) {
    names.push_back(attribute.name());
  }
  std::sort(names.begin(), names.end(), [](const char* a, const char* b) {
    const int order = std::strcmp(a, b);
    return order != 0 ? order < 0 : std::less<const char*>()(a, b);
  });
  const char* first = nullptr;
  for (std::size_t i = 1; i < names.size(); ++i) {
    if (std::strcmp(names[i - 1], names[i]) == 0 &&
        (!first || std::less<const char*>()(names[i], first))) {
      first = names[i];
    }
  }
  return first;
}

// Names and values as the file holds them: UTF-8 of characters that XML allows (the parser
// takes any byte from 0x80 on as a name character and lets control characters through).
bool check_literal(const char* text, kvxml::fault_s* fault) {
  std::size_t offset = 0;
  if (KVXML_is_xml_text(text, &offset)) return true;
  return fail(fault, "bytes that are not UTF-8, or a character XML does not allow", text, offset);
}

bool check_element(const pugi::xml_node& element, kvxml::fault_s* fault) {
  if (!check_literal(element.name(), fault)) return false;
  for (pugi::xml_attribute attribute = element.first_attribute(); attribute;
       attribute = attribute.next_attribute()) {
    if (!check_literal(attribute.name(), fault) || !check_literal(attribute.value(), fault) ||
        !check_value(attribute.value(), "&<", fault)) {
      return false;
    }
  }
  if (!element.first_attribute() || !element.first_attribute().next_attribute()) return true;
  if (const char* duplicate = duplicate_attribute(element)) {
    return fail(fault, "attribute '" + std::string(duplicate) + "' given twice", duplicate);
  }
  return true;
}

// Whether the declaration starts the file, after a byte order mark at most.
bool starts_file(const pugi::xml_node& declaration) {
  const std::ptrdiff_t offset = declaration.offset_debug();
  if (offset < 0) return true;  // unknown; never the case for a parsed declaration
  const char* buffer = declaration.name() - offset;
  return offset == 2 || (offset == 5 && std::memcmp(buffer, "\xEF\xBB\xBF", 3) == 0);
}

// ---- before writing ------------------------------------------------------------------------

bool is_text(const char* text) {
  return KVXML_is_xml_text(text, nullptr);
}

// A name: XML text that starts with a letter, '_', ':' or a non-ASCII character and holds
// besides those only digits, '-' and '.'.
bool is_name(const char* name) {
  if (!*name || !is_text(name)) return false;
  for (const char* c = name; *c; ++c) {
    const auto byte = static_cast<unsigned char>(*c);
    const bool letter = (byte | 0x20) >= 'a' && (byte | 0x20) <= 'z';
    if (byte >= 0x80 || letter || byte == '_' || byte == ':') continue;
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

bool check_top_level(const pugi::xml_document& document, fault_s* fault) {
  bool root = false;
  bool doctype = false;
  for (pugi::xml_node child = document.first_child(); child; child = child.next_sibling()) {
    switch (child.type()) {
      case pugi::node_declaration:
        if (!starts_file(child)) {
          return fail(fault, "XML declaration not at the start of the file", child.name() - 2);
        }
        break;
      case pugi::node_doctype:
        if (root)
          return fail(fault, "document type declaration after the root element", child.value());
        if (doctype) return fail(fault, "more than one document type declaration", child.value());
        doctype = true;
        break;
      case pugi::node_element:
        if (root) return fail(fault, "more than one root element", child.name() - 1);
        root = true;
        break;
      case pugi::node_pcdata: {
        const std::size_t blank = std::strspn(child.value(), " \t\n\r");
        if (child.value()[blank]) {
          return fail(fault, "text outside the root element", child.value(), blank);
        }
        break;
      }
      case pugi::node_cdata:
        return fail(fault, "CDATA section outside the root element",
                    child.value() - std::strlen("<![CDATA["));
      default:  // comments and processing instructions
        break;
    }
  }
  return root || fail(fault, "no root element", nullptr);
}

bool check_and_decode_content(const pugi::xml_document& document, fault_s* fault) {
  for (pugi::xml_node node = document.first_child(); node;) {
    if (node.type() == pugi::node_element) {
      if (!check_element(node, fault)) return false;
    } else if (node.type() == pugi::node_pcdata) {
      if (!check_literal(node.value(), fault) || !check_value(node.value(), "&", fault)) {
        return false;
      }
    } else if (!check_literal(node.name(), fault) || !check_literal(node.value(), fault)) {
      return false;  // CDATA sections, and comments and processing instructions when kept
    }
    if (node.first_child()) {
      node = node.first_child();
      continue;
    }
    while (node && !node.next_sibling()) node = node.parent();
    if (node) node = node.next_sibling();
  }
  return true;
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
  const auto* start = reinterpret_cast<const unsigned char*>(text);
  for (const unsigned char* c = start;;) {
    if (*c >= 0x20 && *c < 0x80) {
      ++c;
      continue;
    }
    if (*c == 0) return true;
    std::uint32_t character = 0;
    const std::size_t length = decode_utf8(c, &character);
    if (length == 0 || !is_xml_char(character)) {
      if (offset) *offset = static_cast<std::size_t>(c - start);
      return false;
    }
    c += length;
  }
}
