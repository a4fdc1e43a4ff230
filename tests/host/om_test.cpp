// Object manager: classes and attributes made at run time, access by attribute id, deletion
// cascades, full copies, tags and tag files, on a small schema of the tests' own.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "test_support.h"

#define EXPECT_INTERNAL(statement) \
  EXPECT_EQ(raised_code([&] { statement; }), ERROR_INTERNAL_CODE) << #statement

namespace {

class TstNode : public OM_methodic_object {};
class TstLeaf : public TstNode {};
class TstItem : public OM_tagged_object {};

// Ids of the test schema; built once per process, on first use.
struct Schema {
  OM_schema_s* schema;
  int node, leaf, item, other, abstract_class;
  int count, flag, weight, next, any, data, label, note, hook, fixed, kids, numbers, words, extra;
  OM_class_descriptor *node_table, *leaf_table, *item_table;
};

// Deletion steps append "<class>:<count>" here, so a test sees which ran and in what order.
std::vector<std::string> deletion_log;

void delete_node(OM_object* object) {
  deletion_log.push_back("node:" +
                         std::to_string(OM_ask_int(object, OM_lookup_attribute("count"))));
  const int kids = OM_lookup_attribute("kids");  // owned; "next" and the others are not
  OM_delete_referenced_objects(object, kids, 0, OM_ask_array_length(object, kids));
}

void delete_leaf(OM_object* object) {
  deletion_log.push_back("leaf:" +
                         std::to_string(OM_ask_int(object, OM_lookup_attribute("count"))));
}

Schema build_schema() {
  Schema s{};
  s.schema = OM_create_schema("TST", 0);
  const int methodic = OM_methodic_object_class();
  s.node = OM_create_class(s.schema, methodic, "TST_node");
  s.leaf = OM_create_class(s.schema, s.node, "TST_leaf");
  s.item = OM_create_class(s.schema, OM_tagged_object_class(), "TST_item");
  s.other = OM_create_class(s.schema, methodic, "TST_other");
  s.abstract_class = OM_create_class(s.schema, methodic, "TST_abstract");
  OM_set_class_property(s.abstract_class, OM_CLASS_PROPERTY_ABSTRACT);

  auto scalar = [](int class_id, const char* name, int type, unsigned flags = OM_FLAGS_PLAIN,
                   int ref_class = -1) {
    return OM_create_attribute(class_id, name, type, false, 0, flags, ref_class);
  };
  auto array = [](int class_id, const char* name, int type, int dims, unsigned flags,
                  int ref_class) {
    return OM_create_attribute(class_id, name, type, true, dims, flags, ref_class);
  };
  s.count = scalar(s.node, "count", OM_TYPE_INT);
  s.flag = scalar(s.node, "flag", OM_TYPE_LOGICAL);
  s.weight = scalar(s.node, "weight", OM_TYPE_REAL);
  s.next = scalar(s.node, "next", OM_TYPE_REFERENCE, OM_FLAGS_PLAIN, s.node);
  s.any = scalar(s.node, "any", OM_TYPE_REFERENCE);
  s.data = scalar(s.node, "data", OM_TYPE_POINTER);
  s.label = scalar(s.node, "label", OM_TYPE_CHARACTER, OM_FLAGS_STRING);
  s.note = scalar(s.node, "note", OM_TYPE_CHARACTER, OM_FLAGS_TEXT);
  s.hook = scalar(s.node, "hook", OM_TYPE_FUNCTION);
  s.fixed = array(s.node, "fixed", OM_TYPE_REFERENCE, 3, OM_FLAGS_PLAIN, -1);
  s.kids = array(s.node, "kids", OM_TYPE_REFERENCE, 0, OM_FLAGS_PLAIN, s.node);
  s.numbers = array(s.node, "numbers", OM_TYPE_INT, 0, OM_FLAGS_PLAIN, -1);
  s.words = array(s.node, "words", OM_TYPE_CHARACTER, 0, OM_FLAGS_STRING, -1);
  s.extra = scalar(s.leaf, "extra", OM_TYPE_INT);
  scalar(s.item, "label", OM_TYPE_CHARACTER, OM_FLAGS_STRING);
  scalar(s.other, "label", OM_TYPE_CHARACTER, OM_FLAGS_STRING);

  const OM_class_descriptor* methodic_table = OM_ask_class_descriptor(methodic);
  s.node_table = OM_init_class_descriptor(s.node, methodic_table);
  OM_set_constructor<TstNode>(s.node_table);
  OM_init_cascading_method(s.node_table, delete_node);
  s.leaf_table = OM_init_class_descriptor(s.leaf, s.node_table);
  OM_set_constructor<TstLeaf>(s.leaf_table);
  OM_init_cascading_method(s.leaf_table, delete_leaf);
  s.item_table =
      OM_init_class_descriptor(s.item, OM_ask_class_descriptor(OM_tagged_object_class()));
  OM_set_constructor<TstItem>(s.item_table);
  OM_set_constructor<OM_methodic_object>(OM_init_class_descriptor(s.other, methodic_table));
  OM_set_constructor<OM_methodic_object>(
      OM_init_class_descriptor(s.abstract_class, methodic_table));
  return s;
}

const Schema& tst() {
  static const Schema schema = build_schema();
  return schema;
}

// Each test starts with an empty deletion log; the schema is built once per process.
class ObjectManager : public testing::Test {
 protected:
  void SetUp() override { deletion_log.clear(); }
};

OM_object* make_node(int count, int class_id = 0) {
  OM_object* object = OM_create_object(class_id ? class_id : tst().node);
  OM_set_int(object, tst().count, count);
  return object;
}

void example_fn() {}

}  // namespace

TEST_F(ObjectManager, ClassesAndAttributes) {
  const Schema& s = tst();
  EXPECT_EQ(OM_lookup_class("TST_node"), s.node);
  EXPECT_EQ(OM_lookup_class("TST_missing"), 0);
  EXPECT_STREQ(OM_ask_class_name(s.leaf), "TST_leaf");
  EXPECT_EQ(OM_ask_superclass(s.leaf), s.node);
  EXPECT_EQ(OM_ask_class_schema(s.leaf), OM_lookup_schema("TST", 0));
  EXPECT_TRUE(OM_is_subclass(s.leaf, s.leaf));
  EXPECT_TRUE(OM_is_subclass(s.leaf, s.node));
  EXPECT_TRUE(OM_is_subclass(s.leaf, OM_object_class()));
  EXPECT_FALSE(OM_is_subclass(s.node, s.leaf));
  EXPECT_FALSE(OM_is_subclass(s.other, s.node));
  EXPECT_TRUE(OM_ask_class_property(s.abstract_class, OM_CLASS_PROPERTY_ABSTRACT));
  OM_set_class_property(s.node, OM_CLASS_PROPERTY_APPLICATION);
  EXPECT_TRUE(OM_ask_class_property(s.node, OM_CLASS_PROPERTY_APPLICATION));
  EXPECT_FALSE(OM_ask_class_property(s.node, OM_CLASS_PROPERTY_ABSTRACT));
  EXPECT_INTERNAL(OM_create_object(s.abstract_class));
  EXPECT_INTERNAL(OM_create_class(s.schema, s.node, "TST_leaf"));
  EXPECT_INTERNAL(OM_create_schema("TST", 0));
  int found = 0;
  EXPECT_INTERNAL(OM_special_lookup_class(&found, "nope"));
  OM_force_set_object_id(OM_ask_class_of_class_id(s.leaf), 0x80000005u);
  EXPECT_EQ(OM_ask_object_id(OM_ask_class_of_class_id(s.leaf)), 0x80000005u);

  // One id per name, whichever class declares it; inherited attributes are found.
  EXPECT_EQ(OM_lookup_attribute("label"), s.label);
  EXPECT_EQ(OM_lookup_attribute("no_such_attribute"), 0);
  EXPECT_NE(OM_ask_attribute_p_ne(s.item, s.label), nullptr);
  EXPECT_NE(OM_ask_attribute_p_ne(s.leaf, s.weight), nullptr);
  EXPECT_EQ(OM_ask_attribute_p_ne(s.other, s.weight), nullptr);
  EXPECT_EQ(OM_ask_attribute_p_ne(s.node, s.extra), nullptr);
  EXPECT_INTERNAL(OM_ask_attribute_p(s.node, s.extra));
  EXPECT_INTERNAL(OM_create_attribute(s.leaf, "count", OM_TYPE_INT, false, 0, 1, -1));

  // Operation tables start from the base's: class operations are inherited.
  EXPECT_EQ(OM_ask_super_descriptor(s.leaf_table), s.node_table);
  EXPECT_EQ(OM_ask_class_descriptor(s.leaf), s.leaf_table);
  EXPECT_NE(s.item_table->initialise, nullptr);
  EXPECT_EQ(s.item_table->initialise,
            OM_ask_class_descriptor(OM_tagged_object_class())->initialise);
}

TEST_F(ObjectManager, SlotLayoutPutsInheritedAttributesFirst) {
  const Schema& s = tst();
  const int late = OM_create_attribute(s.other, "late", OM_TYPE_INT, false, 0, 1, -1);
  int last_node_slot = -1;
  for (int attribute : {s.count, s.flag, s.weight, s.next, s.any, s.data, s.label, s.note, s.hook,
                        s.fixed, s.kids, s.numbers, s.words}) {
    const int slot = OM_ask_attribute_slot(s.node, attribute);
    EXPECT_EQ(OM_ask_attribute_slot(s.leaf, attribute), slot);
    last_node_slot = std::max(last_node_slot, slot);
  }
  EXPECT_GT(OM_ask_attribute_slot(s.leaf, s.extra), last_node_slot);
  EXPECT_INTERNAL(OM_ask_attribute_slot(s.node, OM_lookup_attribute("isa")));  // computed
  // Once laid out, a class answers the same and takes no new attributes.
  const int later = OM_create_attribute(s.other, "later", OM_TYPE_INT, false, 0, 1, -1);
  EXPECT_NE(OM_ask_attribute_p_ne(s.leaf, s.weight), nullptr);
  EXPECT_EQ(OM_ask_attribute_p_ne(s.leaf, late), nullptr);
  EXPECT_EQ(OM_ask_attribute_p_ne(s.leaf, later), nullptr);
  EXPECT_INTERNAL(OM_create_attribute(s.node, "late", OM_TYPE_INT, false, 0, 1, -1));
}

TEST_F(ObjectManager, AttributesPlacedFirstSitNearestTheHeader) {
  const Schema& s = tst();
  const int placed = OM_create_class(s.schema, OM_methodic_object_class(), "TST_placed");
  OM_set_constructor<OM_methodic_object>(
      OM_init_class_descriptor(placed, OM_ask_class_descriptor(OM_methodic_object_class())));
  const int first = OM_create_attribute(placed, "first", OM_TYPE_REAL, false, 0, 1, -1);
  const int array = OM_create_attribute(placed, "array", OM_TYPE_REFERENCE, true, 2, 1, -1);
  const int second =
      OM_create_attribute(placed, "second", OM_TYPE_CHARACTER, false, 0, OM_FLAGS_STRING, -1);
  OM_place_attribute_first(placed, second);
  EXPECT_INTERNAL(OM_place_attribute_first(placed, s.count));  // not declared by the class
  EXPECT_EQ(OM_ask_attribute_slot(placed, second), 0);
  EXPECT_EQ(OM_ask_attribute_slot(placed, first), 1);
  EXPECT_EQ(OM_ask_attribute_slot(placed, array), 2);        // fixed arrays after the scalars
  EXPECT_INTERNAL(OM_place_attribute_first(placed, first));  // laid out already
  OM_object* object = OM_create_object(placed);
  OM_set_real(object, first, 2.5);
  OM_set_string(object, second, "two");
  OM_set_pointer_elem(object, array, 1, object);
  EXPECT_EQ(OM_ask_real(object, first), 2.5);
  EXPECT_STREQ(OM_ask_string(object, second), "two");
  EXPECT_EQ(OM_ask_pointer_elem(object, array, 1), object);
  OM_delete_object(object);
}

TEST_F(ObjectManager, PackedLogicalsLiveInHeaderBits) {
  const Schema& s = tst();
  // A tagged class, so that the header word holds the tag beside the packed bits.
  const int packed = OM_create_class(s.schema, OM_tagged_object_class(), "TST_packed");
  OM_set_constructor<OM_tagged_object>(
      OM_init_class_descriptor(packed, OM_ask_class_descriptor(OM_tagged_object_class())));
  std::vector<int> bits;
  for (int i = 0; i <= OM_HEADER_BITS; ++i) {
    const std::string name = "bit" + std::to_string(i);
    bits.push_back(OM_create_attribute(packed, name.c_str(), OM_TYPE_LOGICAL, false, 0, 1, -1));
    OM_pack_logical(packed, bits.back());
  }
  const int number = OM_create_attribute(packed, "number", OM_TYPE_INT, false, 0, 1, -1);
  EXPECT_INTERNAL(OM_pack_logical(packed, number));  // not a logical
  for (int i = 0; i < OM_HEADER_BITS; ++i) {
    EXPECT_EQ(OM_ask_attribute_slot(packed, bits[i]), OM_HEADER_BIT_SLOT - i);
  }
  EXPECT_EQ(OM_ask_attribute_slot(packed, bits.back()), 0);  // no bit left: a slot
  EXPECT_INTERNAL(OM_pack_logical(packed, bits[0]));         // laid out already

  OM_object* object = OM_create_object(packed);
  OM_tagged_object::initialise(static_cast<OM_tagged_object*>(object), nullptr);
  const unsigned tag = OM_ask_object_tag(object);
  OM_set_int(object, number, -7);
  for (int i = 0; i <= OM_HEADER_BITS; i += 2) OM_set_logical(object, bits[i], true);
  object->set_header_bit(OM_ask_attribute_slot(packed, bits[1]), true);
  object->set_header_bit(OM_ask_attribute_slot(packed, bits[1]), false);
  for (int i = 0; i <= OM_HEADER_BITS; ++i) EXPECT_EQ(OM_ask_logical(object, bits[i]), i % 2 == 0);
  EXPECT_TRUE(object->header_bit(OM_ask_attribute_slot(packed, bits[2])));
  // The bits leave the flags, the class and the tag as they were.
  EXPECT_EQ(OM_ask_int(object, OM_lookup_attribute("om_flags")), 0);
  EXPECT_EQ(OM_ask_int(object, OM_lookup_attribute("isa")), packed);
  EXPECT_EQ(OM_ask_object_tag(object), tag);
  EXPECT_EQ(OM_ask_object_of_tag(tag), object);
  EXPECT_EQ(OM_ask_int(object, number), -7);

  OM_object* copy = OM_copy_object(object);
  for (int i = 0; i <= OM_HEADER_BITS; ++i) EXPECT_EQ(OM_ask_logical(copy, bits[i]), i % 2 == 0);
  OM_set_logical(copy, bits[0], false);
  EXPECT_TRUE(OM_ask_logical(object, bits[0]));
  EXPECT_NE(OM_ask_object_tag(copy), tag);
  OM_delete_object(copy);
  OM_delete_object(object);
}

TEST_F(ObjectManager, ScalarAccessByIdCopiesAndChecks) {
  const Schema& s = tst();
  OM_object* node = make_node(5);
  OM_object* leaf = make_node(6, s.leaf);
  OM_object* other = OM_create_object(s.other);

  EXPECT_FALSE(OM_ask_logical(node, s.flag));
  EXPECT_EQ(OM_ask_string(node, s.label), nullptr);
  EXPECT_EQ(OM_ask_text(node, s.note), nullptr);
  EXPECT_EQ(OM_ask_int(node, s.count), 5);
  OM_set_logical(node, s.flag, true);
  OM_set_real(node, s.weight, -2.5);
  EXPECT_TRUE(OM_ask_logical(node, s.flag));
  EXPECT_EQ(OM_ask_real(node, s.weight), -2.5);
  int anything = 0;
  OM_set_untyped_pointer(node, s.data, &anything);
  EXPECT_EQ(OM_ask_untyped_pointer(node, s.data), &anything);
  OM_set_int(leaf, s.extra, 9);
  EXPECT_EQ(OM_ask_int(leaf, s.extra), 9);

  // References: restricted to the declared class and its subclasses.
  OM_set_pointer(node, s.next, leaf);
  EXPECT_INTERNAL(OM_set_pointer(node, s.next, other));
  EXPECT_EQ(OM_ask_pointer(node, s.next), leaf);
  OM_set_pointer(node, s.any, other);
  EXPECT_EQ(OM_ask_pointer(node, s.any), other);
  OM_check_ptr_class(leaf, s.node, __FILE__, __LINE__);
  EXPECT_INTERNAL(OM_check_ptr_class(other, s.node, __FILE__, __LINE__));
  EXPECT_INTERNAL(OM_check_ptr_class(nullptr, s.node, __FILE__, __LINE__));

  // Strings and texts are the object's own copies.
  char label[] = "first";
  OM_set_string(node, s.label, label);
  label[0] = 'X';
  EXPECT_STREQ(OM_ask_string(node, s.label), "first");
  // A replacement takes the old string's block when it fits, also from within the old string,
  // and the blocks handed out stay as many.
  const std::size_t blocks = SM_pool_live_blocks();
  for (const char* replacement : {"fir", "second", "", "a longer label than before", "tail"}) {
    OM_set_string(node, s.label, replacement);
    EXPECT_STREQ(OM_ask_string(node, s.label), replacement);
  }
  OM_set_string(node, s.label, OM_ask_string(node, s.label) + 1);
  EXPECT_STREQ(OM_ask_string(node, s.label), "ail");
  OM_set_string(node, s.label, OM_ask_string(node, s.label));
  EXPECT_STREQ(OM_ask_string(node, s.label), "ail");
  EXPECT_EQ(SM_pool_live_blocks(), blocks);
  OM_set_string(node, s.label, nullptr);
  EXPECT_EQ(OM_ask_string(node, s.label), nullptr);
  TEXT_s* text = TEXT_create_string("d\xC3\xA9j\xC3\xA0");
  OM_set_text(node, s.note, text);
  EXPECT_NE(OM_ask_text(node, s.note), text);
  TEXT_free(text);
  EXPECT_STREQ(TEXT_ask_utf8(OM_ask_text(node, s.note)), "d\xC3\xA9j\xC3\xA0");

  // A function attribute holds a name and a function.
  const char* fn_name = "unset";
  OM_generic_fn fn = &example_fn;
  EXPECT_FALSE(OM_ask_function(node, s.hook, &fn_name, &fn));
  EXPECT_EQ(fn_name, nullptr);
  EXPECT_EQ(fn, nullptr);
  static const char kName[] = "example_fn";
  OM_set_function(node, s.hook, kName, &example_fn);
  EXPECT_TRUE(OM_ask_function(node, s.hook, &fn_name, &fn));
  EXPECT_EQ(fn_name, kName);
  EXPECT_EQ(fn, &example_fn);

  // Wrong type, wrong shape, an attribute of another class, no attribute at all.
  EXPECT_INTERNAL(OM_ask_int(node, s.label));
  EXPECT_INTERNAL(OM_set_real(node, s.count, 1.0));
  EXPECT_INTERNAL(OM_ask_text(node, s.label));
  EXPECT_INTERNAL(OM_ask_untyped_pointer(node, s.next));
  EXPECT_INTERNAL(OM_ask_int(node, s.numbers));
  EXPECT_INTERNAL(OM_ask_int(node, s.extra));
  EXPECT_INTERNAL(OM_ask_int(node, 0));
  EXPECT_INTERNAL(OM_ask_int(node, 1 << 20));
  EXPECT_INTERNAL(OM_ask_int(nullptr, s.count));

  // Computed attributes answer from the object and cannot be set.
  const int isa = OM_lookup_attribute("isa");
  const int om_flags = OM_lookup_attribute("om_flags");
  const int descriptor = OM_lookup_attribute("om_method_descriptor");
  EXPECT_EQ(OM_ask_int(leaf, isa), s.leaf);
  EXPECT_EQ(OM_ask_int(leaf, om_flags), 0);
  EXPECT_EQ(OM_ask_untyped_pointer(leaf, descriptor), s.leaf_table);
  EXPECT_INTERNAL(OM_set_int(leaf, isa, s.node));
  EXPECT_INTERNAL(OM_set_int(leaf, om_flags, 1));
  EXPECT_INTERNAL(OM_set_untyped_pointer(leaf, descriptor, nullptr));
  EXPECT_EQ(OM_ask_int(leaf, isa), s.leaf);

  for (OM_object* object : {node, leaf, other}) OM_delete_object(object);
}

TEST_F(ObjectManager, NewObjectsAreEmptyInTheMemoryOfDeletedOnes) {
  const Schema& s = tst();
  // Each object deleted with every attribute set, and then one made in its place.
  for (int round = 0; round < 2; ++round) {
    std::vector<OM_object*> made;
    for (int i = 0; i < 8; ++i) made.push_back(OM_create_object(s.leaf));
    for (OM_object* node : made) {
      ASSERT_EQ(OM_ask_int(node, s.count), 0);
      EXPECT_FALSE(OM_ask_logical(node, s.flag));
      EXPECT_EQ(OM_ask_real(node, s.weight), 0.0);
      EXPECT_EQ(OM_ask_pointer(node, s.any), nullptr);
      EXPECT_EQ(OM_ask_untyped_pointer(node, s.data), nullptr);
      EXPECT_EQ(OM_ask_string(node, s.label), nullptr);
      EXPECT_EQ(OM_ask_text(node, s.note), nullptr);
      EXPECT_FALSE(OM_ask_function(node, s.hook, nullptr, nullptr));
      EXPECT_EQ(OM_ask_pointer_elem(node, s.fixed, 2), nullptr);
      EXPECT_EQ(OM_ask_array_length(node, s.numbers), 0);
      EXPECT_EQ(OM_ask_int(node, s.extra), 0);
      OM_set_int(node, s.count, -1);
      OM_set_logical(node, s.flag, true);
      OM_set_real(node, s.weight, 1.5);
      OM_set_pointer(node, s.any, node);
      OM_set_untyped_pointer(node, s.data, node);
      OM_set_string(node, s.label, "label");
      TEXT_s* note = TEXT_create_string("note");
      OM_set_text(node, s.note, note);
      TEXT_free(note);
      OM_set_function(node, s.hook, "example_fn", &example_fn);
      OM_set_pointer_elem(node, s.fixed, 2, node);
      OM_set_array_length(node, s.numbers, 3);
      OM_set_int(node, s.extra, 7);
    }
    for (OM_object* node : made) OM_delete_object(node);
  }
}

TEST_F(ObjectManager, ArraysByIdAndIndex) {
  const Schema& s = tst();
  OM_object* node = make_node(1);
  OM_object* child = make_node(2);
  OM_object* other = OM_create_object(s.other);

  EXPECT_EQ(OM_ask_array_length(node, s.fixed), 3);
  EXPECT_EQ(OM_ask_pointer_elem(node, s.fixed, 2), nullptr);
  OM_set_pointer_elem(node, s.fixed, 2, other);  // any class
  EXPECT_EQ(OM_ask_pointer_elem(node, s.fixed, 2), other);
  OM_set_array_length(node, s.fixed, 3);
  EXPECT_INTERNAL(OM_set_array_length(node, s.fixed, 4));
  EXPECT_INTERNAL(OM_ask_pointer_elem(node, s.fixed, 3));

  EXPECT_EQ(OM_ask_array_length(node, s.kids), 0);
  EXPECT_INTERNAL(OM_ask_pointer_elem(node, s.kids, 0));
  OM_set_array_length(node, s.kids, 2);
  OM_set_pointer_elem(node, s.kids, 1, child);
  EXPECT_INTERNAL(OM_set_pointer_elem(node, s.kids, 0, other));  // not a TST_node
  EXPECT_EQ(OM_ask_pointer_elem(node, s.kids, 0), nullptr);
  EXPECT_EQ(OM_ask_pointer_elem(node, s.kids, 1), child);
  EXPECT_INTERNAL(OM_ask_pointer_elem(node, s.kids, -1));
  EXPECT_INTERNAL(OM_set_array_length(node, s.kids, -1));
  EXPECT_INTERNAL(OM_ask_array_length(node, s.count));

  OM_set_array_length(node, s.numbers, 3);
  OM_set_int_elem(node, s.numbers, 0, 10);
  OM_set_int_elem(node, s.numbers, 2, 30);
  EXPECT_EQ(OM_ask_int_elem(node, s.numbers, 1), 0);
  OM_set_array_length(node, s.numbers, 1);
  OM_set_array_length(node, s.numbers, 2);
  EXPECT_EQ(OM_ask_int_elem(node, s.numbers, 0), 10);
  EXPECT_EQ(OM_ask_int_elem(node, s.numbers, 1), 0);  // grown elements start empty
  EXPECT_INTERNAL(OM_ask_string_elem(node, s.numbers, 0));

  OM_set_array_length(node, s.words, 3);
  std::string word = "alpha";
  OM_set_string_elem(node, s.words, 0, word.c_str());
  OM_set_string_elem(node, s.words, 2, "gamma");
  word = "changed";
  EXPECT_STREQ(OM_ask_string_elem(node, s.words, 0), "alpha");
  EXPECT_EQ(OM_ask_string_elem(node, s.words, 1), nullptr);
  OM_set_string_elem(node, s.words, 0, "again");
  OM_set_array_length(node, s.words, 1);  // releases "gamma"
  EXPECT_STREQ(OM_ask_string_elem(node, s.words, 0), "again");

  OM_delete_object(node);  // its step deletes the child in kids
  OM_delete_object(other);
  EXPECT_EQ(deletion_log, (std::vector<std::string>{"node:1", "node:2"}));
}

TEST_F(ObjectManager, DeletionRunsStepsDerivedFirst) {
  const Schema& s = tst();
  OM_object* leaf = make_node(1, s.leaf);
  OM_set_array_length(leaf, s.kids, 2);
  OM_set_pointer_elem(leaf, s.kids, 0, make_node(2));
  OM_set_pointer_elem(leaf, s.kids, 1, make_node(3, s.leaf));
  OM_delete_object(leaf);
  EXPECT_EQ(deletion_log,
            (std::vector<std::string>{"leaf:1", "node:1", "node:2", "leaf:3", "node:3"}));
  OM_delete_object(nullptr);

  deletion_log.clear();
  OM_object* owner = make_node(10);
  OM_set_pointer(owner, s.next, make_node(11));
  OM_delete_referenced_object(owner, s.next);
  EXPECT_EQ(OM_ask_pointer(owner, s.next), nullptr);
  OM_set_array_length(owner, s.kids, 3);
  for (int i = 0; i < 3; ++i) OM_set_pointer_elem(owner, s.kids, i, make_node(20 + i));
  OM_delete_referenced_objects(owner, s.kids, 1, 1);
  EXPECT_EQ(OM_ask_pointer_elem(owner, s.kids, 1), nullptr);
  EXPECT_NE(OM_ask_pointer_elem(owner, s.kids, 2), nullptr);
  EXPECT_INTERNAL(OM_delete_referenced_objects(owner, s.kids, 2, 2));
  EXPECT_EQ(deletion_log, (std::vector<std::string>{"node:11", "node:21"}));

  // A cycle of owning references ends: an object being deleted is not deleted again.
  deletion_log.clear();
  OM_object* back = make_node(30);
  OM_set_array_length(back, s.kids, 1);
  OM_set_pointer_elem(back, s.kids, 0, owner);
  OM_set_array_length(owner, s.kids, 4);
  OM_set_pointer_elem(owner, s.kids, 3, back);
  OM_delete_object(owner);
  EXPECT_EQ(deletion_log, (std::vector<std::string>{"node:10", "node:20", "node:22", "node:30"}));
}

TEST_F(ObjectManager, CopyIsDeepExceptForTaggedObjects) {
  const Schema& s = tst();
  OM_object* original = make_node(1);
  OM_object* shared = make_node(2);
  OM_object* tagged = OM_create_object(s.item);
  OM_tagged_object::initialise(static_cast<OM_tagged_object*>(tagged), nullptr);
  OM_set_pointer(original, s.next, shared);
  OM_set_pointer_elem(original, s.fixed, 0, shared);
  OM_set_pointer(original, s.any, tagged);
  OM_set_string(original, s.label, "label");
  TEXT_s* note = TEXT_create_string("note");
  OM_set_text(original, s.note, note);
  TEXT_free(note);
  OM_set_array_length(original, s.numbers, 2);
  OM_set_int_elem(original, s.numbers, 1, 42);
  OM_set_array_length(original, s.words, 1);
  OM_set_string_elem(original, s.words, 0, "word");
  OM_set_array_length(original, s.kids, 1);
  OM_set_pointer_elem(original, s.kids, 0, make_node(3));
  OM_set_function(original, s.hook, "example_fn", &example_fn);

  OM_object* copy = OM_copy_object(original);
  ASSERT_NE(copy, original);
  EXPECT_EQ(OM_ask_int(copy, s.count), 1);
  OM_object* copied_shared = OM_ask_pointer(copy, s.next);
  ASSERT_NE(copied_shared, nullptr);
  EXPECT_NE(copied_shared, shared);
  EXPECT_EQ(OM_ask_int(copied_shared, s.count), 2);
  EXPECT_EQ(OM_ask_pointer_elem(copy, s.fixed, 0), copied_shared);  // sharing kept
  EXPECT_EQ(OM_ask_pointer(copy, s.any), tagged);                   // tagged: shared
  OM_object* copied_kid = OM_ask_pointer_elem(copy, s.kids, 0);
  EXPECT_NE(copied_kid, OM_ask_pointer_elem(original, s.kids, 0));
  EXPECT_EQ(OM_ask_int(copied_kid, s.count), 3);
  EXPECT_TRUE(OM_ask_function(copy, s.hook, nullptr, nullptr));

  // Changing the original leaves the copy as it was.
  OM_set_string(original, s.label, "other");
  OM_set_text(original, s.note, nullptr);
  OM_set_int_elem(original, s.numbers, 1, 7);
  OM_set_string_elem(original, s.words, 0, "changed");
  OM_set_array_length(original, s.words, 0);
  EXPECT_STREQ(OM_ask_string(copy, s.label), "label");
  EXPECT_STREQ(TEXT_ask_utf8(OM_ask_text(copy, s.note)), "note");
  EXPECT_EQ(OM_ask_int_elem(copy, s.numbers, 1), 42);
  ASSERT_EQ(OM_ask_array_length(copy, s.words), 1);
  EXPECT_STREQ(OM_ask_string_elem(copy, s.words, 0), "word");

  // A tagged object copied directly is a new object with a new tag.
  OM_object* tagged_copy = OM_copy_object(tagged);
  EXPECT_NE(tagged_copy, tagged);
  EXPECT_NE(OM_ask_object_tag(tagged_copy), 0u);
  EXPECT_NE(OM_ask_object_tag(tagged_copy), OM_ask_object_tag(tagged));

  // A cycle is copied as a cycle.
  OM_object* a = make_node(50);
  OM_object* b = make_node(51);
  OM_set_pointer(a, s.next, b);
  OM_set_pointer(b, s.next, a);
  OM_object* a_copy = OM_copy_object(a);
  OM_object* b_copy = OM_ask_pointer(a_copy, s.next);
  EXPECT_NE(b_copy, b);
  EXPECT_EQ(OM_ask_pointer(b_copy, s.next), a_copy);

  // A set holds state outside its slots and cannot be copied, nor can what reaches it.
  OM_set* set = OM_create_2hash_set(
      nullptr, [](const void*, const OM_object*) { return 1; },
      [](const OM_object*, const OM_object*) { return 1; }, [](const void*) { return 0u; },
      [](const OM_object*) { return 0u; }, 4);
  EXPECT_INTERNAL(OM_copy_object(set));
  OM_set_pointer(b, s.any, set);
  EXPECT_INTERNAL(OM_copy_object(a));

  for (OM_object* object : {original, shared, copy, copied_shared, tagged, tagged_copy, a, b,
                            a_copy, b_copy, static_cast<OM_object*>(set)}) {
    OM_delete_object(object);
  }
}

TEST_F(ObjectManager, TagsAndTagFiles) {
  const Schema& s = tst();
  auto* first = static_cast<OM_tagged_object*>(OM_create_object(s.item));
  auto* second = static_cast<OM_tagged_object*>(OM_create_object(s.item));
  OM_object* node = make_node(1);
  OM_tagged_object::initialise(first, nullptr);
  OM_tagged_object::initialise(second, nullptr);
  const unsigned first_tag = OM_ask_object_tag(first);
  EXPECT_NE(first_tag, 0u);
  EXPECT_NE(OM_ask_object_tag(second), first_tag);
  OM_tagged_object::initialise(first, nullptr);
  EXPECT_EQ(OM_ask_object_tag(first), first_tag);
  EXPECT_EQ(OM_ask_object_tag(node), 0u);
  EXPECT_EQ(OM_ask_object_of_tag(first_tag), first);
  EXPECT_EQ(OM_ask_object_of_tag(0), nullptr);
  EXPECT_EQ(OM_ask_object_of_tag(first_tag + 1000), nullptr);
  OM_delete_object(first);
  EXPECT_EQ(OM_ask_object_of_tag(first_tag), nullptr);
  auto* third = static_cast<OM_tagged_object*>(OM_create_object(s.item));
  OM_tagged_object::initialise(third, nullptr);
  EXPECT_NE(OM_ask_object_tag(third), first_tag);  // tags are never reused
  // An untagged object keeps an attribute where a tagged one keeps its tag: a count equal to a
  // live tag is neither the node's tag nor taken for it when the node goes.
  const unsigned third_tag = OM_ask_object_tag(third);
  OM_object* counted = make_node(static_cast<int>(third_tag));
  OM_object* counted_copy = OM_copy_object(counted);
  EXPECT_EQ(OM_ask_object_tag(counted), 0u);
  EXPECT_EQ(OM_ask_int(counted_copy, s.count), static_cast<int>(third_tag));
  OM_delete_object(counted);
  OM_delete_object(counted_copy);
  EXPECT_EQ(OM_ask_object_of_tag(third_tag), third);

  OM_tag_file* file = TAG_create_file(0, "prefs");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(OM_ask_root_object(file), nullptr);
  auto* root = static_cast<OM_tagged_object*>(OM_create_object(s.item));
  OM_create_root_object(root, file);
  EXPECT_EQ(OM_ask_root_object(file), root);
  EXPECT_EQ(OM_ask_object_of_tag(OM_ask_object_tag(root)), root);
  EXPECT_INTERNAL(TAG_create_file(1, "other"));
  EXPECT_INTERNAL(OM_ask_root_object(reinterpret_cast<OM_tag_file*>(node)));
  for (OM_object* object : {static_cast<OM_object*>(second), static_cast<OM_object*>(third), node})
    OM_delete_object(object);
}

TEST_F(ObjectManager, LogicalCustomerDefaults) {
  EXPECT_INTERNAL(OM_ask_logical_customer_default("x"));
  OM_register_ask_logical_customer_default_fn(
      [](const char* name) { return std::strcmp(name, "on") == 0; });
  EXPECT_TRUE(OM_ask_logical_customer_default("on"));
  EXPECT_FALSE(OM_ask_logical_customer_default("off"));
}
