// The entries of a value file that its load ignored, kept whole for the next save.
#include "veru_carried_entries.h"

#include "veru_read_entry.h"

#include <cstring>

void veru_carried_entries::clear() {
  entries_.clear();
  document_.reset();
  maker_.reset();
}

void veru_carried_entries::keep(const veru_element_record_s& record, why_s why) {
  if (!document_) document_ = std::make_unique<veru_document>();
  if (!maker_) maker_ = std::make_unique<veru_element_maker>();
  XERCES_DOM_node* copy = maker_->make(record, document_->context());
  if (!copy) return;
  const char* name = record.attribute("name");
  entries_.push_back({copy, name ? name : "", std::move(why)});
}

std::string veru_carried_entries::reason(std::size_t index) const {
  const entry_s& entry = entries_[index];
  const why_s& why = entry.why;
  if (!why.value_refused) return why.reason;
  VERU_pref* pref = VERU_lookup_pref(entry.name.c_str());
  if (!pref) pref = VERU_lookup_renamed_pref(entry.name.c_str());
  const char* value = pvtbl_kvxml->XERCES_DOM_getAttribute(entry.element, "value");
  return pref ? veru_invalid_entry_reason(pref, value, why.code) : why.reason;
}

bool veru_carried_entries::is_replaced(const entry_s& entry, int level) {
  VERU_pref* pref = VERU_lookup_pref(entry.name.c_str());
  return pref && pref->has_value(level);
}

void veru_carried_entries::append_to(XERCES_DOM_ctx* document, XERCES_DOM_node* parent, int level,
                                     const veru_level_layout& layout) const {
  for (const entry_s& entry : entries_) {
    if (is_replaced(entry, level)) continue;
    if (const veru_entry_notes_s* notes = layout.notes(entry.why.position - 1)) {
      for (const std::string& comment : notes->comments) {
        pvtbl_kvxml->XERCES_DOM_appendChild(
            parent, pvtbl_kvxml->XERCES_DOM_createComment(document, comment.c_str()));
        pvtbl_kvxml->XERCES_DOM_appendTextNode(parent, "\n");
      }
    }
    pvtbl_kvxml->XERCES_DOM_appendChild(
        parent, pvtbl_kvxml->XERCES_DOM_importNode(document, entry.element, true));
    pvtbl_kvxml->XERCES_DOM_appendChild(parent,
                                        pvtbl_kvxml->XERCES_DOM_createTextNode(document, "\n"));
  }
}

template <typename Keep>
void veru_carried_entries::keep_only(Keep keep) {
  // Each entry is offered once, in file order: take_if's caller may act on what it takes.
  std::size_t kept = 0;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (!keep(entries_[i])) continue;
    if (kept != i) entries_[kept] = std::move(entries_[i]);
    ++kept;
  }
  entries_.resize(kept);
  // The copies of dropped entries stay in the kept document until the next load clears it.
}

void veru_carried_entries::drop_replaced(int level) {
  keep_only([&](const entry_s& entry) { return !is_replaced(entry, level); });
}

int veru_carried_entries::drop(const char* name) {
  const std::size_t before = entries_.size();
  keep_only([&](const entry_s& entry) { return entry.name != name; });
  return static_cast<int>(before - entries_.size());
}

void veru_carried_entries::take_if(
    const std::function<bool(XERCES_DOM_node* element, const why_s& why)>& take) {
  keep_only([&](const entry_s& entry) { return !take(entry.element, entry.why); });
}

void veru_carried_entries::clear_locks() {
  for (const entry_s& entry : entries_) {
    pvtbl_kvxml->XERCES_DOM_removeAttribute(entry.element, "locked");
  }
}

int veru_carried_entries::flip_locks() {
  for (const entry_s& entry : entries_) {
    const char* locked = pvtbl_kvxml->XERCES_DOM_getAttribute(entry.element, "locked");
    if (locked && std::strcmp(locked, "yes") == 0) {
      pvtbl_kvxml->XERCES_DOM_removeAttribute(entry.element, "locked");
    } else {
      pvtbl_kvxml->XERCES_DOM_setAttribute(entry.element, "locked", "yes");
    }
  }
  return count();
}
