// Reading the definition files at start-up: the tree of applications, categories, tabs and
// groups, every preference with its constraint and default, the display objects that the host
// makes, and the extras file's categories and default overrides.
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "veru_module.h"
#include "veru_number_text.h"
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

// Sorted by name.
const named_kind_s ELEMENT_KINDS[] = {
    {"Application", element_kind::application},
    {"BrowseDirSel", element_kind::widget},
    {"BrowseFileSel", element_kind::widget},
    {"Category", element_kind::category},
    {"Color", element_kind::color_widget},
    {"ColorOption", element_kind::widget},
    {"ColorToggle", element_kind::widget},
    {"Data", element_kind::data},
    {"Description", element_kind::description},
    {"EnumElem", element_kind::enum_elem},
    {"Group", element_kind::group},
    {"Image", element_kind::image},
    {"Integer", element_kind::widget},
    {"IntegerScale", element_kind::widget},
    {"Label", element_kind::label},
    {"LowerBound", element_kind::lower_bound},
    {"MultiLineText", element_kind::widget},
    {"OptionMenu", element_kind::widget},
    {"Pref", element_kind::pref},
    {"PrefValue", element_kind::pref_value},
    {"RadioBox", element_kind::widget},
    {"Real", element_kind::widget},
    {"RealScale", element_kind::widget},
    {"Separator", element_kind::separator},
    {"String", element_kind::widget},
    {"Tab", element_kind::tab},
    {"Toggle", element_kind::widget},
    {"UpperBound", element_kind::upper_bound},
    {"Widestring", element_kind::widget},
};

// Where the names that begin with each letter start in ELEMENT_KINDS (sorted by name).
struct first_letters_s {
  unsigned char begin[27];
  first_letters_s() {
    std::size_t row = 0;
    for (int letter = 0; letter <= 26; ++letter) {
      while (row < std::size(ELEMENT_KINDS) && ELEMENT_KINDS[row].name[0] - 'A' < letter) ++row;
      begin[letter] = static_cast<unsigned char>(row);
    }
  }
};

// The kind of an element node; other for anything else. Only the few names that share the
// element's first letter are compared.
element_kind kind_of(XERCES_DOM_node* element) {
  static const first_letters_s first_letters;
  const char* name = pvtbl_kvxml->XERCES_DOM_getNodeName(element);
  if (!name || name[0] < 'A' || name[0] > 'Z') return element_kind::other;
  const int letter = name[0] - 'A';
  for (std::size_t row = first_letters.begin[letter]; row < first_letters.begin[letter + 1];
       ++row) {
    if (std::strcmp(ELEMENT_KINDS[row].name, name) == 0) return ELEMENT_KINDS[row].kind;
  }
  return element_kind::other;
}

bool is_group_kind(element_kind kind) {
  return kind == element_kind::application || kind == element_kind::category ||
         kind == element_kind::tab || kind == element_kind::group;
}

const char* attribute(XERCES_DOM_node* element, const char* name) {
  return pvtbl_kvxml->XERCES_DOM_getAttribute(element, name);
}

// All text inside element, in document order, descending into child elements (without
// recursion, so any nesting is safe).
std::string collected_text(XERCES_DOM_node* element) {
  std::string text;
  std::vector<XERCES_DOM_node*> pending{pvtbl_kvxml->XERCES_DOM_getFirstChild(element)};
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
  return text;
}

void set_description(VERU_pref* pref, XERCES_DOM_node* description) {
  // Most descriptions are one run of text.
  XERCES_DOM_node* first = pvtbl_kvxml->XERCES_DOM_getFirstChild(description);
  if (first && pvtbl_kvxml->XERCES_DOM_getNodeType(first) == XERCES_DOM_TEXT_NODE &&
      !pvtbl_kvxml->XERCES_DOM_getNextSibling(first)) {
    pref->set_desc(pvtbl_kvxml->XERCES_DOM_getNodeValue(first));
    return;
  }
  pref->set_desc(collected_text(description).c_str());
}

// The value of a constraint's member or bound; null, after a log line, when the text is not a
// value of the preference's type: that member alone is left out.
VERU_value* member_value(VERU_pref* pref, XERCES_DOM_node* element) {
  const char* text = attribute(element, "value");
  try {
    return pref->create_veru_value(text);
  } catch (const TQS::Error::Exception&) {
    ERROR_lprintf("VERU: preference %s: constraint value %s is not valid and is left out\n",
                  veru_quoted(pref->ask_name()).c_str(), veru_quoted(text).c_str());
    return nullptr;
  }
}

VERU_data* load_data(VERU_pref* pref, XERCES_DOM_node* element) {
  const char* type = attribute(element, "type");
  if (!type) return nullptr;
  const bool is_enum = std::strcmp(type, "enum") == 0;
  const bool is_color = std::strcmp(type, "color") == 0;
  if (is_enum || is_color) {
    VERU_data_enum* data = is_enum ? VERU_data_enum::create(0) : VERU_data_color::create(0);
    for (XERCES_DOM_node* child = veru_next_element(element, nullptr); child;
         child = veru_next_element(element, child)) {
      if (kind_of(child) != element_kind::enum_elem) continue;
      VERU_value* value = member_value(pref, child);
      if (!value) continue;
      VERU_enum_elem* elem = VERU_enum_elem::create(value, attribute(child, "name"));
      if (is_enum) elem->set_bitmap(attribute(child, "bitmap"));
      data->add_elem(elem);
    }
    return data;
  }
  if (std::strcmp(type, "range") != 0) return nullptr;
  VERU_data_range* range = VERU_data_range::create(0);
  for (XERCES_DOM_node* child = veru_next_element(element, nullptr); child;
       child = veru_next_element(element, child)) {
    const element_kind kind = kind_of(child);
    const bool is_lower = kind == element_kind::lower_bound;
    if (!is_lower && kind != element_kind::upper_bound) continue;
    VERU_value* value = member_value(pref, child);
    if (!value) continue;
    const bool inclusive = veru_parse_int_prefix(attribute(child, "include")) != 0;
    VERU_range_elem* bound = VERU_range_elem::create(inclusive, value);
    if (const char* name = veru_non_empty_attribute(child, "name")) {
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
  if (!type) return nullptr;
  if (std::strcmp(type, "int") == 0) return VERU_pref_int::create(name);
  if (std::strcmp(type, "real") == 0) return VERU_pref_real::create(name);
  if (std::strcmp(type, "logical") == 0) return VERU_pref_logical::create(name);
  if (std::strcmp(type, "string") == 0) return VERU_pref_string::create(name);
  if (std::strcmp(type, "string_list") == 0) return VERU_pref_string_list::create(name);
  return nullptr;
}

// A preference element's attributes, read in one pass.
struct pref_attributes_s {
  enum { NAME, TYPE, VALUE, TITLE, UNIT, VER, SCOPE, COUNT };
  const char* values[COUNT];
  explicit pref_attributes_s(XERCES_DOM_node* element) {
    static const char* const NAMES[COUNT] = {"name", "type", "value", "title",
                                             "unit", "ver",  "scope"};
    pvtbl_kvxml->XERCES_DOM_getAttributes(element, NAMES, values, COUNT);
  }
  const char* operator[](int index) const { return values[index]; }
  const char* non_empty(int index) const {
    return values[index] && *values[index] ? values[index] : nullptr;
  }
};

void load_pref(VERU_group* group, XERCES_DOM_node* element) {
  const pref_attributes_s attributes(element);
  const char* name = attributes[pref_attributes_s::NAME];
  const char* type = attributes[pref_attributes_s::TYPE];
  if (!name || !*name) {
    ERROR_lprintf("VERU: a preference without a name is skipped\n");
    return;
  }
  VERU_pref* pref = create_pref(type, name);
  if (!pref) {
    ERROR_lprintf("VERU: unknown preference type for %s\n", veru_quoted(name).c_str());
    return;
  }
  const char* value = attributes[pref_attributes_s::VALUE];
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
  pref->set_parent(group);
  pref->set_value(default_value, 0);
  pref->set_loaded_value(loaded_value);
  pref->set_title(attributes[pref_attributes_s::TITLE]);
  if (const char* unit = attributes.non_empty(pref_attributes_s::UNIT)) pref->set_unit(unit);
  if (const char* ver = attributes.non_empty(pref_attributes_s::VER)) pref->set_ver(ver);
  if (const char* scope = attributes[pref_attributes_s::SCOPE]) {
    if (std::strcmp(scope, "Part") == 0) pref->set_scope(1);
    if (std::strcmp(scope, "Session") == 0) pref->set_scope(2);
  }
  for (XERCES_DOM_node* child = veru_next_element(element, nullptr); child;
       child = veru_next_element(element, child)) {
    const element_kind kind = kind_of(child);
    if (kind == element_kind::data) {
      replace_data(pref, load_data(pref, child));
    } else if (kind == element_kind::widget || kind == element_kind::color_widget) {
      if (OM_object* widget = veru_call_create_object_hook(pref, child)) group->add_object(widget);
      if (kind == element_kind::color_widget && !pref->ask_data()) {
        pref->set_data(VERU_data_color::create(0));
      }
    } else if (kind == element_kind::description) {
      set_description(pref, child);
    }
  }
}

VERU_group* load_group(XERCES_DOM_node* element, element_kind element_is, int depth,
                       const char* path) {
  if (depth > VERU_MAX_GROUP_DEPTH) {
    ERROR_raise(VERU_SOURCE, __LINE__, VERU_ERROR_DEFINITION_FILE_LOAD,
                "Unable to load preferences definition: groups nested more than %d deep in %s",
                VERU_MAX_GROUP_DEPTH, path);
  }
  const char* name = attribute(element, "name");
  VERU_group* group = VERU_group::create(name ? name : "");
  if (element_is == element_kind::category) group->set_has_tabs(true);
  if (element_is == element_kind::group) group->set_is_group(true);
  if (const char* csh = veru_non_empty_attribute(element, "csh")) group->set_csh_text(csh);
  for (XERCES_DOM_node* child = veru_next_element(element, nullptr); child;
       child = veru_next_element(element, child)) {
    const element_kind kind = kind_of(child);
    if (is_group_kind(kind)) {
      VERU_group* nested = load_group(child, kind, depth + 1, path);
      group->add_object(nested);
      nested->set_parent(group);
    } else if (kind == element_kind::pref) {
      load_pref(group, child);
    } else if (kind == element_kind::label || kind == element_kind::image ||
               kind == element_kind::separator) {
      if (OM_object* shown = veru_call_create_object_hook(nullptr, child)) group->add_object(shown);
    }
  }
  return group;
}

XERCES_DOM_node* document_element(const veru_document& document) {
  XERCES_DOM_node* node = pvtbl_kvxml->XERCES_DOM_getDocument(document.context());
  XERCES_DOM_node* element = node ? pvtbl_kvxml->XERCES_DOM_getDocumentElement(node) : nullptr;
  if (!element) {
    ERROR_raise(VERU_SOURCE, __LINE__, VERU_ERROR_DEFINITION_FILE_LOAD,
                "Unable to load preferences definition");
  }
  return element;
}

void load_applications(const veru_document& document, const char* path) {
  XERCES_DOM_node* root = document_element(document);
  VERU_group* tree_root = VERU__ask_module_root()->ask_tree_root();
  for (XERCES_DOM_node* child = veru_next_element(root, nullptr); child;
       child = veru_next_element(root, child)) {
    if (kind_of(child) == element_kind::application) {
      tree_root->add_object(load_group(child, element_kind::application, 1, path));
    }
  }
}

void load_pref_value(XERCES_DOM_node* element) {
  const char* name = attribute(element, "name");
  VERU_pref* pref = VERU_lookup_pref(name);
  if (!pref) return;
  // Whatever reading the entry raises costs the entry only.
  try {
    pref->read_dom_node(element, 0);
  } catch (const TQS::Error::Exception&) {
    ERROR_lprintf("\tDefault %s value is not valid. Value ignored\n", veru_quoted(name).c_str());
    return;
  }
  pref->update_loaded_value(0);
  if (const char* ver = veru_non_empty_attribute(element, "ver")) pref->set_ver(ver);
  for (XERCES_DOM_node* child = veru_next_element(element, nullptr); child;
       child = veru_next_element(element, child)) {
    if (kind_of(child) == element_kind::description) set_description(pref, child);
  }
}

void load_extras(const veru_document& document, const char* path) {
  XERCES_DOM_node* root = document_element(document);
  VERU_group* tree_root = VERU__ask_module_root()->ask_tree_root();
  for (XERCES_DOM_node* child = veru_next_element(root, nullptr); child;
       child = veru_next_element(root, child)) {
    const element_kind kind = kind_of(child);
    if (kind == element_kind::application) {
      VERU_group* application =
          VERU_lookup_application_by_csh_tag(tree_root, attribute(child, "csh"));
      if (!application) {
        ERROR_raise(VERU_SOURCE, __LINE__, VERU_ERROR_DEFINITION_FILE_LOAD,
                    "Unable to process kv_extras.dpx file");
      }
      for (XERCES_DOM_node* category = veru_next_element(child, nullptr); category;
           category = veru_next_element(child, category)) {
        if (kind_of(category) != element_kind::category) continue;
        VERU_group* added = load_group(category, element_kind::category, 2, path);
        application->add_object(added);
        added->set_parent(application);
      }
    } else if (kind == element_kind::pref_value) {
      load_pref_value(child);
    }
  }
}

}  // namespace

void veru_load_definition_file(const char* path) {
  veru_document document;
  veru_parse_timer timer;
  if (timer.is_timing()) ERROR_lprintf("Processing customer default file %s ", path);
  if (pvtbl_kvxml->XERCES_DOM_parseFile(document.context(), path, "utf-8",
                                        XERCES_DOM_PARSE_DROP_BLANK_TEXT) != 0) {
    ERROR_lprintf("\n%s\n", pvtbl_kvxml->XERCES_DOM_getErrorText(document.context()));
    ERROR_raise(VERU_SOURCE, __LINE__, VERU_ERROR_DEFINITION_FILE_LOAD,
                "Unable to parse XML def file %s", path);
  }
  if (std::strstr(path, "kv_extras")) {
    load_extras(document, path);
  } else {
    load_applications(document, path);
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
