// A node of the definition tree: the tree root, an application, a category, a tab or a group.
#pragma once

#include <vavadoz.h>

#include "veru_api.h"

VERU_EXPORTS_BEGIN

class VERU_group : public OM_tagged_object {
 public:
  static VERU_group* create(const char* name);
  static void initialise(VERU_group* object, const char* name);
  static void init_methods(OM_class_descriptor* table);

  // Appends a child: a group, or a display object that the host made. Not owned.
  virtual void add_object(OM_object* object);
  virtual TEXT_s* ask_name() const;
  virtual int ask_n_objects() const;
  virtual OM_object* ask_nth_object(int index) const;
  virtual bool ask_has_tabs() const;
  virtual void set_has_tabs(bool has_tabs);
  virtual VERU_group* ask_parent() const;
  virtual void set_parent(VERU_group* parent);
  // The tag of the first category at or below this node along the first children; 0 if none.
  virtual unsigned ask_tabbed_tag() const;
  virtual void set_csh_text(const char* csh_text);
  virtual const char* ask_csh_text() const;
  virtual bool ask_is_group() const;
  virtual void set_is_group(bool is_group);

 private:
  static inline int slot_name = -1;
  static inline int slot_objects = -1;
  static inline int slot_has_tabs = -1;
  static inline int slot_parent = -1;
  static inline int slot_csh_text = -1;
  static inline int slot_is_group = -1;
};

using VERU_group_s = VERU_group;

// The first child of group, in order, whose context-help tag is exactly tag; null if none.
VERU_group* VERU_lookup_application_by_csh_tag(VERU_group* group, const char* tag);

VERU_EXPORTS_END
