// Internal pieces shared by the validators of definition files.
#pragma once

#include <veru.h>

#include <memory>
#include <vector>

#include "veru_xml.h"

// The elements that have validators.
constexpr const char VERU_APPLICATION[] = "Application";
constexpr const char VERU_CATEGORY[] = "Category";
constexpr const char VERU_TAB[] = "Tab";
constexpr const char VERU_PREF[] = "Pref";

// An object of the object manager deleted when its holder goes.
struct veru_om_deleter {
  void operator()(OM_object* object) const { OM_delete_object(object); }
};
template <class T>
using veru_om_owned = std::unique_ptr<T, veru_om_deleter>;

// The members of a set, in the set's order.
std::vector<OM_object*> veru_set_members(const OM_set* set);

// A string set that deletes its members with itself.
class veru_string_set {
 public:
  explicit veru_string_set(OM_object* owner) : set_(OM_create_string_set(owner, 0)) {}
  ~veru_string_set();
  veru_string_set(const veru_string_set&) = delete;
  veru_string_set& operator=(const veru_string_set&) = delete;
  OM_set* get() const { return set_; }

 private:
  OM_set* set_;
};

// The attribute of an element; null when it is absent.
inline const char* veru_attribute(XERCES_DOM_node* element, const char* name) {
  return pvtbl_kvxml->XERCES_DOM_getAttribute(element, name);
}

// Whether an attribute value has text: an absent value and an empty one count alike, and an
// absent or empty name matches no other name.
inline bool veru_has_text(const char* value) {
  return value && *value;
}
