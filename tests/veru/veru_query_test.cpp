// Module start, the host's hooks, and the queries by name: lookups, the five typed queries with
// their class rules, visibility callbacks and attribute access by exported id.
#include "veru_pref_test_helpers.h"

namespace {

class VeruQuery : public ModuleTest {};

// A preference of class T as the definition loader leaves it, added to the module's set.
template <class T>
T* add_pref(const char* name, const char* default_text, const char* loaded_text) {
  T* pref = T::create(name);
  pref->set_value(pref->create_veru_value(default_text), 0);
  pref->set_loaded_value(pref->create_veru_value(loaded_text));
  VERU__ask_module_root()->add_pref(pref);
  return pref;
}

const char* const LIST_TEXT = "\"a\"\\\"b\"\\\"c\"";

}  // namespace

TEST_F(VeruQuery, QueriesAnswerTheLoadedValue) {
  VERU_pref_int* number = add_pref<VERU_pref_int>("Number", "5", "7");
  add_pref<VERU_pref_real>("Real", "0.5", "2.25");
  add_pref<VERU_pref_logical>("Flag", "false", "TRUE");
  VERU_pref_string* text = add_pref<VERU_pref_string>("Text", "base", "\"x\"\\\"y\"");
  add_pref<VERU_pref_list>("Flat", "", LIST_TEXT);
  add_pref<VERU_pref_string_list>("Paths", "", LIST_TEXT);

  EXPECT_EQ(VERU_ask_int("Number"), 7);
  number->set_int(9, 3);  // edits of a level are not what queries return
  EXPECT_EQ(VERU_ask_int("Number"), 7);
  EXPECT_DOUBLE_EQ(VERU_ask_real("Real"), 2.25);
  EXPECT_TRUE(VERU_ask_logical("Flag"));
  EXPECT_TRUE(OM_ask_logical_customer_default("Flag"));
  EXPECT_EQ(raised_code([] { OM_ask_logical_customer_default("Missing"); }),
            VERU_ERROR_UNKNOWN_PREF);

  // A plain string comes back as stored, in a copy of its own; lists come back flattened.
  char* copy = VERU_ask_string("Text");
  EXPECT_NE(copy, text->ask_loaded_string());
  EXPECT_EQ(taken(copy), "\"x\"\\\"y\"");
  EXPECT_EQ(taken(VERU_ask_string("Flat")), "a b c");
  EXPECT_EQ(taken(VERU_ask_string("Paths")), "a b c");
  char** list = nullptr;
  const int count = VERU_ask_string_list("Paths", &list);
  EXPECT_EQ(taken(list, count), (std::vector<std::string>{"a", "b", "c"}));

  EXPECT_EQ(VERU_lookup_pref("Number"), number);
  EXPECT_TRUE(VERU_is_known_default("Paths"));
  EXPECT_FALSE(VERU_is_known_default("paths"));
}

TEST_F(VeruQuery, WrongTypesAndUnknownNamesRaise) {
  add_pref<VERU_pref_int>("Number", "5", "5");
  add_pref<VERU_pref_real>("Real", "0.5", "0.5");
  add_pref<VERU_pref_logical>("Flag", "true", "true");
  add_pref<VERU_pref_string>("Text", "t", "t");
  add_pref<VERU_pref_list>("Flat", LIST_TEXT, LIST_TEXT);
  add_pref<VERU_pref_string_list>("Paths", LIST_TEXT, LIST_TEXT);

  struct Case {
    std::function<void()> query;
    const char* message;
  };
  char** list = nullptr;
  const Case cases[] = {
      {[] { VERU_ask_int("Real"); }, "VERU: preference Real is not of type int"},
      {[] { VERU_ask_int("Flag"); }, "VERU: preference Flag is not of type int"},
      {[] { VERU_ask_real("Number"); }, "VERU: preference Number is not of type real"},
      {[] { VERU_ask_logical("Number"); }, "VERU: preference Number is not of type logical"},
      {[] { VERU_ask_logical("Text"); }, "VERU: preference Text is not of type logical"},
      {[] { SM_free(VERU_ask_string("Number")); },
       "VERU: preference Number is not of type string or string_list"},
      {[] { SM_free(VERU_ask_string("Flag")); },
       "VERU: preference Flag is not of type string or string_list"},
      {[&] { VERU_ask_string_list("Flat", &list); },
       "VERU: preference Flat is not of type string_list"},
      {[&] { VERU_ask_string_list("Text", &list); },
       "VERU: preference Text is not of type string_list"},
  };
  for (const Case& wrong : cases) {
    std::string what;
    EXPECT_EQ(raised_code(wrong.query, &what), VERU_ERROR_TYPE_MISMATCH) << wrong.message;
    EXPECT_EQ(what, wrong.message);
  }

  for (const char* name : {"Nope", "number", "NUMBER", "Number ", ""}) {
    std::string what;
    EXPECT_EQ(raised_code([&] { VERU_ask_int(name); }, &what), VERU_ERROR_UNKNOWN_PREF) << name;
    EXPECT_EQ(what, std::string("VERU: preference ") + name + " is not found in database");
    EXPECT_EQ(VERU_lookup_pref(name), nullptr) << name;
  }
  EXPECT_EQ(raised_code([] { VERU_ask_int(nullptr); }), VERU_ERROR_UNKNOWN_PREF);
  EXPECT_EQ(VERU_lookup_pref(nullptr), nullptr);
}

TEST_F(VeruQuery, DuplicateNamesAreLoggedAndTheFirstStays) {
  VERU_pref_int* first = add_pref<VERU_pref_int>("Twice", "1", "1");
  LogCapture log;
  VERU_pref_int* second = VERU_pref_int::create("Twice");
  second->set_loaded_value(second->create_veru_value("2"));
  VERU__ask_module_root()->add_pref(second);
  EXPECT_EQ(log.text(), "VERU: duplicate preference Twice\n");
  EXPECT_EQ(VERU_lookup_pref("Twice"), first);
  EXPECT_EQ(VERU_ask_int("Twice"), 1);
  EXPECT_EQ(OM_ask_set_count(VERU__ask_module_root()->ask_pref_set()), 1);
  OM_delete_object(second);  // the set never held it
}

TEST_F(VeruQuery, LoadedValuesThatHostCodeGivesAreWhatQueriesAnswer) {
  VERU_pref_int* number = add_pref<VERU_pref_int>("Number", "5", "7");
  VERU_pref_string* text = add_pref<VERU_pref_string>("Text", "base", "base");
  number->set_int(9, 3);
  number->update_loaded_value(3);
  EXPECT_EQ(VERU_ask_int("Number"), 9);
  for (const char* given : {"a longer text than before", "", "short"}) {
    text->set_string(given, 2);
    text->update_loaded_value(2);
    EXPECT_EQ(taken(VERU_ask_string("Text")), given);
  }
  VERU_value* replaced = number->loaded_value();
  number->set_loaded_value(number->create_veru_value("11"));
  OM_delete_object(replaced);
  EXPECT_EQ(VERU_ask_int("Number"), 11);

  // A preference that is not the set's one of its name changes nothing.
  OmPtr<VERU_pref_int> other(VERU_pref_int::create("Number"));
  other->set_loaded_value(other->create_veru_value("99"));
  EXPECT_EQ(VERU_ask_int("Number"), 11);

  // A missing loaded value, or one of another class, is the fault it always was.
  replaced = number->loaded_value();
  number->set_loaded_value(nullptr);
  std::string what;
  EXPECT_EQ(raised_code([] { VERU_ask_int("Number"); }, &what), ERROR_ASSERTION_CODE);
  EXPECT_EQ(what, "value_obj != NULL");
  number->set_loaded_value(VERU_real_value::create(1.5));
  EXPECT_EQ(raised_code([] { VERU_ask_int("Number"); }, &what), ERROR_INTERNAL_CODE);
  EXPECT_EQ(what, "object of class VERU_real_value where a VERU_int_value is expected");
  OM_delete_object(number->loaded_value());
  number->set_loaded_value(replaced);
  EXPECT_EQ(VERU_ask_int("Number"), 11);

  VERU_query_table_facts_s facts{};
  VERU__ask_query_table_facts(&facts);
  EXPECT_EQ(facts.preferences, 2);
  EXPECT_EQ(facts.name_bytes, 12);
  EXPECT_EQ(facts.strings_waiting, 0);  // no query was reading the strings replaced
}

namespace {
int first_done = 0;
int second_done = 0;
int count_first() {
  return ++first_done;
}
int count_second() {
  return ++second_done;
}
}  // namespace

TEST_F(VeruQuery, StartRunsOnceAndTheFirstHooksStay) {
  VERU_module_root* root = VERU__ask_module_root();
  ASSERT_NE(root, nullptr);
  OM_set* prefs = root->ask_pref_set();
  ASSERT_NE(prefs, nullptr);
  add_pref<VERU_pref_int>("Kept", "3", "3");

  const REG_VERU_data_s first{nullptr, &count_first, nullptr};
  const REG_VERU_data_s second{nullptr, &count_second, nullptr};
  REG_VERU_register(&first);  // hooks may come after the start
  EXPECT_EQ(first_done, 0);
  VERU_init_module();
  EXPECT_EQ(first_done, 1);
  REG_VERU_register(&second);
  VERU_init_module();
  EXPECT_EQ(first_done, 2);
  EXPECT_EQ(second_done, 0);
  EXPECT_EQ(VERU__ask_module_root(), root);
  EXPECT_EQ(root->ask_pref_set(), prefs);
  EXPECT_EQ(VERU_ask_int("Kept"), 3);
}

namespace {
bool hide() {
  return false;
}
}  // namespace

TEST_F(VeruQuery, VisibilityCallbacksByName) {
  VERU_pref_int* hidden = add_pref<VERU_pref_int>("Hidden", "1", "1");
  VERU_pref_int* other = add_pref<VERU_pref_int>("Other", "1", "1");
  VERU_add_visibility_cb("Hidden", &hide);
  VERU_add_visibility_cb("Unknown", &hide);
  EXPECT_FALSE(hidden->is_visible());
  EXPECT_TRUE(other->is_visible());
}

TEST_F(VeruQuery, AttributesByExportedIdMatchTheOperations) {
  VERU_pref_int* number = add_pref<VERU_pref_int>("Number", "5", "7");
  number->set_title("Width");
  number->set_locked(true, 1);
  VERU_pref_real* real = add_pref<VERU_pref_real>("Real", "1.5", "1.5");

  EXPECT_STREQ(OM_ask_string(number, ATT_name__VERU8887), number->ask_name());
  EXPECT_EQ(OM_ask_text(number, ATT_title__VERU1452), number->ask_title());
  OM_object* loaded = OM_ask_pointer(number, ATT_loaded_value__VERU9075);
  ASSERT_EQ(loaded, number->loaded_value());
  EXPECT_EQ(OM_ask_int(loaded, ATT_value__VERU1281), VERU_ask_int("Number"));
  EXPECT_DOUBLE_EQ(
      OM_ask_real(OM_ask_pointer(real, ATT_loaded_value__VERU9075), ATT_value__VERU1281),
      VERU_ask_real("Real"));

  OM_object* level1 = OM_ask_pointer_elem(number, ATT_values__VERU4702, 1);
  ASSERT_EQ(level1, number->ask_recorded_value(1));
  EXPECT_EQ(OM_ask_pointer_elem(number, ATT_values__VERU4702, 2), nullptr);
  EXPECT_TRUE(OM_ask_logical(level1, ATT_locked__VERU1354));
  EXPECT_EQ(OM_ask_int(level1, ATT_modification_date__VERU7773), number->ask_modification_date(1));

  VERU_module_root* root = VERU__ask_module_root();
  OM_set* prefs = static_cast<OM_set*>(OM_ask_pointer(root, ATT_pref_set__VERU2866));
  EXPECT_EQ(prefs, root->ask_pref_set());
  EXPECT_EQ(OM_lookup_in_set(prefs, "Real"), real);
  EXPECT_EQ(OM_lookup_in_set(prefs, "real"), nullptr);
}
