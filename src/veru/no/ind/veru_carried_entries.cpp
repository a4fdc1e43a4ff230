// The entries of a value file that its load ignored, kept whole for the next save.
#include "veru_carried_entries.h"

void veru_carried_entries::clear() {
  entries_.clear();
  names_.clear();
  whys_.clear();
  document_.reset();
}

void veru_carried_entries::keep(XERCES_DOM_node* element, why_s why) {
  if (!document_) document_ = std::make_unique<veru_document>();
  XERCES_DOM_node* copy = pvtbl_kvxml->XERCES_DOM_importNode(document_->context(), element, true);
  if (!copy) return;
  const char* name = pvtbl_kvxml->XERCES_DOM_getAttribute(element, "name");
  entries_.push_back(copy);
  names_.emplace_back(name ? name : "");
  whys_.push_back(std::move(why));
}

bool veru_carried_entries::is_replaced(std::size_t index, int level) const {
  VERU_pref* pref = VERU_lookup_pref(names_[index].c_str());
  return pref && pref->has_value(level);
}

void veru_carried_entries::append_to(XERCES_DOM_ctx* document, XERCES_DOM_node* parent,
                                     int level) const {
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (is_replaced(i, level)) continue;
    pvtbl_kvxml->XERCES_DOM_appendChild(
        parent, pvtbl_kvxml->XERCES_DOM_importNode(document, entries_[i], true));
    pvtbl_kvxml->XERCES_DOM_appendChild(parent,
                                        pvtbl_kvxml->XERCES_DOM_createTextNode(document, "\n"));
  }
}

template <typename Keep>
void veru_carried_entries::keep_only(Keep keep) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (!keep(i)) continue;
    if (kept != i) {
      entries_[kept] = entries_[i];
      names_[kept] = std::move(names_[i]);
      whys_[kept] = std::move(whys_[i]);
    }
    ++kept;
  }
  entries_.resize(kept);
  names_.resize(kept);
  whys_.resize(kept);
  // The copies of dropped entries stay in the kept document until the next load clears it.
}

void veru_carried_entries::drop_replaced(int level) {
  keep_only([&](std::size_t i) { return !is_replaced(i, level); });
}

int veru_carried_entries::drop(const char* name) {
  const std::size_t before = entries_.size();
  keep_only([&](std::size_t i) { return names_[i] != name; });
  return static_cast<int>(before - entries_.size());
}

void veru_carried_entries::take_if(
    const std::function<bool(XERCES_DOM_node* element, const why_s& why)>& take) {
  keep_only([&](std::size_t i) { return !take(entries_[i], whys_[i]); });
}

void veru_carried_entries::clear_locks() {
  for (XERCES_DOM_node* entry : entries_) {
    pvtbl_kvxml->XERCES_DOM_removeAttribute(entry, "locked");
  }
}
