// Fuzz target: a definition file validated as an application file and then as the extras file,
// in one run, with the duplicate names reported at the end; every finding has a library code, a
// file and a text, and the validation gives back every pooled block it took.
#include "fuzz_installation.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const std::string root = fuzz_start_module();
  VERU_VALIDATE_init_schema();
  KVXML_init();
  const std::size_t live_blocks = SM_pool_live_blocks();
  auto* validation = static_cast<VERU_validate_root*>(OM_create_object(VERU_validate_root_c));
  auto* result = static_cast<VERU_validate_result*>(OM_create_object(VERU_validate_result_c));
  for (const char* name : {"/fuzz.dpx", "/kv_extras.dpx"}) {
    const std::string path = root + name;
    fuzz_write(path, data, size);
    int error = 0;
    XERCES_DOM_ctx* document = pvtbl_kvxml->XERCES_DOM_create(&error, "UTF-8", 0);
    if (document && pvtbl_kvxml->XERCES_DOM_parseFile(document, path.c_str(), "utf-8", 2) == 0) {
      if (XERCES_DOM_node* element = pvtbl_kvxml->XERCES_DOM_getDocumentElement(
              pvtbl_kvxml->XERCES_DOM_getDocument(document))) {
        validation->set_dom_node_and_filename(element, path.c_str());
        validation->do_validate_dom_node(result);
      }
    }
    pvtbl_kvxml->XERCES_DOM_release(document);
  }
  validation->report_duplicate_names(result);
  for (int i = 0; i < result->ask_n_results(); ++i) {
    const char* file = nullptr;
    const char* text = nullptr;
    if (!VERU_is_veru_error(result->ask_result(i, &file, &text)) || !file || !text) {
      fuzz_fail("a finding without a library code, a file or a text", "all three",
                file && text ? std::string(file) + ": " + text : "(missing)");
    }
  }
  OM_delete_object(validation);
  OM_delete_object(result);
  if (SM_pool_live_blocks() != live_blocks) {
    fuzz_fail("the validation left pooled blocks behind", std::to_string(live_blocks),
              std::to_string(SM_pool_live_blocks()));
  }
  return 0;
}
