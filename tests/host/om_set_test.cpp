// Object manager sets: unique keys, growth far beyond the capacity hint, visiting, the string
// hash.
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

class SetEntry : public OM_methodic_object {};

// A class of named entries, made once per process.
struct EntryClass {
  int class_id;
  int name;
};

const EntryClass& entries() {
  static const EntryClass made = [] {
    EntryClass c{};
    OM_schema_s* schema = OM_create_schema("SETTEST", 0);
    c.class_id = OM_create_class(schema, OM_methodic_object_class(), "SETTEST_entry");
    c.name =
        OM_create_attribute(c.class_id, "name", OM_TYPE_CHARACTER, false, 0, OM_FLAGS_STRING, -1);
    OM_set_constructor<SetEntry>(
        OM_init_class_descriptor(c.class_id, OM_ask_class_descriptor(OM_methodic_object_class())));
    return c;
  }();
  return made;
}

OM_object* make_entry(const std::string& name) {
  OM_object* entry = OM_create_object(entries().class_id);
  OM_set_string(entry, entries().name, name.c_str());
  return entry;
}

const char* name_of(const OM_object* entry) {
  return OM_ask_string(entry, entries().name);
}

int key_compare(const void* key, const OM_object* entry) {
  return std::strcmp(static_cast<const char*>(key), name_of(entry));
}
int entry_compare(const OM_object* a, const OM_object* b) {
  return std::strcmp(name_of(a), name_of(b));
}
unsigned key_hash(const void* key) {
  return OM_hash_string(static_cast<const char*>(key));
}
unsigned entry_hash(const OM_object* entry) {
  return OM_hash_string(name_of(entry));
}

OM_set* make_set(int capacity) {
  return OM_create_2hash_set(nullptr, key_compare, entry_compare, key_hash, entry_hash, capacity);
}

}  // namespace

TEST(ObjectManagerSets, KeysAreUniqueAndTheSetGrows) {
  OM_set* set = make_set(4096);
  std::vector<OM_object*> made;
  constexpr int kCount = 20000;
  for (int i = 0; i < kCount; ++i) {
    made.push_back(make_entry("entry-" + std::to_string(i)));
    ASSERT_EQ(OM_insert_into_set(set, made.back()), nullptr) << i;
  }
  EXPECT_EQ(OM_ask_set_count(set), kCount);
  EXPECT_EQ(OM_ask_int(set, OM_lookup_attribute("count")), kCount);
  for (int i = 0; i < kCount; ++i) {
    ASSERT_EQ(OM_lookup_in_set(set, ("entry-" + std::to_string(i)).c_str()), made[i]) << i;
  }
  EXPECT_EQ(OM_lookup_in_set(set, "entry-20000"), nullptr);
  EXPECT_EQ(OM_lookup_in_set(set, "Entry-7"), nullptr);  // keys are case-sensitive
  EXPECT_EQ(OM_lookup_in_set(set, ""), nullptr);

  // A second element with a key that is there already: the first one stays.
  OM_object* duplicate = make_entry("entry-7");
  EXPECT_EQ(OM_insert_into_set(set, duplicate), made[7]);
  EXPECT_EQ(OM_lookup_in_set(set, "entry-7"), made[7]);
  EXPECT_EQ(OM_ask_set_count(set), kCount);

  std::map<const OM_object*, int> visits;
  OM_for_all_in_set(
      set,
      [](OM_object* element, void* data) { ++(*static_cast<decltype(visits)*>(data))[element]; },
      &visits);
  EXPECT_EQ(visits.size(), static_cast<std::size_t>(kCount));
  for (const auto& visit : visits) ASSERT_EQ(visit.second, 1);
  EXPECT_EQ(visits.count(duplicate), 0u);

  EXPECT_EQ(ERROR_INTERNAL_CODE, raised_code([&] { OM_insert_into_set(set, nullptr); }));
  EXPECT_EQ(ERROR_INTERNAL_CODE, raised_code([&] {
              OM_insert_into_set(reinterpret_cast<OM_set*>(duplicate), made[0]);
            }));
  EXPECT_EQ(ERROR_INTERNAL_CODE, raised_code([&] {
              OM_create_2hash_set(nullptr, key_compare, nullptr, key_hash, entry_hash, 1);
            }));

  OM_delete_object(set);
  OM_delete_object(duplicate);
  for (OM_object* entry : made) OM_delete_object(entry);
}

TEST(ObjectManagerSets, CollidingHashesStillTellKeysApart) {
  OM_set* set = OM_create_2hash_set(
      nullptr, key_compare, entry_compare, [](const void*) { return 7u; },
      [](const OM_object*) { return 7u; }, 0);
  std::vector<OM_object*> made;
  for (int i = 0; i < 200; ++i) {
    made.push_back(make_entry("k" + std::to_string(i)));
    EXPECT_EQ(OM_insert_into_set(set, made.back()), nullptr);
  }
  for (int i = 0; i < 200; ++i)
    EXPECT_EQ(OM_lookup_in_set(set, ("k" + std::to_string(i)).c_str()), made[i]);
  EXPECT_EQ(OM_lookup_in_set(set, "k200"), nullptr);
  OM_delete_object(set);
  for (OM_object* entry : made) OM_delete_object(entry);
}

TEST(ObjectManagerSets, ASetKeyedByAStringSlotFindsWhatItsFunctionsWould) {
  OM_set* by_functions = make_set(0);
  OM_set* by_slot = make_set(0);
  static_cast<OM_hash_set*>(by_slot)->key_by_string_slot(
      OM_ask_attribute_slot(entries().class_id, entries().name));
  // Every length up to three words, and bytes above 0x7f.
  std::vector<OM_object*> made;
  std::string name;
  for (int i = 0; i < 26; ++i) {
    name += static_cast<char>(i % 2 ? 'a' + i : 0x80 + i);
    made.push_back(make_entry(name));
    EXPECT_EQ(OM_insert_into_set(by_functions, made.back()), nullptr);
    EXPECT_EQ(OM_insert_into_set(by_slot, made.back()), nullptr);
  }
  OM_object* empty = make_entry("");
  EXPECT_EQ(OM_insert_into_set(by_slot, empty), nullptr);
  for (std::size_t length = 1; length <= name.size(); ++length) {
    const std::string key = name.substr(0, length);
    EXPECT_EQ(OM_lookup_in_set(by_slot, key.c_str()), made[length - 1]) << length;
    EXPECT_EQ(OM_lookup_in_set(by_slot, key.c_str()), OM_lookup_in_set(by_functions, key.c_str()));
    const std::string other = key.substr(0, length - 1) + "!";
    EXPECT_EQ(OM_lookup_in_set(by_slot, other.c_str()), nullptr);
  }
  EXPECT_EQ(OM_lookup_in_set(by_slot, ""), empty);
  EXPECT_EQ(OM_lookup_in_set(by_slot, nullptr), empty);  // a null key is ""
  OM_object* duplicate = make_entry(name);
  EXPECT_EQ(OM_insert_into_set(by_slot, duplicate), made.back());
  EXPECT_EQ(ERROR_INTERNAL_CODE, raised_code([&] {
              static_cast<OM_hash_set*>(by_slot)->key_by_string_slot(0);
            }));  // not once it has elements
  OM_delete_object(by_functions);
  OM_delete_object(by_slot);
  OM_delete_object(empty);
  OM_delete_object(duplicate);
  for (OM_object* entry : made) OM_delete_object(entry);
}

TEST(ObjectManagerSets, StringHash) {
  std::string copy = "VERU_pref_name";
  EXPECT_EQ(OM_hash_string("VERU_pref_name"), OM_hash_string(copy.c_str()));
  EXPECT_EQ(OM_hash_string(""), OM_hash_string(std::string().c_str()));
  // Spread: nearly every one of many similar names gets its own hash.
  std::set<unsigned> hashes;
  for (int i = 0; i < 20000; ++i)
    hashes.insert(OM_hash_string(("pref_" + std::to_string(i)).c_str()));
  EXPECT_GT(hashes.size(), 19900u);
}

TEST(ObjectManagerSets, StringSetsKeepInsertionOrderAndMapsKeepTheFirstValue) {
  OM_set* set = OM_create_string_set(nullptr, 0);
  std::vector<OM_string*> made;
  for (const char* text : {"zeta", "alpha", "Alpha", "", "mid"}) {
    made.push_back(OM_create_string(text));
    EXPECT_EQ(OM_insert_into_set(set, made.back()), nullptr) << text;
  }
  OM_string* again = OM_create_string("alpha");
  EXPECT_EQ(OM_insert_into_set(set, again), made[1]);
  EXPECT_EQ(OM_lookup_in_set(set, "Alpha"), made[2]);  // exact, case-sensitive
  EXPECT_EQ(OM_lookup_in_set(set, ""), made[3]);
  EXPECT_EQ(OM_lookup_in_set(set, "alph"), nullptr);
  std::vector<std::string> order;
  OM_for_all_in_set(
      set,
      [](OM_object* element, void* data) {
        static_cast<std::vector<std::string>*>(data)->push_back(
            static_cast<OM_string*>(element)->ask_string());
      },
      &order);
  EXPECT_EQ(order, (std::vector<std::string>{"zeta", "alpha", "Alpha", "", "mid"}));
  // Only string objects belong in a string set.
  OM_object* entry = make_entry("zeta");
  EXPECT_EQ(raised_code([&] { OM_insert_into_set(set, entry); }), ERROR_INTERNAL_CODE);
  OM_delete_object(entry);
  OM_delete_object(set);
  OM_delete_object(again);
  for (OM_string* string : made) OM_delete_object(string);

  OM_string_object_map* map = OM_create_string_object_map(nullptr, 4);
  OM_object** values = nullptr;
  EXPECT_EQ(map->ask_values(&values), 0);
  EXPECT_EQ(values, nullptr);
  OM_string* first = OM_create_string("first");
  OM_string* second = OM_create_string("second");
  EXPECT_EQ(map->insert("title", first), nullptr);
  EXPECT_EQ(map->insert("title", second), first);
  EXPECT_EQ(map->lookup("title"), first);
  EXPECT_EQ(map->lookup("Title"), nullptr);
  EXPECT_EQ(map->insert("other", second), nullptr);
  ASSERT_EQ(map->ask_values(&values), 2);
  EXPECT_EQ((std::set<OM_object*>{values[0], values[1]}), (std::set<OM_object*>{first, second}));
  SM_free(values);
  OM_delete_object(map);
  OM_delete_object(first);
  OM_delete_object(second);
}
