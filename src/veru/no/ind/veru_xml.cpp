// Internal pieces shared by the sources that find, read and write definition and value files.
#include "veru_xml.h"

#include <cstring>

#define VERU_SOURCE "src/veru/no/ind/veru_xml"

const veru_environment_s& veru_environment() {
  static const veru_environment_s environment = {
      ENV_translate_variable("KVRN_VERU_XML_DEF_DIR"),
      ENV_translate_variable("KVRN_LANG"),
      ENV_translate_variable("KVRN_BASE_DIR"),
  };
  return environment;
}

const char* veru_counting_language(const char* lang) {
  return lang && *lang && std::strcmp(lang, "english") != 0 ? lang : nullptr;
}

veru_parse_timer::veru_parse_timer()
    : timer_(MACH__checking_level >= 1 ? CLOCK_create_timer(CLOCK_TIMER_CPU_AND_REAL) : nullptr) {}

veru_parse_timer::~veru_parse_timer() {
  if (timer_) CLOCK_read_timer(timer_, CLOCK_READ_AND_FREE, nullptr, nullptr);
}

void veru_parse_timer::report(const char* format) {
  if (!timer_) return;
  double cpu = 0.0;
  double real = 0.0;
  CLOCK_stop_timer(timer_);
  CLOCK_read_timer(timer_, CLOCK_READ_AND_FREE, &cpu, &real);
  timer_ = nullptr;
  ERROR_lprintf(format, cpu, real);
}

veru_document::veru_document() : context_(nullptr) {
  int error = KVXML_init();
  if (error == 0) context_ = pvtbl_kvxml->XERCES_DOM_create(&error, "UTF-8", 0);
  if (error != 0 || !context_) {
    ERROR_raise(VERU_SOURCE, __LINE__, VERU_ERROR_XML_INIT, "Unable to initialize DOM");
  }
}

veru_document::~veru_document() {
  pvtbl_kvxml->XERCES_DOM_release(context_);
}

bool veru_is_named(XERCES_DOM_node* node, const char* name) {
  if (pvtbl_kvxml->XERCES_DOM_getNodeType(node) != XERCES_DOM_ELEMENT_NODE) return false;
  const char* node_name = pvtbl_kvxml->XERCES_DOM_getNodeName(node);
  return node_name && std::strcmp(node_name, name) == 0;
}

XERCES_DOM_node* veru_next_element(XERCES_DOM_node* parent, XERCES_DOM_node* after) {
  XERCES_DOM_node* node = after ? pvtbl_kvxml->XERCES_DOM_getNextSibling(after)
                                : pvtbl_kvxml->XERCES_DOM_getFirstChild(parent);
  while (node && pvtbl_kvxml->XERCES_DOM_getNodeType(node) != XERCES_DOM_ELEMENT_NODE) {
    node = pvtbl_kvxml->XERCES_DOM_getNextSibling(node);
  }
  return node;
}

const char* veru_non_empty_attribute(XERCES_DOM_node* element, const char* name) {
  const char* value = pvtbl_kvxml->XERCES_DOM_getAttribute(element, name);
  return value && *value ? value : nullptr;
}

std::string veru_quoted(const char* text) {
  constexpr std::size_t LONGEST = 200;
  if (!text) return "";
  const std::size_t length = strnlen(text, LONGEST + 1);
  if (length <= LONGEST) return std::string(text, length);
  std::size_t cut = LONGEST;
  // Not inside a UTF-8 sequence: continuation bytes are 10xxxxxx.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return std::string(text, cut) + "...";
}
