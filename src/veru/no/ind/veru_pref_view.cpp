// The editor model's view of one preference: what a dialog shows of it, gathered once, with its
// texts held by the view.
#include <deque>
#include <string>
#include <vector>

#include "veru_edit.h"
#include "veru_levels.h"
#include "veru_pref_display.h"
#include "veru_pref_types.h"

namespace {

// The view a host receives, and the storage of its texts and members behind it.
struct owned_view_s : VERU_pref_view_s {
  std::deque<std::string> texts;
  std::vector<VERU_view_member_s> member_list;

  const char* keep(std::string text) { return texts.emplace_back(std::move(text)).c_str(); }
  const char* keep(const TEXT_s* text) {
    return TEXT_is_null_text(text) ? nullptr : keep(std::string(TEXT_ask_utf8(text)));
  }
  const char* keep_new(char* text) {
    if (!text) return nullptr;
    const char* kept = keep(std::string(text));
    SM_free(text);
    return kept;
  }
};

const VERU_data_enum* members_of(const VERU_pref* pref) {
  const VERU_data* data = const_cast<VERU_pref*>(pref)->ask_data();
  return data && OM_is_subclass(data->class_id(), VERU_data_enum_c)
             ? static_cast<const VERU_data_enum*>(data)
             : nullptr;
}

// A value as a person reads it: the name of its member, a list's items by spaces.
std::string display_of(const VERU_pref* pref, const VERU_value* value) {
  char* printed = value->print();
  std::string text = printed ? printed : "";
  SM_free(printed);
  if (OM_is_subclass(pref->class_id(), VERU_pref_list_c)) {
    char* flat = VERU__remove_quotes_and_backslash(text.c_str());
    text = flat ? flat : "";
    SM_free(flat);
    return text;
  }
  if (const VERU_data_enum* members = members_of(pref)) {
    for (int i = 0; i < members->ask_n_elems(); ++i) {
      const VERU_enum_elem* member = members->ask_nth_elem(i);
      if (member->ask_value()->compare(value) == 0) return TEXT_ask_utf8(member->ask_name());
    }
  }
  return text;
}

const char* value_text(owned_view_s* view, const VERU_value* value) {
  return value ? view->keep_new(value->print()) : nullptr;
}

void describe_constraint(VERU_pref* pref, owned_view_s* view) {
  VERU_data* data = pref->ask_data();
  if (!data) return;
  if (const VERU_data_enum* members = members_of(pref)) {
    view->constraint =
        data->class_id() == VERU_data_color_c ? VERU_CONSTRAINT_COLOR : VERU_CONSTRAINT_ENUM;
    for (int i = 0; i < members->ask_n_elems(); ++i) {
      const VERU_enum_elem* member = members->ask_nth_elem(i);
      const char* bitmap = member->ask_bitmap();
      view->member_list.push_back({value_text(view, member->ask_value()),
                                   view->keep(std::string(TEXT_ask_utf8(member->ask_name()))),
                                   bitmap ? view->keep(std::string(bitmap)) : nullptr});
    }
    view->member_count = static_cast<int>(view->member_list.size());
    view->members = view->member_list.data();
    return;
  }
  if (!OM_is_subclass(data->class_id(), VERU_data_range_c)) return;
  view->constraint = VERU_CONSTRAINT_RANGE;
  const auto* range = static_cast<const VERU_data_range*>(data);
  const VERU_range_elem* bounds[] = {range->ask_lower(), range->ask_upper()};
  VERU_view_bound_s* described[] = {&view->lower, &view->upper};
  for (int i = 0; i < 2; ++i) {
    if (!bounds[i]) continue;
    *described[i] = {true, bounds[i]->ask_inclusive(), value_text(view, bounds[i]->ask_value()),
                     view->keep(bounds[i]->ask_name())};
  }
  std::string printed = view->keep_new(data->print());
  while (!printed.empty() && printed.back() == ' ') printed.pop_back();
  view->range_text = view->keep(printed);
}

bool is_carried(int level, const char* name) {
  if (level < 1 || !VERU__is_level_defined(level)) return false;
  for (const veru_carried_entries::entry_s& carried : veru_level(level).carried.entries()) {
    if (carried.name == name) return true;
  }
  return false;
}

void describe_level(VERU_pref* pref, int level, owned_view_s* view) {
  VERU_view_level_s& described = view->levels[level];
  described.defined = level == 0 || VERU__is_level_defined(level);
  described.locked_by_default = level > 0 && VERU_is_level_locked_by_default(level);
  described.carried = is_carried(level, pref->ask_name());
  const VERU_recorded_value* entry = pref->ask_recorded_value(level);
  if (level < 3) described.locks = entry ? pref->is_locked_at(level) : described.locked_by_default;
  if (!entry) return;
  described.has_entry = true;
  if (const VERU_value* value = entry->ask_value()) {
    described.value = value_text(view, value);
    described.display = view->keep(display_of(pref, value));
  }
  described.modified = entry->ask_modification_date();
  described.comment = view->keep(entry->ask_comment());
}

// The level whose value is in force at level: the highest one up to it that records a value no
// lock below it hides, as the queries follow the edits.
int source_at(VERU_pref* pref, int level) {
  for (int from = level; from > 0; --from) {
    if (pref->has_value(from) && !pref->is_locked(from - 1)) return from;
  }
  return 0;
}

void describe(VERU_pref* pref, int level, owned_view_s* view) {
  view->name = view->keep(std::string(pref->ask_name()));
  view->type = VERU_ask_pref_type_name(pref);
  view->title = view->keep(pref->ask_title());
  view->description = view->keep(pref->ask_desc());
  view->unit = view->keep(pref->ask_unit());
  view->application = view->keep(pref->ask_application_name());
  view->category = view->keep(pref->ask_category_name());
  view->tab = view->keep(pref->ask_tab_name());
  view->group = view->keep(pref->ask_group_name());
  view->widget = veru_ask_pref_widget(pref);
  const std::string& off = veru_ask_pref_toggle_off(pref);
  view->toggle_off = view->widget == VERU_WIDGET_TOGGLE ? view->keep(off) : nullptr;
  describe_constraint(pref, view);
  for (int at = 0; at <= 3; ++at) describe_level(pref, at, view);
  view->default_value = view->levels[0].value;
  view->default_display = view->levels[0].display;
  view->source = source_at(pref, level);
  if (const VERU_value* effective = pref->ask_value(view->source)) {
    view->effective_value = value_text(view, effective);
    view->effective_display = view->keep(display_of(pref, effective));
  }
  view->query_value = value_text(view, pref->loaded_value());
  view->lock_level = -1;
  for (int at = 0; at <= 2 && view->lock_level < 0; ++at) {
    if (pref->is_locked(at)) view->lock_level = at;
  }
  if (view->lock_level >= 0) view->lock_comment = view->levels[view->lock_level].comment;
  view->level = level;
  const veru_refusal_s refusal = veru_change_refusal(pref, level);
  view->change_refusal = refusal.code;
  view->change_reason = refusal ? view->keep(refusal.reason) : nullptr;
  view->level_writeable = level > 0 && VERU_is_level_writeable(level);
  view->modified = level > 0 && pref->has_value(level);
  view->visible = pref->is_visible();
  view->enabled = VERU_is_enabled();
  view->restart = veru_ask_pref_restart(pref);
}

}  // namespace

const char* VERU_ask_pref_type_name(const VERU_pref_s* pref) {
  const veru_pref_type_s* known = veru_pref_type_of(pref->class_id());
  return known && known->name ? known->name : OM_ask_class_name(pref->class_id());
}

int VERU_describe_pref(const char* name, int level, VERU_pref_view_s** view) {
  *view = nullptr;
  if (level < 0 || level > 3) return VERU_ERROR_LEVEL_NOT_CHANGEABLE;
  VERU_pref* pref = name ? VERU_lookup_pref(name) : nullptr;
  if (!pref) return VERU_ERROR_UNKNOWN_PREF;
  auto* described = new owned_view_s{};
  try {
    describe(pref, level, described);
  } catch (const TQS::Error::Exception& error) {
    delete described;
    return VERU_is_veru_error(error.askCode()) ? error.askCode() : VERU_ERROR_LEVEL_NOT_CHANGEABLE;
  }
  *view = described;
  return 0;
}

void VERU_free_pref_view(VERU_pref_view_s* view) {
  delete static_cast<owned_view_s*>(view);
}
