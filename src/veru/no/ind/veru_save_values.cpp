// Saving a level: the value document of every preference with a value at the level, and the
// entries that the level's load ignored, written over the level's value file atomically under
// the level's lock, with a style sheet placed beside it.
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <string>
#include <vector>

#include "veru_edit.h"
#include "veru_history.h"
#include "veru_levels.h"
#include "veru_pref_names.h"
#include "veru_pref_types.h"
#include "veru_save_result.h"
#include "veru_sm_string.h"
#include "veru_value_entry.h"
#include "veru_watch.h"
#include "veru_xml.h"

#define VERU_SOURCE "src/veru/no/ind/veru_save_values"

int veru_refuse_save(char** reason, int code, const char* format, ...) {
  if (reason) {
    va_list args;
    va_start(args, format);
    *reason = SM_vsprintf(format, args);
    va_end(args);
  }
  return code;
}

namespace {

struct save_context_s {
  XERCES_DOM_ctx* document;
  XERCES_DOM_node* root;
  int level;
  std::string refusal;           // why the document cannot be written, once an entry says so
  veru_value_entry_room_s room;  // kept from entry to entry
};

// Why text of the preference's entry (what, "value" or "comment") cannot be written: text that
// XML cannot hold, put there by a host that did not check it. "" when it can.
std::string unwritable(const char* text, const char* what, const VERU_pref* pref) {
  if (KVXML_is_xml_text(text, nullptr)) return "";
  return veru_unholdable_text(text,
                              std::string("the ") + what + " of " + veru_quoted(pref->ask_name()),
                              VERU_ERROR_VALUE_FILE_SAVE)
      .reason;
}

std::string unwritable_text(VERU_pref* pref, int level) {
  const veru_sm_string value = veru_owned(pref->ask_value(level)->print());
  std::string refusal = unwritable(value.get(), "value", pref);
  if (refusal.empty())
    refusal = unwritable(TEXT_ask_utf8(pref->ask_comment(level)), "comment", pref);
  return refusal;
}

// The preference classes of the library, whose entries the save makes itself, from the same
// texts as VERU_pref::create_dom_node.
bool is_library_pref(int class_id) {
  return veru_pref_type_of(class_id) != nullptr;
}

// Appends the entry of a preference of the library's own classes; null, with the refusal set,
// when it cannot be written, and null too for a value that a list does not hold as a string,
// which create_dom_node then reports.
XERCES_DOM_node* library_entry(VERU_pref* pref, save_context_s* save) {
  const VERU_value* value = pref->VERU_pref::ask_recorded_value(save->level)->ask_value();
  const bool is_list = OM_is_subclass(pref->class_id(), VERU_pref_list_c);
  if (is_list && value->class_id() != VERU_string_value_c) return nullptr;
  const veru_value_entry_s texts = veru_value_entry_texts(pref, save->level, &save->room);
  save->refusal = unwritable(texts.value, "value", pref);
  if (save->refusal.empty()) {
    save->refusal = unwritable(TEXT_ask_utf8(texts.comment), "comment", pref);
  }
  if (!save->refusal.empty()) return nullptr;
  return veru_value_element(save->document, save->root, texts);
}

void append_comments(const std::vector<std::string>& comments, save_context_s* save) {
  for (const std::string& comment : comments) {
    pvtbl_kvxml->XERCES_DOM_appendChild(
        save->root, pvtbl_kvxml->XERCES_DOM_createComment(save->document, comment.c_str()));
    pvtbl_kvxml->XERCES_DOM_appendTextNode(save->root, "\n");
  }
}

// Appends the preference's entry at the level, with what a person wrote at it by hand (notes,
// or null).
void append_entry(VERU_pref* pref, const veru_entry_notes_s* notes, save_context_s* save) {
  if (notes) append_comments(notes->comments, save);
  XERCES_DOM_node* element =
      is_library_pref(pref->class_id()) ? library_entry(pref, save) : nullptr;
  if (!save->refusal.empty()) return;
  if (!element) {
    save->refusal = unwritable_text(pref, save->level);
    if (!save->refusal.empty()) return;
    element = pref->create_dom_node(save->document, save->level);
    pvtbl_kvxml->XERCES_DOM_appendChild(save->root, element);
  }
  if (notes) {
    for (const auto& [name, value] : notes->attributes) {
      pvtbl_kvxml->XERCES_DOM_setAttribute(element, name.c_str(), value.c_str());
    }
  }
  pvtbl_kvxml->XERCES_DOM_appendTextNode(save->root, "\n");
}

// Appends the level's own entries: those of its file in the file's order, then those new to it
// in definition order (*added), so that a save changes only the entries that changed.
void append_entries(const veru_level_layout& layout, save_context_s* save,
                    std::vector<VERU_pref*>* added) {
  const int level = save->level;
  for (const auto& [pref, file_entry] : layout.order()) {
    if (!pref->has_value(level)) continue;
    append_entry(pref, layout.notes(file_entry), save);
    if (!save->refusal.empty()) return;
  }
  for (VERU_pref* pref : veru_prefs_in_definition_order()) {
    if (!pref->has_value(level) || layout.is_placed(pref)) continue;
    append_entry(pref, nullptr, save);
    if (!save->refusal.empty()) return;
    added->push_back(pref);
  }
}

bool exists(const char* path) {
  return path && CFI_ask_file_exist(path) == 0;
}

// Whether anything is at path, a symbolic link that leads nowhere included: a style sheet is
// never written through one.
bool anything_at(const char* path) {
  return CFI_ask_file_kind(path) != nullptr;
}

// Copies source (a file in directory under the installation) to target when it is there and
// nothing is at target.
void copy_style_sheet(const char* directory, const char* source_name, const char* target) {
  char* source = nullptr;
  if (CFI_merge_filespec(directory, source_name, &source) != 0) return;
  const veru_sm_string path = veru_owned(source);
  if (exists(path.get())) CFI_copy_file(path.get(), target, CFI_COPY_MODE_BITS);
}

// Puts the installation's style sheet, in the language's variant when there is one, at target
// unless something is there already.
void provide_style_sheet(const char* target) {
  // The installation as start-up found it.
  const veru_environment_s& source = veru_environment();
  if (!source.base_dir || anything_at(target)) return;
  if (const char* language = veru_counting_language(source.lang)) {
    char* localization = nullptr;
    if (CFI_merge_filespec(source.base_dir, "localization", &localization) == 0) {
      const veru_sm_string directory = veru_owned(localization);
      const veru_sm_string name = veru_owned(SM_sprintf("dpv_%s.xsl", language));
      copy_style_sheet(directory.get(), name.get(), target);
    }
  }
  if (anything_at(target)) return;
  char* kvrn = nullptr;
  char* xsl = nullptr;
  if (CFI_merge_filespec(source.base_dir, "kvrn", &kvrn) == 0 &&
      CFI_merge_filespec(kvrn, "xsl", &xsl) == 0) {
    copy_style_sheet(xsl, "dpv.xsl", target);
  }
  SM_free(kvrn);
  SM_free(xsl);
}

// Writes the document with its style-sheet instruction to path and provides the style sheet;
// under the level's lock (locked) also removes what an interrupted copy of the style sheet left.
// "" when the file was written, and *written (when not null) is then its identity; else why not.
std::string write_value_document(const char* path, XERCES_DOM_ctx* document, XERCES_DOM_node* node,
                                 bool locked, CFI_file_identity_s* written) {
  veru_character_checking_off checking_off;
  char* directory_part = nullptr;
  char* name_part = nullptr;
  CFI_split_filespec(path, &directory_part, &name_part);
  const veru_sm_string directory = veru_owned(directory_part);
  const veru_sm_string name = veru_owned(name_part);
  char* stem = nullptr;
  if (!name || CFI_remove_extension(name.get(), CFI_TYPE_ANY, &stem) != 0) return "no file name";
  const veru_sm_string style_sheet = veru_owned(SM_sprintf("%s.xsl", stem));
  SM_free(stem);
  const veru_sm_string instruction =
      veru_owned(SM_sprintf("type=\"text/xsl\" href=\"%s\"", style_sheet.get()));
  pvtbl_kvxml->XERCES_DOM_insertBefore(node,
                                       pvtbl_kvxml->XERCES_DOM_createProcessingInstruction(
                                           document, "xml-stylesheet", instruction.get()),
                                       pvtbl_kvxml->XERCES_DOM_getDocumentElement(node));
  // The file is replaced as a whole: a failed write leaves the old one as it was.
  if (const int error =
          pvtbl_kvxml->XERCES_DOM_writeFileWithIdentity(path, "UTF-8", node, written)) {
    return std::strerror(error);
  }
  char* target = nullptr;
  if (*directory && CFI_merge_filespec(directory.get(), style_sheet.get(), &target) == 0) {
    if (locked) CFI_remove_replacement_leftovers(target, nullptr);
    provide_style_sheet(target);
  }
  SM_free(target);
  return "";
}

// The name beside the level's file under which a file that failed to load is kept:
// "<file>.broken-<date and time>", and "-2", "-3" ... after it while place (which never replaces
// anything: EEXIST) finds the name taken. 0 with *name, otherwise place's errno value.
int place_broken_file(const char* path, int (*place)(const char* from, const char* to),
                      std::string* name) {
  const std::string suffix = veru_compact_utc_stamp();
  int error = EEXIST;
  for (int attempt = 1; error == EEXIST && attempt < 100; ++attempt) {
    *name = std::string(path) + ".broken-" + suffix +
            (attempt > 1 ? "-" + std::to_string(attempt) : "");
    error = place(path, name->c_str());
  }
  return error;
}

// Why the level may not be saved over its file now; 0 when it may. A file that failed to load
// may be saved over only when over_broken is set.
int refuse_unsafe_save(const veru_level_s& entry, bool over_broken, char** reason) {
  if (entry.load_state == VERU_LOAD_FAILED && exists(entry.file_path) && !over_broken) {
    return veru_refuse_save(reason, VERU_ERROR_LEVEL_FILE_BROKEN,
                            "%s: the file failed to load (%s); it is not saved over until it is "
                            "mended and read again, or moved aside",
                            entry.file_path, entry.load_failure.c_str());
  }
  CFI_file_identity_s current;
  CFI_ask_file_identity(entry.file_path, &current);
  if (!CFI_is_same_file(current, entry.identity)) {
    return veru_refuse_save(reason, VERU_ERROR_LEVEL_CHANGED_ON_DISK,
                            "%s: changed on disk since it was read; reload first", entry.file_path);
  }
  char* target = nullptr;
  const int resolved = CFI_resolve_links(entry.file_path, &target);
  SM_free(target);
  if (resolved == EACCES) {
    return veru_refuse_save(reason, VERU_ERROR_VALUE_FILE_SAVE,
                            "%s: is a symbolic link whose owner does not own the file it leads "
                            "to; saves do not follow it",
                            entry.file_path);
  }
  return 0;
}

// The save proper, while the level's lock is held. With over_broken, a file that failed to load
// is first kept under a name of its own (*kept_as), then saved over.
int save_locked_level(int level, bool over_broken, std::string* kept_as, char** reason) {
  veru_level_s& entry = veru_level(level);
  veru_character_checking_off checking_off;
  if (const int refused = refuse_unsafe_save(entry, over_broken, reason)) return refused;
  if (over_broken && entry.load_state == VERU_LOAD_FAILED && exists(entry.file_path)) {
    if (const int error = place_broken_file(entry.file_path, CFI_keep_file_as, kept_as)) {
      return veru_refuse_save(reason, VERU_ERROR_VALUE_FILE_SAVE, "%s: cannot keep it aside: %s",
                              entry.file_path, std::strerror(error));
    }
  }
  // Under the lock nobody else is replacing the file: what is beside it is left from a save
  // that was interrupted.
  CFI_remove_replacement_leftovers(entry.file_path, nullptr);
  std::string failure;
  CFI_file_identity_s written;
  std::vector<VERU_pref*> added;
  try {
    veru_document document;
    XERCES_DOM_ctx* context = document.context();
    pvtbl_kvxml->XERCES_DOM_createDocumentElement(context, "PrefValues");
    XERCES_DOM_node* first_line = pvtbl_kvxml->XERCES_DOM_createTextNode(context, "\n");
    XERCES_DOM_node* node = pvtbl_kvxml->XERCES_DOM_getDocument(context);
    XERCES_DOM_node* root = pvtbl_kvxml->XERCES_DOM_getDocumentElement(node);
    pvtbl_kvxml->XERCES_DOM_setAttribute(root, "defaultLockStatus",
                                         entry.locked_by_default ? "locked" : "unlocked");
    for (const auto& [name, value] : entry.layout.root().attributes) {
      pvtbl_kvxml->XERCES_DOM_setAttribute(root, name.c_str(), value.c_str());
    }
    pvtbl_kvxml->XERCES_DOM_appendChild(root, first_line);
    save_context_s save{context, root, level, "", {}};
    append_entries(entry.layout, &save, &added);
    entry.carried.append_to(context, root, level, entry.layout);
    append_comments(entry.layout.trailing_comments(), &save);
    if (save.refusal.empty()) {
      // The file that the save replaces is kept; a refused save keeps nothing.
      const std::string generation = veru_keep_generation(entry.file_path);
      failure = write_value_document(entry.file_path, context, node, true, &written);
      if (!failure.empty() && !generation.empty()) CFI_delete_file(generation.c_str());
    } else {
      failure = save.refusal;
    }
  } catch (const TQS::Error::Exception& error) {
    failure = error.what();
  }
  if (!failure.empty()) {
    return veru_refuse_save(reason, VERU_ERROR_VALUE_FILE_SAVE, "%s: %s", entry.file_path,
                            failure.c_str());
  }
  entry.identity = written;
  entry.up_to_date = true;
  entry.load_state = VERU_LOAD_LOADED;
  entry.load_failure.clear();
  veru_prune_generations(entry.file_path);
  entry.carried.drop_replaced(level);
  for (VERU_pref* pref : added) entry.layout.place_last(pref);
  veru_watch_saved(level);
  return 0;
}

// Refuses a level that has no value file the library can write.
int refuse_unwriteable(int level, char** reason) {
  if (level < 1 || level >= VERU_LEVEL_COUNT) {
    return veru_refuse_save(reason, VERU_ERROR_LEVEL_NOT_WRITEABLE, "level %d has no value file",
                            level);
  }
  const veru_level_s& entry = veru_level(level);
  if (!entry.defined) {
    return veru_refuse_save(reason, VERU_ERROR_LEVEL_NOT_WRITEABLE, "the level %d is not defined",
                            level);
  }
  if (!VERU_is_level_writeable(level)) {
    return veru_refuse_save(reason, VERU_ERROR_LEVEL_NOT_WRITEABLE, "%s: not writeable",
                            entry.file_path);
  }
  return 0;
}

int save_level(int level, bool over_broken, char** kept_as, char** reason) {
  if (reason) *reason = nullptr;
  if (kept_as) *kept_as = nullptr;
  if (const int refused = refuse_unwriteable(level, reason)) return refused;
  if (const int refused = VERU_lock_level(level, reason)) return refused;
  std::string kept;
  const int result = save_locked_level(level, over_broken, &kept, reason);
  VERU_unlock_level(level);
  if (kept_as && !kept.empty()) *kept_as = SM_string_copy(kept.c_str());
  return result;
}

}  // namespace

void VERU_write_dpv_file(const char* path, XERCES_DOM_ctx* document, XERCES_DOM_node* node) {
  const std::string failure = write_value_document(path, document, node, false, nullptr);
  if (!failure.empty()) {
    ERROR_raise(VERU_SOURCE, __LINE__, VERU_ERROR_VALUE_FILE_SAVE, "Unable to write file %s: %s \n",
                path ? path : "", failure.c_str());
  }
}

int VERU_save_level(int level, char** reason) {
  return save_level(level, false, nullptr, reason);
}

int VERU_save_level_over_broken(int level, char** kept_as, char** reason) {
  return save_level(level, true, kept_as, reason);
}

void VERU__save_values_xml(int level) {
  if (level < 1 || level >= VERU_LEVEL_COUNT || !veru_level(level).defined) return;
  char* reason = nullptr;
  if (const int code = VERU_save_level(level, &reason)) {
    ERROR_lprintf("Unable to save preferences values at the level %d -- error %d: %s\n", level,
                  code, reason ? reason : "");
  }
  SM_free(reason);
}

int VERU_set_aside_level_file(int level, char** moved_to, char** reason) {
  if (moved_to) *moved_to = nullptr;
  if (reason) *reason = nullptr;
  if (level < 1 || level >= VERU_LEVEL_COUNT) {
    return veru_refuse_save(reason, VERU_ERROR_LEVEL_NOT_WRITEABLE, "level %d has no value file",
                            level);
  }
  if (const int refused = VERU_lock_level(level, reason)) return refused;
  veru_level_s& entry = veru_level(level);
  veru_character_checking_off checking_off;
  int result = 0;
  std::string target;
  if (!exists(entry.file_path)) {
    result = veru_refuse_save(reason, VERU_ERROR_VALUE_FILE_SAVE,
                              "%s: there is no file to move aside", entry.file_path);
  } else if (const int error = place_broken_file(entry.file_path, CFI_rename_file, &target)) {
    result = veru_refuse_save(reason, VERU_ERROR_VALUE_FILE_SAVE, "%s: cannot move it aside: %s",
                              entry.file_path, std::strerror(error));
  } else {
    // The level has no file now, as this process left it.
    entry.identity = CFI_file_identity_s();
    if (moved_to) *moved_to = SM_string_copy(target.c_str());
  }
  VERU_unlock_level(level);
  return result;
}
