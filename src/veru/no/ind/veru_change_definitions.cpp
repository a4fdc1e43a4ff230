// VERU_change: a change record that host code applies to a preference's level.
#include <veru.h>

#include "veru_class.h"

VERU_change* VERU_change::create(const char* option_name) {
  return veru_create<VERU_change>(VERU_change_c, option_name);
}

void VERU_change::initialise(VERU_change* object, const char* option_name) {
  OM_store_string(object->slot(slot_option_name), option_name);
}

void VERU_change::init_methods(OM_class_descriptor* table) {
  veru_set_class_operations<VERU_change>(table);
  OM_init_cascading_method(table, &VERU_change::delete_value);
  slot_option_name = OM_ask_attribute_slot(VERU_change_c, ATT_option_name__VERU6477);
  slot_value = OM_ask_attribute_slot(VERU_change_c, ATT_value__VERU1281);
  slot_update_lock = OM_ask_attribute_slot(VERU_change_c, ATT_update_lock__VERU5333);
  slot_update_comment = OM_ask_attribute_slot(VERU_change_c, ATT_update_comment__VERU5433);
  slot_update_value = OM_ask_attribute_slot(VERU_change_c, ATT_update_value__VERU1403);
}

// Deleting a record deletes its recorded value, and with it that value's object.
void VERU_change::delete_value(OM_object* object) {
  OM_delete_slot_object(object->slot(slot_value));
}

const char* VERU_change::ask_option_name() const {
  return slot(slot_option_name).s;
}

VERU_recorded_value* VERU_change::ask_value() const {
  return slot_object<VERU_recorded_value>(slot_value);
}

void VERU_change::set_value(VERU_recorded_value* value) {
  slot(slot_value).o = value;
}

bool VERU_change::ask_update_lock() const {
  return slot(slot_update_lock).l;
}

void VERU_change::set_update_lock(bool update) {
  slot(slot_update_lock).l = update;
}

bool VERU_change::ask_update_comment() const {
  return slot(slot_update_comment).l;
}

void VERU_change::set_update_comment(bool update) {
  slot(slot_update_comment).l = update;
}

bool VERU_change::ask_update_value() const {
  return slot(slot_update_value).l;
}

void VERU_change::set_update_value(bool update) {
  slot(slot_update_value).l = update;
}
