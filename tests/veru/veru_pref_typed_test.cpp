// The six typed preference classes: text conversion, typed reads and stores, reading a value-file
// entry with its constraint check, range queries, string lists and checked reads.
#include "veru_pref_test_helpers.h"

#include <climits>
#include <sstream>
#include <type_traits>

namespace {

class VeruPrefTyped : public ModuleTest {};

// The number that create_veru_value makes of text, checked to be of value_class.
template <class ValueClass>
auto parsed(VERU_pref* pref, int value_class, const char* text) {
  OmPtr<VERU_value> value(pref->create_veru_value(text));
  OM_check_ptr_class(value.get(), value_class, __FILE__, __LINE__);
  return static_cast<ValueClass*>(value.get())->ask_value();
}

// A "Pref" element of a value file, in a document of its own.
class PrefElement {
 public:
  PrefElement() {
    EXPECT_EQ(KVXML_init(), 0);
    int error = 0;
    context_ = pvtbl_kvxml->XERCES_DOM_create(&error, "UTF-8", 0);
    element_ = pvtbl_kvxml->XERCES_DOM_createElement(context_, "Pref");
  }
  ~PrefElement() { pvtbl_kvxml->XERCES_DOM_release(context_); }
  PrefElement& set(const char* name, const char* value) {
    pvtbl_kvxml->XERCES_DOM_setAttribute(element_, name, value);
    return *this;
  }
  PrefElement& comment(const char* text) {
    XERCES_DOM_node* child = pvtbl_kvxml->XERCES_DOM_createElement(context_, "UserComment");
    pvtbl_kvxml->XERCES_DOM_appendChild(child,
                                        pvtbl_kvxml->XERCES_DOM_createTextNode(context_, text));
    pvtbl_kvxml->XERCES_DOM_appendChild(element_, child);
    return *this;
  }
  XERCES_DOM_node* node() const { return element_; }

 private:
  XERCES_DOM_ctx* context_ = nullptr;
  XERCES_DOM_node* element_ = nullptr;
};

// What ask_int_range or ask_real_range answers, written as "result lower upper" and the four
// flags in the order lower-inclusive, upper-inclusive, has-lower, has-upper. The outputs start
// with values that the call must overwrite.
template <class Native, class Pref>
std::string range_of(Pref* pref) {
  Native lower = 77, upper = 77;
  bool lower_in = true, upper_in = true, has_upper = true, has_lower = true;
  bool result;
  if constexpr (std::is_same_v<Native, int>)
    result = pref->ask_int_range(&lower, &upper, &lower_in, &upper_in, &has_upper, &has_lower);
  else
    result = pref->ask_real_range(&lower, &upper, &lower_in, &upper_in, &has_upper, &has_lower);
  std::ostringstream text;
  text << result << " " << lower << " " << upper << " " << lower_in << upper_in << has_lower
       << has_upper;
  return text.str();
}

VERU_range_elem* bound(VERU_pref* pref, bool inclusive, const char* text) {
  return VERU_range_elem::create(inclusive, pref->create_veru_value(text));
}

}  // namespace

TEST_F(VeruPrefTyped, CreateVeruValueConvertsTextWithoutChecks) {
  OmPtr<VERU_pref_int> number(VERU_pref_int::create("Number"));
  auto int_of = [&](const char* text) {
    return parsed<VERU_int_value>(number.get(), VERU_int_value_c, text);
  };
  EXPECT_EQ(int_of("12abc"), 12);
  EXPECT_EQ(int_of("abc"), 0);
  EXPECT_EQ(int_of(" -7"), -7);
  EXPECT_EQ(int_of("-2147483648"), INT_MIN);
  EXPECT_EQ(int_of("2147483648"), INT_MAX);  // beyond the int range: saturated, never wrapped
  EXPECT_EQ(int_of("99999999999999999999999"), INT_MAX);
  EXPECT_EQ(int_of("-99999999999999999999999"), INT_MIN);

  OmPtr<VERU_pref_real> real(VERU_pref_real::create("Real"));
  auto real_of = [&](const char* text) {
    return parsed<VERU_real_value>(real.get(), VERU_real_value_c, text);
  };
  EXPECT_DOUBLE_EQ(real_of("1e3"), 1000.0);
  EXPECT_DOUBLE_EQ(real_of("abc"), 0.0);
  EXPECT_DOUBLE_EQ(real_of(" -2.5mm"), -2.5);

  OmPtr<VERU_pref_logical> logical(VERU_pref_logical::create("Logical"));
  auto logical_of = [&](const char* text) {
    return parsed<VERU_logical_value>(logical.get(), VERU_logical_value_c, text);
  };
  EXPECT_TRUE(logical_of("TRUE"));
  EXPECT_TRUE(logical_of("tRuE"));
  EXPECT_FALSE(logical_of("False"));
  EXPECT_FALSE(logical_of("yes"));
  EXPECT_FALSE(logical_of("1"));

  for (VERU_pref* pref : {static_cast<VERU_pref*>(VERU_pref_string::create("S")),
                          static_cast<VERU_pref*>(VERU_pref_list::create("L")),
                          static_cast<VERU_pref*>(VERU_pref_string_list::create("SL"))}) {
    OmPtr<VERU_pref> owned(pref);
    OmPtr<VERU_value> value(pref->create_veru_value(" \"a\"\\\"b\" "));
    ASSERT_EQ(value->class_id(), VERU_string_value_c) << pref->ask_name();
    EXPECT_STREQ(static_cast<VERU_string_value*>(value.get())->ask_value(), " \"a\"\\\"b\" ");
  }
}

TEST_F(VeruPrefTyped, TypedStoresSkipLocksAndConstraints) {
  OmPtr<VERU_pref_int> number(VERU_pref_int::create("Number"));
  number->set_int(1, 0);
  VERU_data_range* range = VERU_data_range::create(0);
  range->set_upper(bound(number.get(), true, "10"));
  number->set_data(range);
  number->set_locked(true, 1);
  const int before = CLOCK_gmt();
  number->set_int(50, 3);
  EXPECT_EQ(number->ask_int(3), 50);
  EXPECT_EQ(number->ask_int(2), 1);
  EXPECT_GE(number->ask_modification_date(3), before);

  OmPtr<VERU_pref_logical> logical(VERU_pref_logical::create("Logical"));
  logical->set_logical(true, 0);
  logical->set_logical(false, 2);
  EXPECT_TRUE(logical->ask_logical(1));
  EXPECT_FALSE(logical->ask_logical(3));
}

TEST_F(VeruPrefTyped, ReadDomNodeStoresValueLockDateAndComment) {
  OmPtr<VERU_pref_int> number(VERU_pref_int::create("Number"));
  number->set_int(1, 0);
  number->set_loaded_value(number->create_veru_value("1"));
  PrefElement entry;
  entry.set("name", "Number").set("value", "42").set("locked", "yes");
  entry.set("modified", "2024-05-06T07:08:09Z").comment("set by the site");
  number->read_dom_node(entry.node(), 2);
  EXPECT_EQ(number->ask_int(2), 42);
  EXPECT_TRUE(number->ask_recorded_value(2)->ask_locked());
  EXPECT_EQ(number->ask_modification_date(2), 1714979289);
  EXPECT_STREQ(TEXT_ask_utf8(number->ask_comment(2)), "set by the site");
  EXPECT_FALSE(number->has_value(3));
  EXPECT_EQ(number->ask_loaded_int(), 1);  // the loaders refresh the loaded value, not the read

  // Without lock and date the entry is unlocked and dated now.
  OmPtr<VERU_pref_logical> logical(VERU_pref_logical::create("Logical"));
  const int before = CLOCK_gmt();
  PrefElement upper;
  upper.set("value", "TRUE").set("locked", "no");
  logical->read_dom_node(upper.node(), 1);
  EXPECT_TRUE(logical->ask_logical(1));
  EXPECT_FALSE(logical->ask_recorded_value(1)->ask_locked());
  EXPECT_GE(logical->ask_modification_date(1), before);
  EXPECT_EQ(logical->ask_comment(1), nullptr);
  PrefElement mixed;
  mixed.set("value", "False");
  logical->read_dom_node(mixed.node(), 3);
  EXPECT_FALSE(logical->ask_logical(3));
}

TEST_F(VeruPrefTyped, ReadDomNodeLeavesTheLevelAloneOnInvalidValues) {
  OmPtr<VERU_pref_int> number(VERU_pref_int::create("Number"));
  number->set_int(0, 0);
  VERU_data_range* range = VERU_data_range::create(0);
  range->set_lower(bound(number.get(), true, "0"));
  range->set_upper(bound(number.get(), false, "10"));
  number->set_data(range);
  number->set_int(3, 2);
  number->ask_recorded_value(2)->set_modification_date(1);

  PrefElement outside;
  outside.set("value", "10").set("locked", "yes").comment("too far");
  EXPECT_EQ(raised_code([&] { number->read_dom_node(outside.node(), 2); }),
            VERU_ERROR_RANGE_NOT_IN_CLOSED_OPEN);
  EXPECT_EQ(raised_code([&] { number->read_dom_node(outside.node(), 1); }),
            VERU_ERROR_RANGE_NOT_IN_CLOSED_OPEN);
  // The place the refusal passed is noted as a line of the typed class's own source file.
  try {
    number->read_dom_node(outside.node(), 1);
  } catch (const TQS::Error::Exception& error) {
    ASSERT_GE(error.askLocations().size(), 2u);
    const auto& noted = error.askLocations().back();
    EXPECT_EQ(noted.file, "src/veru/no/ind/veru_pref_int_definitions");
    const std::string root =
        std::string(__FILE__).substr(0, std::string(__FILE__).rfind("/tests/"));
    std::istringstream source(read_file(root + "/" + noted.file + ".cpp"));
    std::string line;
    for (int i = 0; i < noted.line && std::getline(source, line); ++i) {
    }
    EXPECT_NE(line.find("store_read_value"), std::string::npos)
        << noted.file << ":" << noted.line << ": " << line;
  }
  EXPECT_FALSE(number->has_value(1));
  EXPECT_EQ(number->ask_int(2), 3);
  EXPECT_FALSE(number->ask_recorded_value(2)->ask_locked());
  EXPECT_EQ(number->ask_modification_date(2), 1);
  EXPECT_EQ(number->ask_comment(2), nullptr);
  number->set_int(10, 2);
  EXPECT_EQ(number->ask_int(2), 10);

  OmPtr<VERU_pref_string> choice(VERU_pref_string::create("Choice"));
  VERU_data_enum* choices = VERU_data_enum::create(0);
  choices->add_elem(VERU_enum_elem::create(choice->create_veru_value("a"), "A"));
  choice->set_data(choices);
  PrefElement unknown;
  unknown.set("value", "z");
  EXPECT_EQ(raised_code([&] { choice->read_dom_node(unknown.node(), 1); }), VERU_ERROR_NOT_IN_ENUM);
  EXPECT_FALSE(choice->has_value(1));

  // Logicals and lists are not checked against a constraint.
  OmPtr<VERU_pref_logical> logical(VERU_pref_logical::create("Logical"));
  logical->set_data(VERU_data_enum::create(0));
  for (const char* text : {"yes", "1", ""}) {
    PrefElement invalid;
    invalid.set("value", text);
    EXPECT_EQ(raised_code([&] { logical->read_dom_node(invalid.node(), 1); }),
              VERU_ERROR_NOT_LOGICAL)
        << text;
  }
  EXPECT_FALSE(logical->has_value(1));
  PrefElement valid;
  valid.set("value", "true");
  logical->read_dom_node(valid.node(), 1);
  EXPECT_TRUE(logical->ask_logical(1));
  OmPtr<VERU_pref_string_list> list(VERU_pref_string_list::create("List"));
  list->set_data(VERU_data_enum::create(0));
  PrefElement any;
  any.set("value", "\"a\"\\\"b\"");
  list->read_dom_node(any.node(), 3);
  EXPECT_STREQ(list->ask_string(3), "\"a\"\\\"b\"");

  // An entry without a value is refused with the error of its file: the extras definition file
  // at level 0, a value file above (the codes of the value types are the host's to raise); a
  // logical preference refuses it as any text that is neither true nor false.
  OmPtr<VERU_pref_real> real(VERU_pref_real::create("Real"));
  OmPtr<VERU_pref_list> flat(VERU_pref_list::create("Flat"));
  PrefElement bare;
  bare.set("locked", "yes");
  for (int level : {0, 2}) {
    for (VERU_pref* pref : std::vector<VERU_pref*>{number.get(), real.get(), choice.get(),
                                                   flat.get(), list.get(), logical.get()}) {
      const int expected = pref == logical.get() ? VERU_ERROR_NOT_LOGICAL
                           : level == 0          ? VERU_ERROR_DEFINITION_FILE_LOAD
                                                 : VERU_ERROR_VALUE_FILE_LOAD;
      EXPECT_EQ(raised_code([&] { pref->read_dom_node(bare.node(), level); }), expected)
          << pref->ask_name() << " at level " << level;
    }
  }
  EXPECT_FALSE(real->has_value(0) || flat->has_value(0) || list->has_value(0) ||
               logical->has_value(0));
}

TEST_F(VeruPrefTyped, UnreadableModifiedDateIsLoggedAndTheStampKept) {
  OmPtr<VERU_pref_int> number(VERU_pref_int::create("Dated"));
  for (const char* date : {"yesterday", "2100-01-01T00:00:00Z"}) {
    LogCapture log;
    PrefElement entry;
    entry.set("value", "4").set("modified", date);
    const int before = CLOCK_gmt();
    number->read_dom_node(entry.node(), 1);
    EXPECT_EQ(number->ask_int(1), 4);
    EXPECT_GE(number->ask_modification_date(1), before) << date;
    EXPECT_TRUE(log.contains("Dated")) << log.text();
    EXPECT_TRUE(log.contains(date)) << log.text();
  }
}

TEST_F(VeruPrefTyped, RangeQueries) {
  OmPtr<VERU_pref_int> number(VERU_pref_int::create("Number"));
  EXPECT_EQ(range_of<int>(number.get()), "0 0 0 0000");
  VERU_data_range* range = VERU_data_range::create(0);
  range->set_lower(bound(number.get(), true, "2"));
  range->set_upper(bound(number.get(), false, "-9"));
  number->set_data(range);
  EXPECT_EQ(range_of<int>(number.get()), "1 2 -9 1011");
  VERU_data_range* upper_only = VERU_data_range::create(0);
  upper_only->set_upper(bound(number.get(), true, "5"));
  number->set_data(upper_only);
  OM_delete_object(range);  // a replaced constraint stays with the caller
  EXPECT_EQ(range_of<int>(number.get()), "1 0 5 0101");

  OmPtr<VERU_pref_int> choice(VERU_pref_int::create("Choice"));
  VERU_data_enum* choices = VERU_data_enum::create(0);
  choices->add_elem(VERU_enum_elem::create(choice->create_veru_value("3"), "Three"));
  choice->set_data(choices);
  EXPECT_EQ(range_of<int>(choice.get()), "0 0 0 0000");

  OmPtr<VERU_pref_real> real(VERU_pref_real::create("Real"));
  VERU_data_range* unbounded = VERU_data_range::create(0);
  real->set_data(unbounded);
  EXPECT_EQ(range_of<double>(real.get()), "1 0 0 0000");
  VERU_data_range* above = VERU_data_range::create(0);
  above->set_lower(bound(real.get(), false, "0.5"));
  real->set_data(above);
  OM_delete_object(unbounded);
  EXPECT_EQ(range_of<double>(real.get()), "1 0.5 0 0010");
}

TEST_F(VeruPrefTyped, StringListsAndTheirDisplay) {
  OmPtr<VERU_pref_string_list> list(VERU_pref_string_list::create("Paths"));
  const char* three[] = {"alpha", "beta", "gamma"};
  list->set_string_list(3, three, 1);
  EXPECT_STREQ(list->ask_string(1), "\"alpha\"\\\"beta\"\\\"gamma\"");
  char** items = nullptr;
  EXPECT_EQ(taken(items, list->ask_string_list(&items, 3)),
            (std::vector<std::string>{"alpha", "beta", "gamma"}));
  EXPECT_EQ(taken(list->ask_display_value(2)), "alpha beta gamma");

  list->set_string_list(0, nullptr, 3);
  EXPECT_EQ(taken(items, list->ask_string_list(&items, 3)), std::vector<std::string>{});
  EXPECT_EQ(taken(list->ask_display_value(3)), "");
  EXPECT_EQ(raised_code([&] { list->ask_display_value(-1); }), ERROR_INTERNAL_CODE);

  list->set_loaded_value(list->create_veru_value("\"p\"\\\"q\""));
  EXPECT_EQ(taken(items, list->ask_loaded_string_list(&items)),
            (std::vector<std::string>{"p", "q"}));

  // A list preference never shows an enumeration name, even for a matching member.
  OmPtr<VERU_pref_list> flat(VERU_pref_list::create("Flat"));
  flat->set_string("\"x\"\\\"y\"", 0);
  VERU_data_enum* names = VERU_data_enum::create(0);
  names->add_elem(VERU_enum_elem::create(flat->create_veru_value("\"x\"\\\"y\""), "Both"));
  flat->set_data(names);
  EXPECT_EQ(taken(flat->ask_display_value(0)), "x y");
}

TEST_F(VeruPrefTyped, CheckedReadsReportMissingOrForeignValues) {
  MACH__checking_level = 1;
  OmPtr<VERU_pref_int> number(VERU_pref_int::create("Number"));
  OmPtr<VERU_pref_real> real(VERU_pref_real::create("Real"));
  OmPtr<VERU_pref_string> text(VERU_pref_string::create("Text"));
  OmPtr<VERU_pref_list> list(VERU_pref_list::create("List"));
  const std::function<void()> missing[] = {
      [&] { number->ask_loaded_int(); },  [&] { number->ask_int(3); },
      [&] { real->ask_loaded_real(); },   [&] { real->ask_real(0); },
      [&] { text->ask_loaded_string(); }, [&] { text->ask_string(1); },
      [&] { list->ask_loaded_string(); }, [&] { list->ask_string(2); },
  };
  for (std::size_t i = 0; i < sizeof(missing) / sizeof(missing[0]); ++i) {
    std::string what;
    EXPECT_EQ(raised_code(missing[i], &what), ERROR_ASSERTION_CODE) << "call " << i;
    EXPECT_EQ(what, "value_obj != NULL") << "call " << i;
  }

  OmPtr<VERU_pref_logical> logical(VERU_pref_logical::create("Logical"));
  OmPtr<VERU_pref_string_list> strings(VERU_pref_string_list::create("Strings"));
  number->set_loaded_value(VERU_string_value::create("5"));
  real->set_loaded_value(VERU_int_value::create(5));
  text->set_loaded_value(VERU_int_value::create(5));
  logical->set_loaded_value(VERU_int_value::create(1));
  strings->set_loaded_value(VERU_int_value::create(1));
  char** items = nullptr;
  const std::function<void()> foreign[] = {
      [&] { number->ask_loaded_int(); },
      [&] { real->ask_loaded_real(); },
      [&] { text->ask_loaded_string(); },
      [&] { logical->ask_loaded_logical(); },
      [&] { strings->ask_loaded_string_list(&items); },
  };
  for (std::size_t i = 0; i < sizeof(foreign) / sizeof(foreign[0]); ++i) {
    EXPECT_EQ(raised_code(foreign[i]), ERROR_INTERNAL_CODE) << "call " << i;
  }

  // With checking off a value of another class is still never read as this one.
  MACH__checking_level = 0;
  EXPECT_NE(raised_code([&] { number->ask_loaded_int(); }), -1);
}
