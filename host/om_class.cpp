// Object manager: the registry of schemas, classes, attribute declarations and operation tables,
// and the slot layout of each class.
#include <algorithm>
#include <cstring>

#include <vavadoz/error.h>
#include "om_internal.h"

namespace {

const char* const SOURCE = "host/om_class.cpp";

OM_slot read_isa(const OM_object* object) {
  OM_slot value;
  value.i = object->class_id();
  return value;
}

OM_slot read_om_flags(const OM_object* object) {
  OM_slot value;
  value.i = static_cast<int>(object->om_flags());
  return value;
}

OM_slot read_tag(const OM_object* object) {
  OM_slot value;
  value.i = static_cast<int>(object->tag());
  return value;
}

OM_slot read_method_descriptor(const OM_object* object) {
  OM_slot value;
  value.p = OM_class_record(object->class_id())->descriptor;
  return value;
}

OM_kind kind_of(int type, unsigned flags, const char* name) {
  switch (type) {
    case OM_TYPE_LOGICAL:
      return OM_kind::logical;
    case OM_TYPE_INT:
      return OM_kind::integer;
    case OM_TYPE_REFERENCE:
      return OM_kind::reference;
    case OM_TYPE_REAL:
      return OM_kind::real;
    case OM_TYPE_CHARACTER:
      return (flags & 0x10000000u) ? OM_kind::text : OM_kind::string;
    case OM_TYPE_FUNCTION:
      return OM_kind::function;
    case OM_TYPE_POINTER:
      return OM_kind::pointer;
    default:
      ERROR_internal(SOURCE, __LINE__, "attribute %s has unknown type %d", name, type);
  }
}

int attribute_id_for(OM_registry& registry, const char* name) {
  auto found = registry.attribute_ids.find(name);
  if (found != registry.attribute_ids.end()) return found->second;
  int id = static_cast<int>(registry.attribute_names.size());
  registry.attribute_names.emplace_back(name);
  registry.attribute_ids.emplace(name, id);
  return id;
}

OM_class_descriptor* new_descriptor(OM_registry& registry, int class_id,
                                    const OM_class_descriptor* super) {
  registry.descriptors.push_back(std::make_unique<OM_class_descriptor>());
  OM_class_descriptor* descriptor = registry.descriptors.back().get();
  descriptor->class_id = class_id;
  descriptor->super = super;
  if (super) {
    descriptor->create = super->create;
    descriptor->initialise = super->initialise;
  }
  return descriptor;
}

// The object manager's own schema: the root classes that every other class derives from.
void build_basic_schema(OM_registry& registry) {
  registry.classes.emplace_back();  // class id 0 stands for no class
  registry.attribute_names.emplace_back();
  OM_schema_s* schema = OM_create_schema("OM", 0);

  registry.object_class = OM_create_class(schema, 0, "OM_object");
  OM_set_class_property(registry.object_class, OM_CLASS_PROPERTY_ABSTRACT);
  OM_create_computed_attribute(registry.object_class, "isa", OM_TYPE_INT, OM_FLAGS_PLAIN, read_isa);
  OM_create_computed_attribute(registry.object_class, "om_flags", OM_TYPE_INT, OM_FLAGS_PLAIN,
                               read_om_flags);

  registry.methodic_object_class =
      OM_create_class(schema, registry.object_class, "OM_methodic_object");
  OM_create_computed_attribute(registry.methodic_object_class, "om_method_descriptor",
                               OM_TYPE_POINTER, OM_FLAGS_PLAIN, read_method_descriptor);

  registry.tagged_object_class =
      OM_create_class(schema, registry.methodic_object_class, "OM_tagged_object");
  registry.tag_attribute = OM_create_computed_attribute(registry.tagged_object_class, "tag",
                                                        OM_TYPE_INT, OM_FLAGS_PLAIN, read_tag);

  registry.tag_file_class = OM_create_class(schema, registry.methodic_object_class, "OM_tag_file");
  registry.root_object_attribute = OM_create_attribute(
      registry.tag_file_class, "root_object", OM_TYPE_REFERENCE, false, 0, OM_FLAGS_PLAIN, -1);
  registry.save_label_attribute = OM_create_attribute(
      registry.tag_file_class, "save_label", OM_TYPE_CHARACTER, false, 0, OM_FLAGS_STRING, -1);

  OM_class_descriptor* object = OM_init_class_descriptor(registry.object_class, nullptr);
  OM_class_descriptor* methodic = OM_init_class_descriptor(registry.methodic_object_class, object);
  OM_set_constructor<OM_methodic_object>(methodic);
  OM_class_descriptor* tagged = OM_init_class_descriptor(registry.tagged_object_class, methodic);
  OM_set_constructor<OM_tagged_object>(tagged);
  tagged->initialise = reinterpret_cast<OM_generic_fn>(&OM_tagged_object::initialise);
  OM_class_descriptor* tag_file = OM_init_class_descriptor(registry.tag_file_class, methodic);
  OM_set_constructor<OM_tag_file>(tag_file);

  OM_init_set_classes(registry);
  registry.tagged.push_back(nullptr);  // tag 0 is no tag
}

OM_attribute_s* declared_in_chain(OM_class_s* record, int attribute_id) {
  for (OM_class_s* current = record; current;
       current = current->base ? OM_class_record(current->base) : nullptr) {
    for (auto& declared : current->declared) {
      if (declared->id == attribute_id) return declared.get();
    }
  }
  return nullptr;
}

OM_attribute_s* add_declaration(int class_id, const char* name, int type, unsigned flags) {
  OM_registry& registry = OM_the_registry();
  OM_class_s* record = OM_class_record(class_id);
  if (!name || !*name) ERROR_internal(SOURCE, __LINE__, "attribute without a name");
  if (record->sealed) {
    ERROR_internal(SOURCE, __LINE__, "class %s has objects; attribute %s cannot be added",
                   record->name.c_str(), name);
  }
  int id = attribute_id_for(registry, name);
  if (declared_in_chain(record, id)) {
    ERROR_internal(SOURCE, __LINE__, "class %s has attribute %s already", record->name.c_str(),
                   name);
  }
  auto declaration = std::make_unique<OM_attribute_s>();
  declaration->id = id;
  declaration->class_id = class_id;
  declaration->type = type;
  declaration->flags = flags;
  declaration->kind = kind_of(type, flags, name);
  record->declared.push_back(std::move(declaration));
  return record->declared.back().get();
}

}  // namespace

OM_registry* OM_registry_instance = nullptr;

// Never freed: it describes objects that live until the process ends. Calls made while the
// basic schema is being built see the registry already in place.
OM_registry& OM_build_registry() {
  OM_registry_instance = new OM_registry();
  build_basic_schema(*OM_registry_instance);
  return *OM_registry_instance;
}

void OM_no_such_class(int class_id) {
  ERROR_internal(SOURCE, __LINE__, "%d is not a class id", class_id);
}

// ---- schemas and classes ----------------------------------------------------------------

OM_schema_s* OM_create_schema(const char* name, int flags) {
  if (!name) ERROR_internal(SOURCE, __LINE__, "schema without a name");
  OM_registry& registry = OM_the_registry();
  if (OM_lookup_schema(name, flags)) {
    ERROR_internal(SOURCE, __LINE__, "schema %s exists already", name);
  }
  registry.schemas.push_back(std::make_unique<OM_schema_s>());
  registry.schemas.back()->name = name;
  return registry.schemas.back().get();
}

// Schemas have one namespace; flags select no variant.
OM_schema_s* OM_lookup_schema(const char* name, int /*flags*/) {
  if (!name) return nullptr;
  for (auto& schema : OM_the_registry().schemas) {
    if (schema->name == name) return schema.get();
  }
  return nullptr;
}

const char* OM_ask_schema_name(const OM_schema_s* schema) {
  return schema ? schema->name.c_str() : nullptr;
}

int OM_create_class(OM_schema_s* schema, int base_class, const char* name) {
  OM_registry& registry = OM_the_registry();
  if (!schema || !name || !*name) ERROR_internal(SOURCE, __LINE__, "class without schema or name");
  if (registry.class_ids.count(name)) {
    ERROR_internal(SOURCE, __LINE__, "class %s exists already", name);
  }
  if (base_class != 0) OM_class_record(base_class);
  if (registry.classes.size() > UINT16_MAX) {
    ERROR_internal(SOURCE, __LINE__, "no more classes can be made (%s)", name);
  }
  auto record = std::make_unique<OM_class_s>();
  record->id = static_cast<int>(registry.classes.size());
  record->name = name;
  record->base = base_class;
  record->schema = schema;
  registry.class_ids.emplace(name, record->id);
  registry.classes.push_back(std::move(record));
  return registry.classes.back()->id;
}

int OM_lookup_class(const char* name) {
  if (!name) return 0;
  OM_registry& registry = OM_the_registry();
  auto found = registry.class_ids.find(name);
  return found == registry.class_ids.end() ? 0 : found->second;
}

void OM_special_lookup_class(int* class_id, const char* name) {
  int found = OM_lookup_class(name);
  if (!found) ERROR_internal(SOURCE, __LINE__, "class %s is not defined", name ? name : "(null)");
  *class_id = found;
}

const char* OM_ask_class_name(int class_id) {
  return OM_class_record(class_id)->name.c_str();
}

int OM_ask_superclass(int class_id) {
  return OM_class_record(class_id)->base;
}

OM_schema_s* OM_ask_class_schema(int class_id) {
  return OM_class_record(class_id)->schema;
}

void OM_set_class_property(int class_id, int property) {
  OM_class_record(class_id)->properties |= property;
}

bool OM_ask_class_property(int class_id, int property) {
  return (OM_class_record(class_id)->properties & property) == property;
}

bool OM_is_subclass(int class_id, int base_id) {
  OM_registry& registry = OM_the_registry();
  const std::size_t count = registry.classes.size();
  while (class_id > 0 && static_cast<std::size_t>(class_id) < count) {
    if (class_id == base_id) return true;
    class_id = registry.classes[static_cast<std::size_t>(class_id)]->base;
  }
  return false;
}

OM_class_s* OM_ask_class_of_class_id(int class_id) {
  return OM_class_record(class_id);
}

namespace {

void force_set_object_id(OM_meta_object_s* object, unsigned object_id) {
  if (!object) ERROR_internal(SOURCE, __LINE__, "object id given to no object");
  object->object_id = object_id;
}

}  // namespace

void OM_force_set_object_id(OM_class_s* record, unsigned object_id) {
  force_set_object_id(record, object_id);
}

void OM_force_set_object_id(OM_attribute_s* declaration, unsigned object_id) {
  force_set_object_id(declaration, object_id);
}

unsigned OM_ask_object_id(const OM_class_s* record) {
  return record ? record->object_id : 0;
}

unsigned OM_ask_object_id(const OM_attribute_s* declaration) {
  return declaration ? declaration->object_id : 0;
}

int OM_object_class() {
  return OM_the_registry().object_class;
}
int OM_methodic_object_class() {
  return OM_the_registry().methodic_object_class;
}
int OM_tagged_object_class() {
  return OM_the_registry().tagged_object_class;
}

// ---- attributes ---------------------------------------------------------------------------

int OM_create_attribute(int class_id, const char* name, int type, bool is_array, int dims,
                        unsigned flags, int ref_class) {
  if (is_array && (dims < 0 || type == OM_TYPE_FUNCTION)) {
    ERROR_internal(SOURCE, __LINE__, "attribute %s cannot be an array of this kind",
                   name ? name : "(null)");
  }
  if (ref_class != -1 && type == OM_TYPE_REFERENCE) OM_class_record(ref_class);
  OM_attribute_s* declaration = add_declaration(class_id, name, type, flags);
  declaration->ref_class = type == OM_TYPE_REFERENCE ? ref_class : -1;
  declaration->is_array = is_array;
  declaration->dims = is_array ? dims : 0;
  if (declaration->is_fixed_array()) declaration->slot_count = dims;
  return declaration->id;
}

int OM_create_computed_attribute(int class_id, const char* name, int type, unsigned flags,
                                 OM_slot (*read)(const OM_object*)) {
  OM_attribute_s* declaration = add_declaration(class_id, name, type, flags);
  declaration->read = read;
  declaration->slot_count = 0;
  return declaration->id;
}

int OM_lookup_attribute(const char* name) {
  if (!name) return 0;
  OM_registry& registry = OM_the_registry();
  auto found = registry.attribute_ids.find(name);
  return found == registry.attribute_ids.end() ? 0 : found->second;
}

void OM_special_lookup_attribute(int* attribute_id, const char* name) {
  int found = OM_lookup_attribute(name);
  if (!found) {
    ERROR_internal(SOURCE, __LINE__, "attribute %s is not defined", name ? name : "(null)");
  }
  *attribute_id = found;
}

const char* OM_ask_attribute_name(int attribute_id) {
  OM_registry& registry = OM_the_registry();
  if (attribute_id <= 0 ||
      static_cast<std::size_t>(attribute_id) >= registry.attribute_names.size()) {
    return nullptr;
  }
  return registry.attribute_names[static_cast<std::size_t>(attribute_id)].c_str();
}

OM_attribute_s* OM_ask_attribute_p_ne(int class_id, int attribute_id) {
  OM_registry& registry = OM_the_registry();
  if (class_id <= 0 || static_cast<std::size_t>(class_id) >= registry.classes.size()) {
    return nullptr;
  }
  OM_class_s* record = OM_class_record(class_id);
  if (record->sealed) {
    if (attribute_id <= 0 || static_cast<std::size_t>(attribute_id) >= record->by_id.size()) {
      return nullptr;
    }
    return const_cast<OM_attribute_s*>(record->by_id[static_cast<std::size_t>(attribute_id)]);
  }
  return declared_in_chain(record, attribute_id);
}

OM_attribute_s* OM_ask_attribute_p(int class_id, int attribute_id) {
  OM_attribute_s* declaration = OM_ask_attribute_p_ne(class_id, attribute_id);
  if (!declaration) {
    const char* name = OM_ask_attribute_name(attribute_id);
    ERROR_internal(SOURCE, __LINE__, "class %s has no attribute %s", OM_ask_class_name(class_id),
                   name ? name : "(undefined)");
  }
  return declaration;
}

int OM_ask_attribute_type(const OM_attribute_s* attribute) {
  return attribute->type;
}

unsigned OM_ask_attribute_flags(const OM_attribute_s* attribute) {
  return attribute->flags;
}

namespace {

// An untagged object keeps its class's first int or logical attribute in its header word.
bool fits_header_word(const OM_class_s* record, const OM_attribute_s& declaration) {
  return !record->tagged && !record->header_word_used && !declaration.is_array &&
         (declaration.kind == OM_kind::integer || declaration.kind == OM_kind::logical);
}

}  // namespace

void OM_seal_class(OM_class_s* record) {
  if (record->sealed) return;
  record->tagged = record->id == OM_the_registry().tagged_object_class;
  if (record->base) {
    OM_class_s* base = OM_class_record(record->base);
    OM_seal_class(base);
    record->layout = base->layout;
    record->slot_count = base->slot_count;
    record->tagged = record->tagged || base->tagged;
    record->header_word_used = base->header_word_used;
    record->header_bits_used = base->header_bits_used;
  }
  // The attributes placed first, then the other scalars, nearest the header, where the object is
  // read most; the fixed arrays last.
  std::vector<OM_attribute_s*> order;
  for (const OM_attribute_s* placed : record->placed_first) {
    order.push_back(const_cast<OM_attribute_s*>(placed));
  }
  for (bool arrays : {false, true}) {
    for (auto& declared : record->declared) {
      if (declared->is_fixed_array() == arrays &&
          std::find(order.begin(), order.end(), declared.get()) == order.end()) {
        order.push_back(declared.get());
      }
    }
  }
  for (OM_attribute_s* declared : order) {
    if (declared->read) continue;
    if (record->header_bits_used < OM_HEADER_BITS &&
        std::find(record->packed.begin(), record->packed.end(), declared) != record->packed.end()) {
      declared->slot = OM_HEADER_BIT_SLOT - record->header_bits_used++;
    } else if (fits_header_word(record, *declared)) {
      declared->slot = OM_HEADER_SLOT;
      record->header_word_used = true;
    } else {
      declared->slot = record->slot_count;
      record->slot_count += declared->slot_count;
    }
  }
  for (auto& declared : record->declared) record->layout.push_back(declared.get());
  record->by_id.assign(OM_the_registry().attribute_names.size(), nullptr);
  for (const OM_attribute_s* declaration : record->layout) {
    record->by_id[static_cast<std::size_t>(declaration->id)] = declaration;
    if (declaration->kind == OM_kind::reference && !declaration->read) {
      record->has_references = true;
    }
  }
  record->sealed = true;
}

namespace {

// The class's own declaration of the attribute, while its layout may still change.
OM_attribute_s* unsealed_declaration(OM_class_s* record, int attribute_id) {
  if (record->sealed) {
    ERROR_internal(SOURCE, __LINE__, "the layout of class %s is fixed already",
                   record->name.c_str());
  }
  for (auto& declared : record->declared) {
    if (declared->id == attribute_id) return declared.get();
  }
  const char* name = OM_ask_attribute_name(attribute_id);
  ERROR_internal(SOURCE, __LINE__, "class %s declares no attribute %s", record->name.c_str(),
                 name ? name : "(undefined)");
}

void add_once(std::vector<const OM_attribute_s*>& list, const OM_attribute_s* declaration) {
  if (std::find(list.begin(), list.end(), declaration) == list.end()) list.push_back(declaration);
}

}  // namespace

void OM_place_attribute_first(int class_id, int attribute_id) {
  OM_class_s* record = OM_class_record(class_id);
  add_once(record->placed_first, unsealed_declaration(record, attribute_id));
}

void OM_pack_logical(int class_id, int attribute_id) {
  OM_class_s* record = OM_class_record(class_id);
  const OM_attribute_s* declaration = unsealed_declaration(record, attribute_id);
  if (declaration->kind != OM_kind::logical || declaration->is_array || declaration->read) {
    ERROR_internal(SOURCE, __LINE__, "attribute %s of class %s is not a logical with a slot",
                   OM_ask_attribute_name(attribute_id), record->name.c_str());
  }
  add_once(record->packed, declaration);
}

int OM_ask_attribute_slot(int class_id, int attribute_id) {
  OM_class_s* record = OM_class_record(class_id);
  OM_seal_class(record);
  const OM_attribute_s* declaration = OM_ask_attribute_p(class_id, attribute_id);
  if (declaration->read) {
    ERROR_internal(SOURCE, __LINE__, "attribute %s of class %s has no slot",
                   OM_ask_attribute_name(attribute_id), record->name.c_str());
  }
  return declaration->slot;
}

// ---- operation tables ---------------------------------------------------------------------

OM_class_descriptor* OM_init_class_descriptor(int class_id, const OM_class_descriptor* super) {
  OM_registry& registry = OM_the_registry();
  OM_class_s* record = OM_class_record(class_id);
  record->descriptor = new_descriptor(registry, class_id, super);
  return record->descriptor;
}

void OM_set_class_descriptor(int class_id, OM_class_descriptor* descriptor) {
  OM_class_record(class_id)->descriptor = descriptor;
}

OM_class_descriptor* OM_ask_class_descriptor(int class_id) {
  return OM_class_record(class_id)->descriptor;
}

const OM_class_descriptor* OM_ask_super_descriptor(const OM_class_descriptor* descriptor) {
  return descriptor ? descriptor->super : nullptr;
}

void OM_init_cascading_method(OM_class_descriptor* descriptor, OM_cascade_fn step) {
  if (!descriptor) ERROR_internal(SOURCE, __LINE__, "deletion step for no operation table");
  descriptor->cascade = step;
}

// ---- customer defaults --------------------------------------------------------------------

void OM_register_ask_logical_customer_default_fn(OM_ask_logical_customer_default_fn fn) {
  OM_the_registry().customer_default = fn;
}

bool OM_ask_logical_customer_default(const char* name) {
  OM_ask_logical_customer_default_fn fn = OM_the_registry().customer_default;
  if (!fn) ERROR_internal(SOURCE, __LINE__, "no source of logical customer defaults");
  return fn(name);
}
