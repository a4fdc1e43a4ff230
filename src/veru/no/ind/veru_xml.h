// Internal pieces shared by the sources that find, read and write definition and value files.
#pragma once

#include <veru.h>

#include <time.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Switches the host's file-name character checking off for its lifetime and restores the
// setting it found, on every way out.
class veru_character_checking_off {
 public:
  veru_character_checking_off() : saved_(CFI_is_character_checking_enable()) {
    CFI_enable_character_checking(false);
  }
  ~veru_character_checking_off() { CFI_enable_character_checking(saved_); }
  veru_character_checking_off(const veru_character_checking_off&) = delete;
  veru_character_checking_off& operator=(const veru_character_checking_off&) = delete;

 private:
  bool saved_;
};

// Processor seconds of one thread and elapsed seconds, spent on one piece of work.
struct veru_work_time_s {
  double cpu = 0.0;
  double real = 0.0;
};

// Measures the calling thread's processor time and the elapsed time from its making.
class veru_stopwatch {
 public:
  veru_stopwatch();
  veru_work_time_s elapsed() const;

 private:
  timespec cpu_;
  timespec real_;
};

// Times the reading of one file while the host's checking level is 1 or more: what the calling
// thread spends on it from the timer's making.
class veru_parse_timer {
 public:
  veru_parse_timer();
  bool is_timing() const { return stopwatch_.has_value(); }
  // Logs the processor and elapsed seconds with format, which takes two doubles; nothing when
  // not timing.
  void report(const char* format);

 private:
  std::optional<veru_stopwatch> stopwatch_;
};

// The installation variables, read once on first use and kept for the life of the process;
// null for a variable that is not set.
struct veru_environment_s {
  const char* xml_def_dir;  // KVRN_VERU_XML_DEF_DIR
  const char* lang;         // KVRN_LANG
  const char* base_dir;     // KVRN_BASE_DIR
};
const veru_environment_s& veru_environment();
// The language whose variants are preferred, given the value of KVRN_LANG: the value when it
// is set, not empty and not exactly "english"; null otherwise.
const char* veru_counting_language(const char* lang);

// A document of the XML service made for the library, released when the holder goes.
class veru_document {
 public:
  // Makes an empty document; raises VERU_ERROR_XML_INIT "Unable to initialize DOM" when it cannot.
  veru_document();
  XERCES_DOM_ctx* context() const { return document_.get(); }
  // Hands the document over to the caller, who releases it.
  XERCES_DOM_ctx* release() { return document_.release(); }

 private:
  kvxml_document document_;
};

// The first element child of parent when after is null, else the next element sibling of
// after; null when there is none.
XERCES_DOM_node* veru_next_element(XERCES_DOM_node* parent, XERCES_DOM_node* after);
bool veru_is_named(XERCES_DOM_node* node, const char* name);
// The attribute's value; null when it is absent or empty.
const char* veru_non_empty_attribute(XERCES_DOM_node* element, const char* name);

// Lines about single entries of one file (ignored values, duplicate names) stop after this many;
// one line counts the rest.
constexpr int VERU_MAX_ENTRY_LINES = 1000;

// A name or value from a file as a log line quotes it: "" for null, and cut after 200 bytes
// (at a character boundary) with "..." so that no file can flood the log.
std::string veru_quoted(const char* text);

// One lookup of a definition file by its table name; a new string (SM_free) or error
// VERU_ERROR_DEFINITION_FILE_LOAD.
char* veru_find_definition_file(const char* name);
struct veru_section_s;
// Start-up steps: reading the definition files, setting up the levels, reading value files.
void veru_load_definitions();
// Reads one definition file into the started module: the extras procedure when the path
// contains "kv_extras", else its applications. Raises on the first failure.
void veru_load_definition_file(const char* path);
// Reads a compiled definition file as the start reads one from its image: from the section, or
// from the file at path when the section is no compiled definition file.
void veru_load_definition_section(const char* path, const veru_section_s& section);
void veru_init_levels();
void veru_load_values(bool notify);

// How definition and value files are parsed.
constexpr int VERU_DEFINITION_FILE_MODE = XERCES_DOM_PARSE_DROP_BLANK_TEXT;
// A comment of blanks alone is kept as it was written; the XML comments a person wrote are kept
// for the next save.
constexpr int VERU_VALUE_FILE_MODE = XERCES_DOM_PARSE_DROP_BLANK_TEXT |
                                     XERCES_DOM_PARSE_KEEP_SOLE_BLANK_TEXT |
                                     XERCES_DOM_PARSE_KEEP_MARKUP;
class veru_parsed_file;
// Reads one level's value file: from the file given when it is parsed, else from the disk. With
// notify, queries follow each value read and the host's report hook is called.
void veru_load_level_values(int level, bool notify, veru_parsed_file file);
// Removes what the level records from every preference.
void veru_remove_level_values(int level);

// Deepest nesting of group elements that a definition file may have.
constexpr int VERU_MAX_GROUP_DEPTH = 64;
