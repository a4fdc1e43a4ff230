// VERU_pref: what a preference has whatever its value type: the recorded value of each level
// with the lock rules, the loaded value, and the descriptive attributes.
#include <veru.h>

#include "veru_entry_attributes.h"
#include "veru_pref_types.h"
#include "veru_query_table.h"
#include "veru_read_entry.h"
#include "veru_sm_string.h"
#include "veru_value_entry.h"
#include "veru_xml.h"

#include <cstring>
#include <string>
#include <utility>

#define VERU_SOURCE "src/veru/no/ind/veru_pref_definitions"

namespace {

constexpr int LAST_LEVEL = 3;

void stamp(VERU_recorded_value* recorded) {
  recorded->set_modification_date(CLOCK_gmt());
}

TEXT_s* name_of(const VERU_group* group) {
  return group ? group->ask_name() : nullptr;
}

const VERU_group* parent_of(const VERU_group* group) {
  return group ? group->ask_parent() : nullptr;
}

}  // namespace

void VERU_pref::initialise(VERU_pref* object, const char* name) {
  VERU_pref_interface::initialise(object);
  OM_store_string(object->slot(slot_name), name ? name : "");
}

void VERU_pref::init_methods(OM_class_descriptor* table) {
  table->initialise = reinterpret_cast<OM_generic_fn>(&VERU_pref::initialise);
  OM_init_cascading_method(table, &VERU_pref::delete_owned);
  // Beside the header: what a query reads (the name and the loaded value), and the recorded
  // values, which a save reads for every preference.
  OM_place_attribute_first(VERU_pref_c, ATT_name__VERU8887);
  OM_place_attribute_first(VERU_pref_c, ATT_loaded_value__VERU9075);
  OM_place_attribute_first(VERU_pref_c, ATT_values__VERU4702);
  slot_name = OM_ask_attribute_slot(VERU_pref_c, ATT_name__VERU8887);
  slot_desc = OM_ask_attribute_slot(VERU_pref_c, ATT_desc__VERU5133);
  slot_data = OM_ask_attribute_slot(VERU_pref_c, ATT_data__VERU2242);
  slot_parent = OM_ask_attribute_slot(VERU_pref_c, ATT_parent__VERU7938);
  slot_title = OM_ask_attribute_slot(VERU_pref_c, ATT_title__VERU1452);
  slot_values = OM_ask_attribute_slot(VERU_pref_c, ATT_values__VERU4702);
  slot_unit = OM_ask_attribute_slot(VERU_pref_c, ATT_unit__VERU6052);
  slot_loaded_value = OM_ask_attribute_slot(VERU_pref_c, ATT_loaded_value__VERU9075);
  slot_ver = OM_ask_attribute_slot(VERU_pref_c, ATT_ver__VERU8863);
  slot_scope = OM_ask_attribute_slot(VERU_pref_c, ATT_scope__VERU8376);
}

// A preference owns its recorded values, its loaded value and its constraint.
void VERU_pref::delete_owned(OM_object* object) {
  OM_delete_referenced_objects(object, ATT_values__VERU4702, 0, LAST_LEVEL + 1);
  OM_delete_slot_object(object->slot(slot_loaded_value));
  OM_delete_slot_object(object->slot(slot_data));
}

namespace {

// A level outside 0 to 3 is the caller's fault; it is refused before anything is read or written.
void check_level(const VERU_pref* pref, int level) {
  if (level < 0 || level > LAST_LEVEL) {
    ERROR_internal(VERU_SOURCE, __LINE__, "level %d of preference %s is outside 0 to 3", level,
                   pref->ask_name());
  }
}

}  // namespace

VERU_recorded_value* VERU_pref::recorded(int level) const {
  check_level(this, level);
  return slot_object<VERU_recorded_value>(slot_values + level);
}

// ---- per-level operations -----------------------------------------------------------------

namespace {

// The lock that a level imposes: its recorded flag relative to the level's default, or the
// default alone when the level records nothing.
bool imposes_lock(const VERU_recorded_value* recorded, int level) {
  const bool by_default = VERU_is_level_locked_by_default(level);
  return recorded ? recorded->ask_locked() != by_default : by_default;
}

}  // namespace

VERU_value* VERU_pref::ask_value(int level) {
  if (level < 0) return nullptr;
  for (int current = level; current >= 0; --current) {
    const VERU_recorded_value* entry = recorded(current);
    if (entry && entry->ask_value()) return entry->ask_value();
  }
  return nullptr;
}

void VERU_pref::set_value(VERU_value* value, int level) {
  VERU_recorded_value* entry = recorded(level);
  if (!entry) {
    entry = static_cast<VERU_recorded_value*>(OM_create_object(VERU_recorded_value_c));
    slot(slot_values + level).o = entry;
  }
  entry->set_value(value);
  stamp(entry);
}

void VERU_pref::set_locked(bool locked, int level) {
  VERU_recorded_value* entry = recorded(level);
  if (!entry) {
    // Without any value at or below the level the new entry records the lock alone.
    VERU_value* effective = ask_value(level);
    entry = static_cast<VERU_recorded_value*>(OM_create_object(VERU_recorded_value_c));
    entry->set_value(static_cast<VERU_value*>(OM_copy_object(effective)));
    slot(slot_values + level).o = entry;
  }
  if (VERU_is_level_locked_by_default(level)) locked = !locked;
  stamp(entry);
  entry->set_locked(locked);
}

bool VERU_pref::is_locked(int level) {
  if (level < 0) return false;
  for (int current = level; current >= 0; --current) {
    if (imposes_lock(recorded(current), current)) return true;
  }
  return false;
}

bool VERU_pref::is_lockable(int level) {
  check_level(this, level);
  return level != LAST_LEVEL && !is_locked(level);
}

bool VERU_pref::is_locked_at(int level) {
  const VERU_recorded_value* entry = recorded(level);
  return entry ? imposes_lock(entry, level) : false;
}

TEXT_s* VERU_pref::ask_comment(int level) {
  const VERU_recorded_value* entry = recorded(level);
  return entry ? entry->ask_comment() : nullptr;
}

void VERU_pref::set_comment(const TEXT_s* comment, int level) {
  if (VERU_recorded_value* entry = recorded(level)) {
    entry->set_comment(comment);
    stamp(entry);
  }
}

// A recorded value whose value object the host removed holds no value.
bool VERU_pref::has_value(int level) {
  const VERU_recorded_value* entry = recorded(level);
  return entry && entry->ask_value();
}

int VERU_pref::ask_modification_date(int level) {
  const VERU_recorded_value* entry = recorded(level);
  return entry ? entry->ask_modification_date() : 0;
}

void VERU_pref::remove_value(int level) {
  if (recorded(level)) OM_delete_referenced_objects(this, ATT_values__VERU4702, level, 1);
}

void VERU_pref::clear_locked(int level) {
  if (VERU_recorded_value* entry = recorded(level)) entry->set_locked(false);
}

char* VERU_pref::ask_display_value(int level) {
  check_level(this, level);
  const VERU_value* value = ask_value(level);
  if (!value) return SM_string_copy("");
  if (const TEXT_s* member = veru_member_name(this, value)) return TEXT_to_utf8(member);
  return value->print();
}

XERCES_DOM_node* VERU_pref::create_dom_node(XERCES_DOM_ctx* document, int level) {
  veru_value_entry_room_s room;
  return veru_value_element(document, nullptr, veru_value_entry_texts(this, level, &room));
}

// ---- value-file entries -------------------------------------------------------------------

namespace {

// Whether the entry's texts can be read from what the preference holds: it is of the library's
// own classes, which override none of the methods that make them, and holds a value they print
// (a list prints only a string value as its own).
bool reads_own_texts(const VERU_pref* pref, const VERU_value* value) {
  const int class_id = pref->class_id();
  if (!veru_pref_type_of(class_id)) return false;
  return !value || value->class_id() == VERU_string_value_c ||
         !OM_is_subclass(class_id, VERU_pref_list_c);
}

}  // namespace

veru_value_entry_s veru_value_entry_texts(VERU_pref* pref, int level,
                                          veru_value_entry_room_s* room) {
  const VERU_recorded_value* entry = pref->VERU_pref::ask_recorded_value(level);
  const bool own = veru_pref_type_of(pref->class_id()) != nullptr;
  const VERU_value* value = own ? pref->VERU_pref::ask_value(level) : pref->ask_value(level);
  const bool direct = reads_own_texts(pref, value);
  // A string value prints as its own string.
  const char* value_text = "";
  if (value && value->class_id() == VERU_string_value_c) {
    value_text = static_cast<const VERU_string_value*>(value)->value();
  } else if (value) {
    room->value = veru_owned(value->print());
    value_text = room->value.get();
  }
  if (!value_text) value_text = "";
  veru_value_entry_s texts = {};
  texts.value = value_text;
  texts.display_value = value_text;
  if (!direct) {
    room->display_value = veru_owned(pref->ask_display_value(level));
    texts.display_value = room->display_value.get();
  } else if (OM_is_subclass(pref->class_id(), VERU_pref_list_c)) {
    room->display_value = veru_owned(VERU__remove_quotes_and_backslash(value_text));
    texts.display_value = room->display_value ? room->display_value.get() : "";
  } else if (const TEXT_s* member = value ? veru_member_name(pref, value) : nullptr) {
    texts.display_value = TEXT_ask_utf8(member);
  }
  if (direct) {
    texts.application = TEXT_ask_utf8(pref->VERU_pref::ask_application_name());
    texts.category = TEXT_ask_utf8(pref->VERU_pref::ask_category_name());
    texts.tab = TEXT_ask_utf8(pref->VERU_pref::ask_tab_name());
    texts.name = pref->name() ? pref->name() : "";
    const TEXT_s* group_name = pref->VERU_pref::ask_group_name();
    texts.title = TEXT_ask_utf8(pref->ask_title());
    if (!TEXT_is_null_text(group_name)) {
      veru_full_title(group_name, pref->ask_title(), &room->full_title);
      texts.title = room->full_title.c_str();
    }
  } else {
    texts.application = TEXT_ask_utf8(pref->ask_application_name());
    texts.category = TEXT_ask_utf8(pref->ask_category_name());
    texts.tab = TEXT_ask_utf8(pref->ask_tab_name());
    texts.name = pref->ask_name();
    room->made_title.reset(pref->ask_full_title());
    texts.title = TEXT_ask_utf8(room->made_title.get());
  }
  if (entry) {
    texts.locked = entry->ask_locked();
    veru_format_modified(entry->ask_modification_date(), room->modified);
    texts.modified = room->modified;
    texts.comment = entry->ask_comment();
  }
  return texts;
}

XERCES_DOM_node* veru_value_element(XERCES_DOM_ctx* document, XERCES_DOM_node* parent,
                                    const veru_value_entry_s& entry) {
  const char* names[9];
  const char* values[9];
  int count = 0;
  auto add = [&](const char* name, const char* value) {
    names[count] = name;
    values[count++] = value;
  };
  add("Application", entry.application);
  add("Category", entry.category);
  add("Tab", entry.tab);
  add("title", entry.title);
  add("displayValue", entry.display_value);
  add("name", entry.name);
  add("value", entry.value);
  if (entry.locked) add("locked", "yes");
  if (entry.modified) add("modified", entry.modified);
  const KVXML_vtbl_s& xml = *pvtbl_kvxml;
  XERCES_DOM_node* element = nullptr;
  if (parent) {
    element = xml.XERCES_DOM_appendElement(parent, "Pref", names, values, count);
  } else {
    element = xml.XERCES_DOM_createElement(document, "Pref");
    for (int i = 0; i < count; ++i) xml.XERCES_DOM_setAttribute(element, names[i], values[i]);
  }
  if (!TEXT_is_null_text(entry.comment)) {
    XERCES_DOM_node* comment =
        xml.XERCES_DOM_appendElement(element, "UserComment", nullptr, nullptr, 0);
    xml.XERCES_DOM_appendTextNode(comment, TEXT_ask_utf8(entry.comment));
  }
  return element;
}

// Digit by digit, as the host's formatter does; the dates of int times lie in the years 1901 to
// 2038, so the year always has four digits.
void veru_format_modified(int time, char (&text)[VERU_MODIFIED_TEXT_SIZE]) {
  CLOCK_date_s date = CLOCK_null_date;
  CLOCK_time_to_date(time, &date);
  char* at = text;
  auto digits = [&at](int value, int count) {
    for (int i = count - 1; i >= 0; --i, value /= 10) at[i] = static_cast<char>('0' + value % 10);
    at += count;
  };
  digits(date.year, 4);
  for (const auto& [separator, field] : {std::pair<char, int>{'-', date.month},
                                         {'-', date.day},
                                         {'T', date.hour},
                                         {':', date.minute},
                                         {':', date.second}}) {
    *at++ = separator;
    digits(field, 2);
  }
  *at++ = 'Z';
  *at = '\0';
}

void veru_full_title(const TEXT_s* group_name, const TEXT_s* title, std::string* full_title) {
  full_title->assign(TEXT_ask_utf8(group_name));
  full_title->append(" - ");
  full_title->append(TEXT_ask_utf8(title));
}

const TEXT_s* veru_member_name(const VERU_pref* pref, const VERU_value* value) {
  const VERU_data* data = pref->ask_data();
  if (!data || !OM_is_subclass(data->class_id(), VERU_data_enum_c)) return nullptr;
  const auto* enumeration = static_cast<const VERU_data_enum*>(data);
  const int count = enumeration->ask_n_elems();
  for (int i = 0; i < count; ++i) {
    const VERU_enum_elem* elem = enumeration->ask_nth_elem(i);
    if (elem && elem->ask_value() && elem->ask_value()->compare(value) == 0) {
      return elem->ask_name();
    }
  }
  return nullptr;
}

// ---- descriptive operations ---------------------------------------------------------------

void VERU_pref::set_data(VERU_data* data) {
  slot(slot_data).o = data;
}

VERU_data* VERU_pref::ask_data() const {
  return slot_object<VERU_data>(slot_data);
}

const char* VERU_pref::ask_name() const {
  const char* name = slot(slot_name).s;
  return name ? name : "";
}

void VERU_pref::set_title(const char* title) {
  OM_take_text(slot(slot_title), TEXT_create_string(title));
}

TEXT_s* VERU_pref::ask_title() const {
  return slot(slot_title).t;
}

void VERU_pref::set_desc(const char* desc) {
  // Stripped of the white space that TEXT_strip_spaces strips before the text is made, so that
  // it takes no more room than it needs and is not stripped again.
  auto is_space = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  const char* first = desc;
  while (first && is_space(*first)) ++first;
  const char* last = first ? first + std::strlen(first) : nullptr;
  while (last && last > first && is_space(last[-1])) --last;
  TEXT_s* text =
      first ? TEXT_create_string_n(first, static_cast<std::size_t>(last - first)) : nullptr;
  OM_take_text(slot(slot_desc), text);
}

TEXT_s* VERU_pref::ask_desc() const {
  return slot(slot_desc).t;
}

void VERU_pref::set_parent(VERU_group* parent) {
  slot(slot_parent).o = parent;
}

VERU_group* VERU_pref::ask_parent() const {
  return slot_object<VERU_group>(slot_parent);
}

void VERU_pref::read_dom_node(XERCES_DOM_node* element, int level) {
  VERU_recorded_value* entry = recorded(level);
  if (!entry || !element) return;
  veru_read_entry_details(this, entry, veru_read_entry_attributes(element));
}

void VERU_pref::set_unit(const char* unit) {
  OM_take_text(slot(slot_unit), TEXT_create_string(unit));
}

TEXT_s* VERU_pref::ask_unit() const {
  return slot(slot_unit).t;
}

// Every change of the loaded value passes here or through update_loaded_value, which both give
// it to the queries.
void VERU_pref::set_loaded_value(VERU_value* value) {
  veru_on_host_thread();
  slot(slot_loaded_value).o = value;
  veru_publish_loaded_value(this);
}

VERU_value* VERU_pref::create_veru_value(const char*) {
  OM_abstract_operation(this, "create_veru_value", VERU_SOURCE, __LINE__);
}

// The tab is the parent, or the parent's parent when the parent is a group inside a tab.
TEXT_s* VERU_pref::ask_tab_name() {
  const VERU_group* parent = ask_parent();
  return name_of(parent && parent->ask_is_group() ? parent->ask_parent() : parent);
}

TEXT_s* VERU_pref::ask_category_name() {
  const VERU_group* parent = ask_parent();
  const VERU_group* tab = parent && parent->ask_is_group() ? parent->ask_parent() : parent;
  return name_of(parent_of(tab));
}

TEXT_s* VERU_pref::ask_application_name() {
  const VERU_group* parent = ask_parent();
  const VERU_group* tab = parent && parent->ask_is_group() ? parent->ask_parent() : parent;
  return name_of(parent_of(parent_of(tab)));
}

namespace {

// Gives loaded the value of effective when both are of the same value class; false otherwise.
bool assign_value(VERU_value* loaded, const VERU_value* effective) {
  const int value_class = effective->class_id();
  if (loaded->class_id() != value_class) return false;
  if (value_class == VERU_int_value_c) {
    static_cast<VERU_int_value*>(loaded)->VERU_int_value::set_value(
        static_cast<const VERU_int_value*>(effective)->value());
  } else if (value_class == VERU_real_value_c) {
    static_cast<VERU_real_value*>(loaded)->VERU_real_value::set_value(
        static_cast<const VERU_real_value*>(effective)->value());
  } else if (value_class == VERU_logical_value_c) {
    static_cast<VERU_logical_value*>(loaded)->VERU_logical_value::set_value(
        static_cast<const VERU_logical_value*>(effective)->value());
  } else if (value_class == VERU_string_value_c) {
    static_cast<VERU_string_value*>(loaded)->VERU_string_value::set_value(
        static_cast<const VERU_string_value*>(effective)->value());
  } else {
    return false;
  }
  return true;
}

}  // namespace

// A loaded value of the effective value's class takes its value in place: the copy is made
// without a new object, and the loaded value stays where it was made, beside the preference.
void VERU_pref::update_loaded_value(int level) {
  veru_on_host_thread();
  check_level(this, level);  // before the loaded value goes
  const VERU_value* effective = ask_value(level);
  VERU_value* loaded = loaded_value();
  if (effective && loaded && loaded != effective && assign_value(loaded, effective)) {
    veru_publish_loaded_value(this);
    return;
  }
  VERU_value* copy = static_cast<VERU_value*>(OM_copy_object(effective));
  OM_delete_slot_object(slot(slot_loaded_value));
  set_loaded_value(copy);
}

TEXT_s* VERU_pref::ask_group_name() {
  const VERU_group* parent = ask_parent();
  return parent && parent->ask_is_group() ? parent->ask_name() : nullptr;
}

TEXT_s* VERU_pref::ask_full_title() {
  const TEXT_s* group_name = ask_group_name();
  if (TEXT_is_null_text(group_name)) return TEXT_copy(ask_title());
  std::string full_title;
  veru_full_title(group_name, ask_title(), &full_title);
  return TEXT_create_string_n(full_title.data(), full_title.size());
}

void VERU_pref::set_ver(const char* ver) {
  OM_store_string(slot(slot_ver), ver);
}

const char* VERU_pref::ask_ver() const {
  return slot(slot_ver).s;
}

void VERU_pref::set_scope(int scope) {
  slot(slot_scope).i = scope;
}

int VERU_pref::ask_scope() const {
  return slot(slot_scope).i;
}

void VERU_pref::apply_change(const VERU_change* change, int level) {
  const VERU_recorded_value* wanted = change ? change->ask_value() : nullptr;
  if (!wanted) {
    remove_value(level);
    return;
  }
  if (wanted->ask_value()) {
    set_value(static_cast<VERU_value*>(OM_copy_object(wanted->ask_value())), level);
  }
  if (change->ask_update_lock()) set_locked(wanted->ask_locked(), level);
  if (change->ask_update_comment()) set_comment(wanted->ask_comment(), level);
}

VERU_recorded_value* VERU_pref::ask_recorded_value(int level) {
  return recorded(level);
}

void VERU_pref::set_visibility_fn(bool (*callback)()) {
  char* name = SM_sprintf("Invisible_%s", ask_name());
  OM_set_function(this, ATT_visibility_fn__VERU4161, SM_string_copy_persistent(name),
                  reinterpret_cast<OM_generic_fn>(callback));
  SM_free(name);
}

bool VERU_pref::is_visible() {
  OM_generic_fn callback = nullptr;
  if (!OM_ask_function(this, ATT_visibility_fn__VERU4161, nullptr, &callback)) return true;
  return reinterpret_cast<bool (*)()>(callback)();
}

// ---- helpers of the typed classes ---------------------------------------------------------

namespace {

const VERU_value* checked(const VERU_value* value, int value_class) {
  if (!value) ERROR_assertion_failed(VERU_SOURCE, __LINE__, "%s", "value_obj != NULL");
  if (MACH__checking_level > 0 || value->class_id() != value_class) {
    OM_check_ptr_class(value, value_class, VERU_SOURCE, __LINE__);
  }
  return value;
}

}  // namespace

const VERU_value* VERU_pref::checked_loaded_value(int value_class) const {
  return checked(loaded_value(), value_class);
}

const VERU_value* VERU_pref::checked_level_value(int level, int value_class) {
  return checked(ask_value(level), value_class);
}

void VERU_pref::store_read_value(VERU_value* value, XERCES_DOM_node* element, int level, bool check,
                                 const char* source, int line) {
  try {
    if (check && ask_data()) ask_data()->validate(value);
  } catch (TQS::Error::Exception& error) {
    error.noteLocation(source, line, 0);
    OM_delete_object(value);
    error.reThrow();
  } catch (...) {
    OM_delete_object(value);
    throw;
  }
  set_value(value, level);
  VERU_pref::read_dom_node(element, level);
}
