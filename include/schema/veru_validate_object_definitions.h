// The classes with which a host tool checks definition files before they are used: the root of
// a validation run, the validators of applications, categories, tabs and preferences, the result
// that collects numbered findings, and the bookkeeping of names seen across files. The library
// never makes these objects itself; a host makes the root and the result with OM_create_object.
#pragma once

#include <vavadoz.h>

#include "veru_api.h"

VERU_EXPORTS_BEGIN

class VERU_validate_root;

// The findings of a run: three parallel arrays of code, file and text, in the order in which
// they were added. It only grows. Strings it returns stay owned by the result.
class VERU_validate_result : public OM_methodic_object {
 public:
  static void init_methods(OM_class_descriptor* table);

  // The code of result index (from 0); filename and error_text receive its file and text.
  virtual int ask_result(int index, const char** filename, const char** error_text) const;
  virtual int ask_n_results() const;
  // Appends one result; the result keeps copies of the strings. While checking is on, the code
  // must be one of the library's.
  virtual void add_result(const char* filename, int error_code, const char* error_text);
};

// Abstract base of the validators: the element checked and the root of the run, which the
// validator does not own.
class VERU_validate_object : public OM_methodic_object {
 public:
  static void init_methods(OM_class_descriptor* table);

  // Checks the element and records findings in result; abstract here.
  virtual void do_validate_dom_node(VERU_validate_result* result);
  virtual VERU_validate_root* ask_veru_root() const;

 protected:
  XERCES_DOM_node* ask_dom_node() const {
    return static_cast<XERCES_DOM_node*>(slot(slot_dom_node).p);
  }
  void set_dom_node(XERCES_DOM_node* dom_node) { slot(slot_dom_node).p = dom_node; }
  // The file that the root is validating; null without a root.
  const char* current_filename() const;
  // Stores the element and the root; while checking is on, the element must be named
  // element_name (assertion is the text that a failure reports).
  static void initialise(VERU_validate_object* object, XERCES_DOM_node* dom_node,
                         VERU_validate_root* root, const char* element_name, const char* assertion);
  // Runs a validator made by create_child on each child element named child_element, then
  // records error_code once for each "name" that two or more of those children share.
  void validate_children_with_unique_names(
      const char* child_element,
      VERU_validate_object* (*create_child)(XERCES_DOM_node* dom_node, VERU_validate_root* root),
      int error_code, VERU_validate_result* result);

 private:
  static inline int slot_dom_node = -1;
  static inline int slot_veru_root = -1;
};

// The driver of a run over any number of files: it walks the applications of each file and
// keeps every application and preference name seen, with its files, to report duplicates at
// the end. It owns its name sets and their members; deleting the root deletes them.
class VERU_validate_root : public VERU_validate_object {
 public:
  static void init_methods(OM_class_descriptor* table);

  // Validates each "Application" child of the element given last to set_dom_node_and_filename.
  void do_validate_dom_node(VERU_validate_result* result) override;
  // The element (usually a document's root element) and the file name for the next walk; the
  // element must stay alive while the walk runs.
  virtual void set_dom_node_and_filename(XERCES_DOM_node* node, const char* filename);
  // Record a name for the current file; a name seen before becomes a duplicate, except an
  // application name in the extras file. Absent or empty names are not recorded.
  virtual void add_application_name(const char* name);
  virtual void add_pref_name(const char* name);
  // Records one result per duplicate name collected so far: applications, then preferences.
  virtual void report_duplicate_names(VERU_validate_result* result);
  virtual const char* ask_current_filename() const;

 private:
  static void delete_name_sets(OM_object* object);
  void add_name(int set_slot, int duplicates_slot, const char* name, bool is_application);
  void report_duplicates(int set_slot, int duplicates_slot, int error_code,
                         VERU_validate_result* result);

  static inline int slot_current_filename = -1;
  static inline int slot_pref_name_set = -1;
  static inline int slot_dup_pref_name_set = -1;
  static inline int slot_app_name_set = -1;
  static inline int slot_dup_app_name_set = -1;
};

// Validates an "Application" element: its categories, and category names that repeat in it.
class VERU_validate_application : public VERU_validate_object {
 public:
  static VERU_validate_application* create(XERCES_DOM_node* dom_node, VERU_validate_root* root);
  static void initialise(VERU_validate_application* object, XERCES_DOM_node* dom_node,
                         VERU_validate_root* root);
  static void init_methods(OM_class_descriptor* table);

  void do_validate_dom_node(VERU_validate_result* result) override;
};

// Validates a "Category" element: its tabs, and tab names that repeat in it.
class VERU_validate_category : public VERU_validate_object {
 public:
  static VERU_validate_category* create(XERCES_DOM_node* dom_node, VERU_validate_root* root);
  static void initialise(VERU_validate_category* object, XERCES_DOM_node* dom_node,
                         VERU_validate_root* root);
  static void init_methods(OM_class_descriptor* table);

  void do_validate_dom_node(VERU_validate_result* result) override;
};

// Validates a "Tab" element: the preferences directly in it, and titles that repeat among them.
class VERU_validate_tab : public VERU_validate_object {
 public:
  static VERU_validate_tab* create(XERCES_DOM_node* dom_node, VERU_validate_root* root);
  static void initialise(VERU_validate_tab* object, XERCES_DOM_node* dom_node,
                         VERU_validate_root* root);
  static void init_methods(OM_class_descriptor* table);

  void do_validate_dom_node(VERU_validate_result* result) override;
};

// Validates a "Pref" element: records its name with the root, checks its title, and checks that
// its widget suits its type and constraint.
class VERU_validate_pref : public VERU_validate_object {
 public:
  static VERU_validate_pref* create(XERCES_DOM_node* dom_node, VERU_validate_root* root);
  static void initialise(VERU_validate_pref* object, XERCES_DOM_node* dom_node,
                         VERU_validate_root* root);
  static void init_methods(OM_class_descriptor* table);

  void do_validate_dom_node(VERU_validate_result* result) override;

 private:
  // The code of the first widget rule that the widget element breaks, 0 when none: data is the
  // preference's Data element or null, pref_type its "type" attribute.
  static int validate_widget(XERCES_DOM_node* widget, XERCES_DOM_node* data, const char* pref_type);
};

// A name with every file in which it was seen, each once, in the order first seen.
class VERU_validate_name_file_map : public OM_methodic_object {
 public:
  static VERU_validate_name_file_map* create(const char* name, const char* filename);
  static void initialise(VERU_validate_name_file_map* object, const char* name,
                         const char* filename);
  static void init_methods(OM_class_descriptor* table);

  // Appends filename unless it is listed already (exact comparison).
  virtual void add_filename(const char* filename);
  // The number of files and a new array of pointers to them: the caller releases the array
  // with SM_free, not the strings, which stay the map's.
  virtual int ask_filenames(const char*** filenames) const;
  virtual const char* ask_node_name() const;

 private:
  static inline int slot_node_name = -1;
};

// A hash set of name-file maps keyed by their names, compared byte for byte. It does not own
// its members.
class VERU_validate_name_set : public OM_hash_set {
 public:
  // An empty set; owner keeps it alive and capacity is a hint.
  static VERU_validate_name_set* create(OM_object* owner, int capacity);
  static void init_methods(OM_class_descriptor* table);

 private:
  static int key_compare(const void* name, const OM_object* map);
  static int element_compare(const OM_object* a, const OM_object* b);
  static unsigned key_hash(const void* name);
  static unsigned element_hash(const OM_object* map);
};

VERU_EXPORTS_END
