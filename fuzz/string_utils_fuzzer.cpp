// Fuzz target: the string-list and variable-reference conversions, with the invariants that
// hold for every input.
#include <veru.h>

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const char* input = text.c_str();  // up to the first NUL, as the routines read it
  char** items = nullptr;
  const int count = VERU_string_breakup_lines_separated_by_slash(input, &items);
  int listed = 0;
  while (items[listed]) ++listed;
  if (listed != count) std::abort();
  // Items of XML text are XML text: splitting never cuts a character in two.
  if (KVXML_is_xml_text(input, nullptr)) {
    for (int i = 0; i < count; ++i) {
      if (!KVXML_is_xml_text(items[i], nullptr)) std::abort();
    }
  }
  char* encoded = VERU_encode_string_list(count, items);
  for (int i = 0; i < count; ++i) SM_free(items[i]);
  SM_free(items);
  SM_free(encoded);
  for (char* converted :
       {VERU__remove_quotes_and_backslash(input), VERU_add_percent_chars_to_string(input),
        VERU_remove_percent_chars_from_string(input)}) {
    SM_free(converted);
  }
  return 0;
}
