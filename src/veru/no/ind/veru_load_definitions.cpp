// Reading the definition files at start-up: the tree of applications, categories, tabs and
// groups, every preference with its constraint and default, the display objects that the host
// makes, and the extras file's categories and default overrides.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "veru_module.h"
#include "veru_number_text.h"
#include "veru_parsed_file.h"
#include "veru_pref_display.h"
#include "veru_pref_names.h"
#include "veru_pref_types.h"
#include "veru_widgets.h"
#include "veru_xml.h"

#define VERU_SOURCE "src/veru/no/ind/veru_load_definitions"

namespace {

// The elements that definition files give meaning to, each found by its name once.
enum class element_kind {
  other,
  application,
  category,
  tab,
  group,
  pref,
  label,
  image,
  separator,
  data,
  description,
  enum_elem,
  lower_bound,
  upper_bound,
  pref_value,
  widget,
  color_widget,  // the widget "Color", which also gives a preference its colour constraint
};

struct named_kind_s {
  const char* name;
  element_kind kind;
};

// The elements other than widgets, which the widget table names.
const named_kind_s ELEMENT_KINDS[] = {
    {"Application", element_kind::application},
    {"Category", element_kind::category},
    {"Data", element_kind::data},
    {"Description", element_kind::description},
    {"EnumElem", element_kind::enum_elem},
    {"Group", element_kind::group},
    {"Image", element_kind::image},
    {"Label", element_kind::label},
    {"LowerBound", element_kind::lower_bound},
    {"Pref", element_kind::pref},
    {"PrefValue", element_kind::pref_value},
    {"Separator", element_kind::separator},
    {"Tab", element_kind::tab},
    {"UpperBound", element_kind::upper_bound},
};

// Every element kind by name, sorted, with where the names that begin with each letter start.
struct kinds_by_name_s {
  std::vector<named_kind_s> rows;
  unsigned char begin[27];
  kinds_by_name_s() : rows(std::begin(ELEMENT_KINDS), std::end(ELEMENT_KINDS)) {
    for (int widget = 1; widget <= VERU_WIDGET_MULTI_LINE_TEXT; ++widget) {
      rows.push_back({VERU_ask_widget_name(widget), widget == VERU_WIDGET_COLOR
                                                        ? element_kind::color_widget
                                                        : element_kind::widget});
    }
    std::sort(rows.begin(), rows.end(), [](const named_kind_s& a, const named_kind_s& b) {
      return std::strcmp(a.name, b.name) < 0;
    });
    std::size_t row = 0;
    for (int letter = 0; letter <= 26; ++letter) {
      while (row < rows.size() && rows[row].name[0] - 'A' < letter) ++row;
      begin[letter] = static_cast<unsigned char>(row);
    }
  }
};

// The kind of an element by its name; other for anything else. Only the few names that share
// the element's first letter are compared.
element_kind kind_of(const char* name) {
  static const kinds_by_name_s kinds;
  if (name[0] < 'A' || name[0] > 'Z') return element_kind::other;
  const int letter = name[0] - 'A';
  for (std::size_t row = kinds.begin[letter]; row < kinds.begin[letter + 1]; ++row) {
    if (std::strcmp(kinds.rows[row].name, name) == 0) return kinds.rows[row].kind;
  }
  return element_kind::other;
}

bool is_group_kind(element_kind kind) {
  return kind == element_kind::application || kind == element_kind::category ||
         kind == element_kind::tab || kind == element_kind::group;
}

// ---- the index of a definition file ----------------------------------------------------------

// The attributes the loader reads of each kind of element, in the order of these names.
enum { NAME, CSH };                                                           // groups
enum { PREF_NAME, TYPE, VALUE, TITLE, UNIT, VER, SCOPE, RESTART, FORMERLY };  // Pref
enum { DATA_TYPE };                                                           // Data
enum { MEMBER_NAME, MEMBER_VALUE, BITMAP, INCLUDE };  // EnumElem, LowerBound, UpperBound
enum { PREF_VALUE_NAME, PREF_VALUE_VER };             // PrefValue
const char* const GROUP_ATTRIBUTES[] = {"name", "csh"};
const char* const PREF_ATTRIBUTES[] = {"name", "type",  "value",   "title",   "unit",
                                       "ver",  "scope", "restart", "formerly"};
const char* const DATA_ATTRIBUTES[] = {"type"};
const char* const MEMBER_ATTRIBUTES[] = {"name", "value", "bitmap", "include"};
const char* const PREF_VALUE_ATTRIBUTES[] = {"name", "ver"};

// The names of the attributes the loader reads of one kind of element.
struct attribute_names_s {
  const char* const* names = nullptr;
  std::size_t count = 0;
};
template <std::size_t N>
constexpr attribute_names_s names_of(const char* const (&names)[N]) {
  return {names, N};
}
attribute_names_s attributes_read(element_kind kind) {
  if (is_group_kind(kind)) return names_of(GROUP_ATTRIBUTES);
  switch (kind) {
    case element_kind::pref:
      return names_of(PREF_ATTRIBUTES);
    case element_kind::data:
      return names_of(DATA_ATTRIBUTES);
    case element_kind::enum_elem:
    case element_kind::lower_bound:
    case element_kind::upper_bound:
      return names_of(MEMBER_ATTRIBUTES);
    case element_kind::pref_value:
      return names_of(PREF_VALUE_ATTRIBUTES);
    default:
      return {};
  }
}

// One element that the loader reads, in document order.
struct element_s {
  XERCES_DOM_node* node;
  // Its attributes by the names of its kind, null where absent; a Description's text.
  const char* values[std::size(PREF_ATTRIBUTES)];
  std::uint32_t end;  // the index past the last element inside it
  element_kind kind;
};

// The elements of a definition file that the loader gives meaning to, with their attributes: the
// document element first, then every element of a known kind inside it, except inside elements
// that the loader does not look into (display objects, descriptions, constraint members).
class definition_index : public veru_file_index {
 public:
  const element_s& operator[](std::uint32_t at) const { return elements_[at]; }
  bool empty() const { return elements_.empty(); }
  static const char* value(const element_s& element, int which) { return element.values[which]; }
  // The element's attribute, null when it is absent or empty.
  static const char* non_empty(const element_s& element, int which) {
    const char* text = element.values[which];
    return text && *text ? text : nullptr;
  }

  static std::unique_ptr<veru_file_index> make(XERCES_DOM_ctx* context, std::size_t file_size);

 private:
  std::uint32_t add(XERCES_DOM_node* node, element_kind kind);
  const char* description_text(XERCES_DOM_node* description);

  std::vector<element_s> elements_;
  std::deque<std::string> texts_;  // descriptions made of more than one piece of text
};

// Whether the loader looks at the children of an element of this kind.
bool is_read_inside(element_kind kind) {
  return is_group_kind(kind) || kind == element_kind::pref || kind == element_kind::data ||
         kind == element_kind::pref_value;
}

std::unique_ptr<veru_file_index> definition_index::make(XERCES_DOM_ctx* context,
                                                        std::size_t file_size) {
  auto index = std::make_unique<definition_index>();
  // An element that the loader reads takes some 110 bytes of a file; room for the elements of a
  // file of the usual size at once.
  index->elements_.reserve(std::min<std::size_t>(file_size / 96, 1 << 16) + 16);
  XERCES_DOM_node* document = pvtbl_kvxml->XERCES_DOM_getDocument(context);
  XERCES_DOM_node* root = document ? pvtbl_kvxml->XERCES_DOM_getDocumentElement(document) : nullptr;
  if (!root) return index;
  // Depth first without recursion, so that any nesting is safe: open holds the elements whose
  // children are being read, each with the last child read.
  std::vector<std::pair<std::uint32_t, XERCES_DOM_node*>> open{
      {index->add(root, element_kind::other), nullptr}};
  while (!open.empty()) {
    auto& [parent, last] = open.back();
    const char* name = nullptr;
    XERCES_DOM_node* child =
        pvtbl_kvxml->XERCES_DOM_getNextElement(index->elements_[parent].node, last, &name);
    if (!child) {
      index->elements_[parent].end = static_cast<std::uint32_t>(index->elements_.size());
      open.pop_back();
      continue;
    }
    last = child;
    const element_kind kind = kind_of(name);
    if (kind == element_kind::other) continue;
    const std::uint32_t added = index->add(child, kind);
    if (is_read_inside(kind)) open.emplace_back(added, nullptr);
  }
  return index;
}

std::uint32_t definition_index::add(XERCES_DOM_node* node, element_kind kind) {
  const auto at = static_cast<std::uint32_t>(elements_.size());
  element_s& element = elements_.emplace_back();
  element.node = node;
  element.end = at + 1;
  element.kind = kind;
  if (kind == element_kind::description) {
    element.values[0] = description_text(node);
  } else if (const attribute_names_s read = attributes_read(kind); read.count > 0) {
    pvtbl_kvxml->XERCES_DOM_getAttributes(node, read.names, element.values,
                                          static_cast<int>(read.count));
  }
  return at;
}

// All text inside the description, in document order, descending into child elements.
const char* definition_index::description_text(XERCES_DOM_node* description) {
  // Most descriptions are one run of text.
  XERCES_DOM_node* first = pvtbl_kvxml->XERCES_DOM_getFirstChild(description);
  if (first && pvtbl_kvxml->XERCES_DOM_getNodeType(first) == XERCES_DOM_TEXT_NODE &&
      !pvtbl_kvxml->XERCES_DOM_getNextSibling(first)) {
    return pvtbl_kvxml->XERCES_DOM_getNodeValue(first);
  }
  std::string& text = texts_.emplace_back();
  // Without recursion, so any nesting is safe.
  std::vector<XERCES_DOM_node*> pending{first};
  while (!pending.empty()) {
    XERCES_DOM_node* node = pending.back();
    pending.pop_back();
    if (!node) continue;
    pending.push_back(pvtbl_kvxml->XERCES_DOM_getNextSibling(node));
    const int type = pvtbl_kvxml->XERCES_DOM_getNodeType(node);
    if (type == XERCES_DOM_TEXT_NODE || type == XERCES_DOM_CDATA_SECTION_NODE) {
      text += pvtbl_kvxml->XERCES_DOM_getNodeValue(node);
    } else if (type == XERCES_DOM_ELEMENT_NODE) {
      pending.push_back(pvtbl_kvxml->XERCES_DOM_getFirstChild(node));
    }
  }
  return text.c_str();
}

// ---- building from the index -----------------------------------------------------------------

// The children of the element at parent, as indexes.
class children {
 public:
  class iterator {
   public:
    iterator(const definition_index& index, std::uint32_t at) : index_(index), at_(at) {}
    std::uint32_t operator*() const { return at_; }
    iterator& operator++() {
      at_ = index_[at_].end;
      return *this;
    }
    bool operator!=(const iterator& other) const { return at_ != other.at_; }

   private:
    const definition_index& index_;
    std::uint32_t at_;
  };
  children(const definition_index& index, std::uint32_t parent) : index_(index), parent_(parent) {}
  iterator begin() const { return {index_, parent_ + 1}; }
  iterator end() const { return {index_, index_[parent_].end}; }

 private:
  const definition_index& index_;
  std::uint32_t parent_;
};

// The value of a constraint's member or bound; null, after a log line, when the text is not a
// value of the preference's type: that member alone is left out.
VERU_value* member_value(VERU_pref* pref, const char* text) {
  try {
    return pref->create_veru_value(text);
  } catch (const TQS::Error::Exception&) {
    ERROR_lprintf("VERU: preference %s: constraint value %s is not valid and is left out\n",
                  veru_quoted(pref->ask_name()).c_str(), veru_quoted(text).c_str());
    return nullptr;
  }
}

VERU_data* load_data(VERU_pref* pref, const definition_index& index, std::uint32_t at) {
  const char* type = index.value(index[at], DATA_TYPE);
  if (!type) return nullptr;
  const bool is_enum = std::strcmp(type, "enum") == 0;
  const bool is_color = std::strcmp(type, "color") == 0;
  if (is_enum || is_color) {
    VERU_data_enum* data = is_enum ? VERU_data_enum::create(0) : VERU_data_color::create(0);
    for (std::uint32_t child : children(index, at)) {
      const element_s& member = index[child];
      if (member.kind != element_kind::enum_elem) continue;
      VERU_value* value = member_value(pref, index.value(member, MEMBER_VALUE));
      if (!value) continue;
      VERU_enum_elem* elem = VERU_enum_elem::create(value, index.value(member, MEMBER_NAME));
      if (is_enum) elem->set_bitmap(index.value(member, BITMAP));
      data->add_elem(elem);
    }
    return data;
  }
  if (std::strcmp(type, "range") != 0) return nullptr;
  VERU_data_range* range = VERU_data_range::create(0);
  for (std::uint32_t child : children(index, at)) {
    const element_s& member = index[child];
    const bool is_lower = member.kind == element_kind::lower_bound;
    if (!is_lower && member.kind != element_kind::upper_bound) continue;
    VERU_value* value = member_value(pref, index.value(member, MEMBER_VALUE));
    if (!value) continue;
    const bool inclusive = veru_parse_int_prefix(index.value(member, INCLUDE)) != 0;
    VERU_range_elem* bound = VERU_range_elem::create(inclusive, value);
    if (const char* name = index.non_empty(member, MEMBER_NAME)) {
      TEXT_s* text = TEXT_create_string(name);
      bound->set_name(text);
      TEXT_free(text);
    }
    if (is_lower) {
      range->set_lower(bound);
    } else {
      range->set_upper(bound);
    }
  }
  return range;
}

// The loader owns the constraints it makes until a preference keeps one; one that a later
// Data element replaces is freed.
void replace_data(VERU_pref* pref, VERU_data* data) {
  VERU_data* previous = pref->ask_data();
  pref->set_data(data);
  OM_delete_object(previous);
}

VERU_pref* create_pref(const char* type, const char* name) {
  const veru_pref_type_s* known = veru_pref_type_named(type);
  return known ? known->create(name) : nullptr;
}

void load_pref(VERU_group* group, const definition_index& index, std::uint32_t at) {
  const element_s& element = index[at];
  const char* name = index.value(element, PREF_NAME);
  const char* type = index.value(element, TYPE);
  if (!name || !*name) {
    ERROR_lprintf("VERU: a preference without a name is skipped\n");
    return;
  }
  VERU_pref* pref = create_pref(type, name);
  if (!pref) {
    ERROR_lprintf("VERU: unknown preference type for %s\n", veru_quoted(name).c_str());
    return;
  }
  const char* value = index.value(element, VALUE);
  if (!value) {
    ERROR_lprintf("VERU: preference %s has no default value; an empty one is used\n",
                  veru_quoted(name).c_str());
    value = "";
  }
  // A default that is no value of the type costs its preference only.
  VERU_value* default_value = nullptr;
  VERU_value* loaded_value = nullptr;
  try {
    default_value = pref->create_veru_value(value);
    loaded_value = pref->create_veru_value(value);
  } catch (const TQS::Error::Exception&) {
    ERROR_lprintf("VERU: preference %s has a default value %s that is not valid; it is skipped\n",
                  veru_quoted(name).c_str(), veru_quoted(value).c_str());
    OM_delete_object(default_value);
    OM_delete_object(pref);
    return;
  }
  VERU__ask_module_root()->add_pref(pref);
  // A second definition of a name is not the one its name finds.
  if (VERU_lookup_pref(name) == pref) veru_note_former_names(pref, index.value(element, FORMERLY));
  pref->set_parent(group);
  pref->set_value(default_value, 0);
  pref->set_loaded_value(loaded_value);
  pref->set_title(index.value(element, TITLE));
  if (const char* unit = index.non_empty(element, UNIT)) pref->set_unit(unit);
  if (const char* ver = index.non_empty(element, VER)) pref->set_ver(ver);
  if (const char* scope = index.value(element, SCOPE)) {
    if (std::strcmp(scope, "Part") == 0) pref->set_scope(1);
    if (std::strcmp(scope, "Session") == 0) pref->set_scope(2);
  }
  if (const char* restart = index.value(element, RESTART)) {
    veru_set_pref_restart(pref, std::strcmp(restart, "yes") == 0);
  }
  for (std::uint32_t child : children(index, at)) {
    const element_s& part = index[child];
    if (part.kind == element_kind::data) {
      replace_data(pref, load_data(pref, index, child));
    } else if (part.kind == element_kind::widget || part.kind == element_kind::color_widget) {
      if (OM_object* widget = veru_call_create_object_hook(pref, part.node)) {
        group->add_object(widget);
      }
      const int widget = veru_widget_of(pvtbl_kvxml->XERCES_DOM_getNodeName(part.node));
      veru_set_pref_widget(pref, widget,
                           widget == VERU_WIDGET_TOGGLE
                               ? pvtbl_kvxml->XERCES_DOM_getAttribute(part.node, "off")
                               : nullptr);
      if (part.kind == element_kind::color_widget && !pref->ask_data()) {
        pref->set_data(VERU_data_color::create(0));
      }
    } else if (part.kind == element_kind::description) {
      pref->set_desc(index.value(part, 0));
    }
  }
}

VERU_group* load_group(const definition_index& index, std::uint32_t at, int depth,
                       const char* path) {
  if (depth > VERU_MAX_GROUP_DEPTH) {
    ERROR_raise(VERU_SOURCE, __LINE__, VERU_ERROR_DEFINITION_FILE_LOAD,
                "Unable to load preferences definition: groups nested more than %d deep in %s",
                VERU_MAX_GROUP_DEPTH, path);
  }
  const element_s& element = index[at];
  const char* name = index.value(element, NAME);
  VERU_group* group = VERU_group::create(name ? name : "");
  if (element.kind == element_kind::category) group->set_has_tabs(true);
  if (element.kind == element_kind::group) group->set_is_group(true);
  if (const char* csh = index.non_empty(element, CSH)) group->set_csh_text(csh);
  for (std::uint32_t child : children(index, at)) {
    const element_s& part = index[child];
    if (is_group_kind(part.kind)) {
      VERU_group* nested = load_group(index, child, depth + 1, path);
      group->add_object(nested);
      nested->set_parent(group);
    } else if (part.kind == element_kind::pref) {
      load_pref(group, index, child);
    } else if (part.kind == element_kind::label || part.kind == element_kind::image ||
               part.kind == element_kind::separator) {
      if (OM_object* shown = veru_call_create_object_hook(nullptr, part.node)) {
        group->add_object(shown);
      }
    }
  }
  return group;
}

void require_document_element(const definition_index& index) {
  if (index.empty()) {
    ERROR_raise(VERU_SOURCE, __LINE__, VERU_ERROR_DEFINITION_FILE_LOAD,
                "Unable to load preferences definition");
  }
}

void load_applications(const definition_index& index, const char* path) {
  require_document_element(index);
  VERU_group* tree_root = VERU__ask_module_root()->ask_tree_root();
  for (std::uint32_t child : children(index, 0)) {
    if (index[child].kind == element_kind::application) {
      tree_root->add_object(load_group(index, child, 1, path));
    }
  }
}

void load_pref_value(const definition_index& index, std::uint32_t at) {
  const element_s& element = index[at];
  const char* name = index.value(element, PREF_VALUE_NAME);
  VERU_pref* pref = VERU_lookup_pref(name);
  if (!pref) return;
  // Whatever reading the entry raises costs the entry only.
  try {
    pref->read_dom_node(element.node, 0);
  } catch (const TQS::Error::Exception&) {
    ERROR_lprintf("\tDefault %s value is not valid. Value ignored\n", veru_quoted(name).c_str());
    return;
  }
  pref->update_loaded_value(0);
  if (const char* ver = index.non_empty(element, PREF_VALUE_VER)) pref->set_ver(ver);
  for (std::uint32_t child : children(index, at)) {
    if (index[child].kind == element_kind::description)
      pref->set_desc(index.value(index[child], 0));
  }
}

void load_extras(const definition_index& index, const char* path) {
  require_document_element(index);
  VERU_group* tree_root = VERU__ask_module_root()->ask_tree_root();
  for (std::uint32_t child : children(index, 0)) {
    const element_s& element = index[child];
    if (element.kind == element_kind::application) {
      VERU_group* application =
          VERU_lookup_application_by_csh_tag(tree_root, index.value(element, CSH));
      if (!application) {
        ERROR_raise(VERU_SOURCE, __LINE__, VERU_ERROR_DEFINITION_FILE_LOAD,
                    "Unable to process kv_extras.dpx file");
      }
      for (std::uint32_t category : children(index, child)) {
        if (index[category].kind != element_kind::category) continue;
        VERU_group* added = load_group(index, category, 2, path);
        application->add_object(added);
        added->set_parent(application);
      }
    } else if (element.kind == element_kind::pref_value) {
      load_pref_value(index, child);
    }
  }
}

}  // namespace

void veru_load_definition_file(const char* path) {
  veru_parsed_file file = veru_parsed_file::create();
  veru_parse_timer timer;
  if (timer.is_timing()) ERROR_lprintf("Processing customer default file %s ", path);
  if (file.parse(path, VERU_DEFINITION_FILE_MODE, definition_index::make) != 0) {
    ERROR_lprintf("\n%s\n", file.error_text());
    ERROR_raise(VERU_SOURCE, __LINE__, VERU_ERROR_DEFINITION_FILE_LOAD,
                "Unable to parse XML def file %s", path);
  }
  const auto& index = static_cast<const definition_index&>(file.index());
  const veru_duplicate_name_lines duplicate_lines(path);
  if (std::strstr(path, "kv_extras")) {
    load_extras(index, path);
  } else {
    load_applications(index, path);
  }
  timer.report(" Parsing time: cpu: %1.1f, real: %1.1f \n");
}

void veru_load_definitions() {
  VERU__ask_module_root()->set_tree_root(VERU_group::create(""));
  char** paths = nullptr;
  const int count = VERU_ask_dpx_files(&paths);
  int next = 0;
  try {
    for (; next < count; ++next) {
      veru_load_definition_file(paths[next]);
      SM_free(paths[next]);
    }
  } catch (...) {
    for (; next < count; ++next) SM_free(paths[next]);
    SM_free(paths);
    throw;
  }
  SM_free(paths);
}
