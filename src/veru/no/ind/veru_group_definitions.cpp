// VERU_group: a node of the definition tree (application, category, tab or group).
#include <veru.h>

#include "veru_class.h"

#include <cstring>

VERU_group* VERU_group::create(const char* name) {
  return veru_create<VERU_group>(VERU_group_c, name);
}

void VERU_group::initialise(VERU_group* object, const char* name) {
  OM_tagged_object::initialise(object, VERU__ask_module_root());
  OM_take_text(object->slot(slot_name), TEXT_create_string(name));
}

void VERU_group::init_methods(OM_class_descriptor* table) {
  veru_set_class_operations<VERU_group>(table);
  OM_pack_logical(VERU_group_c, ATT_m_has_tabs__VERU5069);
  OM_pack_logical(VERU_group_c, ATT_m_is_group__VERU9924);
  slot_name = OM_ask_attribute_slot(VERU_group_c, ATT_name__VERU8887);
  slot_objects = OM_ask_attribute_slot(VERU_group_c, ATT_objects__VERU352);
  slot_has_tabs = OM_ask_attribute_slot(VERU_group_c, ATT_m_has_tabs__VERU5069);
  slot_parent = OM_ask_attribute_slot(VERU_group_c, ATT_parent__VERU7938);
  slot_csh_text = OM_ask_attribute_slot(VERU_group_c, ATT_csh_text__VERU5472);
  slot_is_group = OM_ask_attribute_slot(VERU_group_c, ATT_m_is_group__VERU9924);
}

void VERU_group::add_object(OM_object* object) {
  OM_slot_array_append(slot(slot_objects), object);
}

TEXT_s* VERU_group::ask_name() const {
  return slot(slot_name).t;
}

int VERU_group::ask_n_objects() const {
  return OM_slot_array_length(slot(slot_objects));
}

OM_object* VERU_group::ask_nth_object(int index) const {
  return OM_slot_array_elem(slot(slot_objects), index);
}

bool VERU_group::ask_has_tabs() const {
  return header_bit(slot_has_tabs);
}

void VERU_group::set_has_tabs(bool has_tabs) {
  set_header_bit(slot_has_tabs, has_tabs);
}

VERU_group* VERU_group::ask_parent() const {
  return slot_object<VERU_group>(slot_parent);
}

void VERU_group::set_parent(VERU_group* parent) {
  slot(slot_parent).o = parent;
}

// Walks down the first children without recursion; a first child that is not a group (a
// display object of the host) ends the walk with 0.
unsigned VERU_group::ask_tabbed_tag() const {
  const VERU_group* group = this;
  while (!group->ask_has_tabs()) {
    if (group->ask_n_objects() == 0) return 0;
    const OM_object* first = group->ask_nth_object(0);
    if (!first || !OM_is_subclass(first->class_id(), VERU_group_c)) return 0;
    group = static_cast<const VERU_group*>(first);
  }
  return OM_ask_object_tag(group);
}

void VERU_group::set_csh_text(const char* csh_text) {
  OM_store_string(slot(slot_csh_text), csh_text);
}

const char* VERU_group::ask_csh_text() const {
  return slot(slot_csh_text).s;
}

bool VERU_group::ask_is_group() const {
  return header_bit(slot_is_group);
}

void VERU_group::set_is_group(bool is_group) {
  set_header_bit(slot_is_group, is_group);
}

VERU_group* VERU_lookup_application_by_csh_tag(VERU_group* group, const char* tag) {
  if (!group || !tag) return nullptr;
  const int count = group->ask_n_objects();
  for (int i = 0; i < count; ++i) {
    OM_object* child = group->ask_nth_object(i);
    if (!child || !OM_is_subclass(child->class_id(), VERU_group_c)) continue;
    auto* application = static_cast<VERU_group*>(child);
    const char* csh_text = application->ask_csh_text();
    if (csh_text && std::strcmp(csh_text, tag) == 0) return application;
  }
  return nullptr;
}
