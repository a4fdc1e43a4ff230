// Internal pieces shared by the sources that find, read and write definition and value files.
#include "veru_xml.h"

#include <cstring>

#include "veru_installation_names.h"

#define VERU_SOURCE "src/veru/no/ind/veru_xml"

const veru_environment_s& veru_environment() {
  static const veru_environment_s environment = {
      ENV_translate_variable(VERU_INSTALLATION_VARIABLES[VERU_VARIABLE_DEF_DIR]),
      ENV_translate_variable(VERU_INSTALLATION_VARIABLES[VERU_VARIABLE_LANG]),
      ENV_translate_variable(VERU_INSTALLATION_VARIABLES[VERU_VARIABLE_BASE_DIR]),
  };
  return environment;
}

const char* veru_counting_language(const char* lang) {
  return lang && *lang && std::strcmp(lang, "english") != 0 ? lang : nullptr;
}

namespace {

double seconds_between(const timespec& from, const timespec& to) {
  return static_cast<double>(to.tv_sec - from.tv_sec) +
         static_cast<double>(to.tv_nsec - from.tv_nsec) * 1e-9;
}

}  // namespace

veru_stopwatch::veru_stopwatch() {
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu_);
  clock_gettime(CLOCK_MONOTONIC, &real_);
}

veru_work_time_s veru_stopwatch::elapsed() const {
  timespec cpu{};
  timespec real{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
  clock_gettime(CLOCK_MONOTONIC, &real);
  return {seconds_between(cpu_, cpu), seconds_between(real_, real)};
}

veru_parse_timer::veru_parse_timer() {
  if (MACH__checking_level >= 1) stopwatch_.emplace();
}

void veru_parse_timer::report(const char* format) {
  if (!stopwatch_) return;
  const veru_work_time_s here = stopwatch_->elapsed();
  stopwatch_.reset();
  ERROR_lprintf(format, here.cpu, here.real);
}

veru_document::veru_document() {
  int error = KVXML_init();
  if (error == 0) document_.reset(pvtbl_kvxml->XERCES_DOM_create(&error, "UTF-8", 0));
  if (error != 0 || !document_.get()) {
    ERROR_raise(VERU_SOURCE, __LINE__, VERU_ERROR_XML_INIT, "Unable to initialize DOM");
  }
}

bool veru_is_named(XERCES_DOM_node* node, const char* name) {
  if (pvtbl_kvxml->XERCES_DOM_getNodeType(node) != XERCES_DOM_ELEMENT_NODE) return false;
  const char* node_name = pvtbl_kvxml->XERCES_DOM_getNodeName(node);
  return node_name && std::strcmp(node_name, name) == 0;
}

XERCES_DOM_node* veru_next_element(XERCES_DOM_node* parent, XERCES_DOM_node* after) {
  return pvtbl_kvxml->XERCES_DOM_getNextElement(parent, after, nullptr);
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
