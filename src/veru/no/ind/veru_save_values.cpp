// Saving a level: the value document of every preference with a value at the level, written
// over the level's value file atomically, with a style sheet placed beside it.
#include <cerrno>
#include <cstring>

#include "veru_levels.h"
#include "veru_sm_string.h"
#include "veru_xml.h"

#define VERU_SOURCE "src/veru/no/ind/veru_save_values"

namespace {

struct save_context_s {
  XERCES_DOM_ctx* document;
  XERCES_DOM_node* root;
  int level;
};

void append_entry(OM_object* object, void* data) {
  auto* pref = static_cast<VERU_pref*>(object);
  auto* save = static_cast<save_context_s*>(data);
  if (!pref->has_value(save->level)) return;
  pvtbl_kvxml->XERCES_DOM_appendChild(save->root,
                                      pref->create_dom_node(save->document, save->level));
  pvtbl_kvxml->XERCES_DOM_appendChild(save->root,
                                      pvtbl_kvxml->XERCES_DOM_createTextNode(save->document, "\n"));
}

bool exists(const char* path) {
  return path && CFI_ask_file_exist(path) == 0;
}

// Copies source (a file in directory under the installation) to target when it is there.
void copy_style_sheet(const char* directory, const char* source_name, const char* target) {
  char* source = nullptr;
  if (CFI_merge_filespec(directory, source_name, &source) != 0) return;
  const veru_sm_string path = veru_owned(source);
  if (exists(path.get())) CFI_copy_file(path.get(), target, CFI_COPY_REPLACE | CFI_COPY_MODE_BITS);
}

// Puts the installation's style sheet, in the language's variant when there is one, at target
// unless a style sheet is there already.
void provide_style_sheet(const char* target) {
  const char* base = veru_environment().base_dir;
  if (!base || exists(target)) return;
  if (const char* language = veru_counting_language()) {
    char* localization = nullptr;
    if (CFI_merge_filespec(base, "localization", &localization) == 0) {
      const veru_sm_string directory = veru_owned(localization);
      const veru_sm_string name = veru_owned(SM_sprintf("dpv_%s.xsl", language));
      copy_style_sheet(directory.get(), name.get(), target);
    }
  }
  if (exists(target)) return;
  char* kvrn = nullptr;
  char* xsl = nullptr;
  if (CFI_merge_filespec(base, "kvrn", &kvrn) == 0 && CFI_merge_filespec(kvrn, "xsl", &xsl) == 0) {
    copy_style_sheet(xsl, "dpv.xsl", target);
  }
  SM_free(kvrn);
  SM_free(xsl);
}

}  // namespace

void VERU_write_dpv_file(const char* path, XERCES_DOM_ctx* document, XERCES_DOM_node* node) {
  veru_character_checking_off checking_off;
  char* directory_part = nullptr;
  char* name_part = nullptr;
  CFI_split_filespec(path, &directory_part, &name_part);
  const veru_sm_string directory = veru_owned(directory_part);
  const veru_sm_string name = veru_owned(name_part);
  char* stem = nullptr;
  if (!name || CFI_remove_extension(name.get(), CFI_TYPE_ANY, &stem) != 0) {
    ERROR_raise(VERU_SOURCE, __LINE__, 3550005, "Unable to write file %s: no file name \n",
                path ? path : "");
  }
  const veru_sm_string style_sheet = veru_owned(SM_sprintf("%s.xsl", stem));
  SM_free(stem);
  const veru_sm_string instruction =
      veru_owned(SM_sprintf("type=\"text/xsl\" href=\"%s\"", style_sheet.get()));
  pvtbl_kvxml->XERCES_DOM_insertBefore(node,
                                       pvtbl_kvxml->XERCES_DOM_createProcessingInstruction(
                                           document, "xml-stylesheet", instruction.get()),
                                       pvtbl_kvxml->XERCES_DOM_getDocumentElement(node));
  // The file is replaced as a whole: a failed write leaves the old one as it was.
  if (const int error = pvtbl_kvxml->XERCES_DOM_writeFile(path, "UTF-8", node)) {
    ERROR_raise(VERU_SOURCE, __LINE__, 3550005, "Unable to write file %s: %s \n", path,
                std::strerror(error));
  }
  char* target = nullptr;
  if (*directory && CFI_merge_filespec(directory.get(), style_sheet.get(), &target) == 0) {
    provide_style_sheet(target);
  }
  SM_free(target);
}

void VERU__save_values_xml(int level) {
  veru_level_s& entry = veru_level(level);
  if (!entry.defined) return;
  try {
    veru_document document;
    XERCES_DOM_ctx* context = document.context();
    pvtbl_kvxml->XERCES_DOM_createDocumentElement(context, "PrefValues");
    XERCES_DOM_node* first_line = pvtbl_kvxml->XERCES_DOM_createTextNode(context, "\n");
    XERCES_DOM_node* node = pvtbl_kvxml->XERCES_DOM_getDocument(context);
    XERCES_DOM_node* root = pvtbl_kvxml->XERCES_DOM_getDocumentElement(node);
    pvtbl_kvxml->XERCES_DOM_setAttribute(root, "defaultLockStatus",
                                         entry.locked_by_default ? "locked" : "unlocked");
    pvtbl_kvxml->XERCES_DOM_appendChild(root, first_line);
    save_context_s save{context, root, level};
    if (VERU_module_root* module_root = VERU__ask_module_root()) {
      OM_for_all_in_set(module_root->ask_pref_set(), append_entry, &save);
    }
    VERU_write_dpv_file(entry.file_path, context, node);
    entry.up_to_date = true;
  } catch (const TQS::Error::Exception& error) {
    ERROR_lprintf("Unable to save preferences values at the level %d -- error %d\n", level,
                  error.askCode());
  }
}
