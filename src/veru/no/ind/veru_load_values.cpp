// Reading the value files of the site, group and user levels: values, locks, dates and
// comments, with what a lower level locks, unknown names and invalid values logged and skipped.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "veru_edit.h"
#include "veru_entry_attributes.h"
#include "veru_levels.h"
#include "veru_module.h"
#include "veru_read_entry.h"
#include "veru_value_file.h"
#include "veru_watch.h"
#include "veru_xml.h"

#define VERU_SOURCE "src/veru/no/ind/veru_load_values"

namespace {

// The entries of one file that its load ignores: logged, kept for the next save, counted.
class ignored_entries {
 public:
  explicit ignored_entries(veru_level_s& entry) : entry_(entry) {}
  ~ignored_entries() {
    if (count_ > VERU_MAX_ENTRY_LINES) {
      ERROR_lprintf("\t%d more entries of %s ignored\n", count_ - VERU_MAX_ENTRY_LINES,
                    entry_.file_path);
    }
  }
  ignored_entries(const ignored_entries&) = delete;
  ignored_entries& operator=(const ignored_entries&) = delete;

  // Logs the line, whose format takes the entry's name, and keeps the entry with why.
  void ignore(const veru_element_record_s& element, const char* format, const char* name,
              veru_carried_entries::why_s why) {
    if (++count_ <= VERU_MAX_ENTRY_LINES) ERROR_lprintf(format, veru_quoted(name).c_str());
    entry_.carried.keep(element, std::move(why));
  }
  bool any() const { return count_ > 0; }

 private:
  veru_level_s& entry_;
  int count_ = 0;
};

// The lowest level below level that locks the preference, in words.
std::string lock_reason(VERU_pref* pref, int level) {
  int below = 0;
  while (below < level - 1 && !pref->is_locked(below)) ++below;
  return "locked at " + veru_level_text(below);
}

// The preference an entry of the file is for: the one of its name, else the one renamed from
// it unless the file has an entry under the new name too (that one wins; this one is carried).
// Null with *why when there is none.
class entry_target {
 public:
  explicit entry_target(const veru_value_file_index& index) : index_(index) {}
  VERU_pref* find(const char* name, std::string* why) {
    if (VERU_pref* pref = VERU_lookup_pref(name)) return pref;
    VERU_pref* renamed = VERU_lookup_renamed_pref(name);
    if (!renamed || !name) {
      *why = "no preference has this name";
      return nullptr;
    }
    if (names_.empty()) {
      for (const veru_entry_attributes_s& entry : index_.entries) {
        if (entry.name) names_.insert(entry.name);
      }
    }
    if (names_.count(renamed->ask_name()) == 0) return renamed;
    *why = std::string("renamed to ") + renamed->ask_name() + ", which the file also has";
    return nullptr;
  }

 private:
  const veru_value_file_index& index_;
  std::unordered_set<std::string_view> names_;
};

// Reads the Pref entries of a parsed value file into the level, and where each stands in the
// file. A value that its preference refuses, or whatever reading one entry raises, costs that
// entry only.
void read_entries(const veru_parsed_file& file, int level, bool notify, ignored_entries* ignored) {
  const veru_value_file_index& index = file.index();
  veru_level_layout& layout = veru_level(level).layout;
  layout.keep_notes(index.notes, static_cast<int>(index.entries.size()));
  entry_target target(index);
  int position = 0;
  std::string why;
  for (const veru_entry_attributes_s& entry : index.entries) {
    ++position;
    const veru_element_record_s& element = entry.record;
    const char* name = entry.name;
    VERU_pref* pref = target.find(name, &why);
    if (!pref) {
      ignored->ignore(element, "\tDefault %s is not found in the database. Value ignored\n", name,
                      {VERU_ERROR_UNKNOWN_PREF, position, why});
    } else if (pref->is_locked(level - 1)) {
      ignored->ignore(element, "\tDefault %s is locked. Value ignored\n", name,
                      {VERU_ERROR_LOCKED_AT_HIGHER_LEVEL, position, lock_reason(pref, level)});
    } else {
      int refused = 0;
      try {
        refused = veru_read_entry(pref, entry, level, [&] { return file.element(entry); });
        if (!refused && notify) pref->update_loaded_value(level);
      } catch (const TQS::Error::Exception& error) {
        refused = error.askCode();
      }
      if (refused) {
        ignored->ignore(element, "\tDefault %s value is not valid. Value ignored\n", name,
                        {refused, position, "", true});
      } else {
        layout.place(pref, position - 1);
      }
    }
  }
}

}  // namespace

void veru_load_level_values(int level, bool notify, veru_parsed_file parsed) {
  veru_level_s& entry = veru_level(level);
  // A reload replaces what an earlier load kept.
  entry.carried.clear();
  entry.layout.clear();
  entry.load_failure.clear();
  ignored_entries ignored(entry);
  try {
    veru_character_checking_off checking_off;
    veru_parsed_file file = std::move(parsed);
    if (CFI_ask_file_exist(entry.file_path) != 0) {
      ERROR_lprintf("\tUser customizations file %s does not exist\n", entry.file_path);
      entry.identity = CFI_file_identity_s();
      entry.up_to_date = true;
      entry.load_state = VERU_LOAD_NO_FILE;
      entry.load_failure.clear();
      return;
    }
    if (!file.is_parsed()) {
      const int status = file.parse(entry.file_path, level);
      entry.identity = file.file_identity();
      if (status != 0) {
        entry.load_failure = file.error_text();
        ERROR_lprintf("\n%s\n", entry.load_failure.c_str());
        ERROR_raise(VERU_SOURCE, __LINE__, VERU_ERROR_VALUE_FILE_LOAD,
                    "Unable to parse XML values file %s", entry.file_path);
      }
    }
    entry.identity = file.file_identity();
    const veru_value_file_index& index = file.index();
    // Another document (a definition file given as a value file) is not read, nor saved over.
    if (!index.root_name || std::strcmp(index.root_name, "PrefValues") != 0) {
      entry.load_failure = std::string(entry.file_path) + ": the root element is " +
                           veru_quoted(index.root_name) + ", not PrefValues";
      ERROR_lprintf("\n%s\n", entry.load_failure.c_str());
      ERROR_raise(VERU_SOURCE, __LINE__, VERU_ERROR_VALUE_FILE_LOAD, "%s is not a values file",
                  entry.file_path);
    }
    entry.locked_by_default = false;
    const char* status = index.default_lock_status;
    const bool locked_by_default = status && std::strcmp(status, "locked") == 0;
    read_entries(file, level, notify, &ignored);
    // Applied only now, so that a file never locks itself out.
    entry.locked_by_default = locked_by_default;
    entry.up_to_date = true;
    entry.load_state = VERU_LOAD_LOADED;
    entry.load_failure.clear();
  } catch (const TQS::Error::Exception& error) {
    entry.load_state = VERU_LOAD_FAILED;
    if (entry.load_failure.empty())
      entry.load_failure = std::string(entry.file_path) + ": " + error.what();
    ERROR_lprintf("Unable to load user customizations file for level %d - continuing\n", level);
    if (notify) veru_call_level_report_hook(level, 0);
  }
  if (ignored.any() && notify) veru_call_level_report_hook(level, 1);
}

void veru_load_values(bool notify) {
  for (int level = 1; level < VERU_LEVEL_COUNT; ++level) {
    const veru_level_s& entry = veru_level(level);
    if (!entry.defined || entry.up_to_date) continue;
    veru_parse_timer timer;
    ERROR_lprintf("Processing customer default values file %s\n", entry.file_path);
    veru_load_level_values(level, notify, veru_parsed_file());
    timer.report("\tParsing time: cpu: %1.1f, real: %1.1f \n");
  }
}

namespace {

void remove_level_value(OM_object* pref, void* level) {
  static_cast<VERU_pref*>(pref)->remove_value(*static_cast<int*>(level));
}

}  // namespace

void veru_remove_level_values(int level) {
  if (VERU_module_root* root = VERU__ask_module_root()) {
    OM_for_all_in_set(root->ask_pref_set(), remove_level_value, &level);
  }
}

void VERU_reload_values_xml() {
  for (int level = 1; level < VERU_LEVEL_COUNT; ++level) {
    const veru_level_s& entry = veru_level(level);
    if (!entry.defined || entry.up_to_date) continue;
    veru_watch_reread(level);
    veru_remove_level_values(level);
  }
  veru_load_values(false);
}
