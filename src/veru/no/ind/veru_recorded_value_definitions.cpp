// VERU_recorded_value: what one level records for one preference.
#include <veru.h>

void VERU_recorded_value::init_methods(OM_class_descriptor* table) {
  OM_set_constructor<VERU_recorded_value>(table);
  OM_init_cascading_method(table, &VERU_recorded_value::delete_value);
  // The lock goes into a header bit and the date into the header word: four words an entry.
  OM_pack_logical(VERU_recorded_value_c, ATT_locked__VERU1354);
  slot_value = OM_ask_attribute_slot(VERU_recorded_value_c, ATT_value__VERU1281);
  slot_locked = OM_ask_attribute_slot(VERU_recorded_value_c, ATT_locked__VERU1354);
  slot_modification_date =
      OM_ask_attribute_slot(VERU_recorded_value_c, ATT_modification_date__VERU7773);
  slot_comment = OM_ask_attribute_slot(VERU_recorded_value_c, ATT_comment__VERU655);
}

// Deleting a recorded value deletes the value object that it holds.
void VERU_recorded_value::delete_value(OM_object* object) {
  OM_delete_slot_object(object->slot(slot_value));
}

VERU_value* VERU_recorded_value::ask_value() const {
  return slot_object<VERU_value>(slot_value);
}

void VERU_recorded_value::set_value(VERU_value* value) {
  if (value == ask_value()) return;
  OM_delete_slot_object(slot(slot_value));
  slot(slot_value).o = value;
}

bool VERU_recorded_value::ask_locked() const {
  return header_bit(slot_locked);
}

void VERU_recorded_value::set_locked(bool locked) {
  set_header_bit(slot_locked, locked);
}

TEXT_s* VERU_recorded_value::ask_comment() const {
  return slot(slot_comment).t;
}

void VERU_recorded_value::set_comment(const TEXT_s* comment) {
  OM_store_text(slot(slot_comment), comment);
}

int VERU_recorded_value::ask_modification_date() const {
  return slot(slot_modification_date).i;
}

void VERU_recorded_value::set_modification_date(int date) {
  slot(slot_modification_date).i = date;
}
