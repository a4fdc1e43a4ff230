// VERU_validate_tab: validates a "Tab" element: the preferences directly in it, and titles that
// repeat among them.
#include <string_view>

#include "veru_class.h"
#include "veru_sm_string.h"
#include "veru_validate.h"

namespace {

// A preference name without its platform suffix, and the kind of suffix: 0 none, 1 "_MU" or
// "_EU", 2 "_UNX" or "_WIN". Variants of one preference for different platforms may share a
// title.
struct stripped_name_s {
  std::string_view base;
  int kind;
};

bool ends_with(std::string_view name, std::string_view suffix) {
  return name.size() >= suffix.size() &&
         name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

stripped_name_s strip_platform_suffix(std::string_view name) {
  if (name.size() < 4) return {name, 0};
  if (ends_with(name, "_MU") || ends_with(name, "_EU")) {
    return {name.substr(0, name.size() - 3), 1};
  }
  if (name.size() < 5) return {name, 0};
  if (ends_with(name, "_UNX") || ends_with(name, "_WIN")) {
    return {name.substr(0, name.size() - 4), 2};
  }
  return {name, 0};
}

// The titles of a tab, each with the name of the first preference that had it. The map owns
// the name strings and deletes them with itself.
class title_map {
 public:
  explicit title_map(OM_object* owner) : map_(OM_create_string_object_map(owner, 0)) {}
  ~title_map() {
    OM_object** names = nullptr;
    const int count = map_->ask_values(&names);
    OM_delete_object(map_);
    for (int i = 0; i < count; ++i) OM_delete_object(names[i]);
    SM_free(names);
  }
  title_map(const title_map&) = delete;
  title_map& operator=(const title_map&) = delete;

  // The name of the first preference with title; null (and name recorded) when there is none.
  const char* first_name(const char* title, const char* name) {
    if (const OM_object* earlier = map_->lookup(title)) {
      return static_cast<const OM_string*>(earlier)->ask_string();
    }
    veru_om_owned<OM_string> string(OM_create_string(name));
    map_->insert(title, string.get());
    string.release();
    return nullptr;
  }

 private:
  OM_string_object_map* map_;
};

}  // namespace

VERU_validate_tab* VERU_validate_tab::create(XERCES_DOM_node* dom_node, VERU_validate_root* root) {
  return veru_create<VERU_validate_tab>(VERU_validate_tab_c, dom_node, root);
}

void VERU_validate_tab::initialise(VERU_validate_tab* object, XERCES_DOM_node* dom_node,
                                   VERU_validate_root* root) {
  VERU_validate_object::initialise(
      object, dom_node, root, VERU_TAB,
      "strcmp(XERCES_DOM_getNodeName((XERCES_DOM_node *)dom_node), VERU_TAB) == 0");
}

void VERU_validate_tab::init_methods(OM_class_descriptor* table) {
  veru_set_class_operations<VERU_validate_tab>(table);
}

// Only preferences directly in the tab take part; those inside groups are not validated.
void VERU_validate_tab::do_validate_dom_node(VERU_validate_result* result) {
  VERU_validate_root* root = ask_veru_root();
  const char* filename = current_filename();
  title_map titles(this);
  for (XERCES_DOM_node* child = pvtbl_kvxml->XERCES_DOM_getFirstChild(ask_dom_node()); child;
       child = pvtbl_kvxml->XERCES_DOM_getNextSibling(child)) {
    if (!veru_is_named(child, VERU_PREF)) continue;
    veru_om_owned<VERU_validate_pref> validator(VERU_validate_pref::create(child, root));
    const char* title = veru_attribute(child, "title");
    const char* name = veru_attribute(child, "name");
    // Every later preference with a title is compared with the first that had it.
    if (veru_has_text(title) && veru_has_text(name)) {
      if (const char* earlier = titles.first_name(title, name)) {
        const stripped_name_s these = strip_platform_suffix(name);
        const stripped_name_s first = strip_platform_suffix(earlier);
        if (these.kind != first.kind || these.base != first.base) {
          const veru_sm_string text = veru_owned(SM_sprintf("%s, %s - %s", name, earlier, title));
          result->add_result(filename, VERU_ERROR_DUPLICATE_TITLE, text.get());
        }
      }
    }
    validator->do_validate_dom_node(result);
  }
}
