// Value objects (comparison rules, printed forms, native values) and recorded values (what one
// level holds for one preference, and what each owns). Ownership is proven by the leak check of
// the sanitizer build: a value that is not deleted with its owner is reported there.
#include "test_support.h"

#include <climits>
#include <cstdio>
#include <limits>
#include <string>

namespace {

class VeruValue : public HostDefaults {};

// compare of two new values of class T, both deleted afterwards.
template <class T, class V>
int compare(V mine, V theirs) {
  T* a = T::create(mine);
  T* b = T::create(theirs);
  const int result = a->compare(b);
  OM_delete_object(a);
  OM_delete_object(b);
  return result;
}

template <class T, class V>
std::string print(V value) {
  T* object = T::create(value);
  char* text = object->print();
  std::string result = text;
  SM_free(text);
  OM_delete_object(object);
  return result;
}

}  // namespace

TEST_F(VeruValue, CreateAskAndSetNativeValues) {
  VERU_init_schema();
  VERU_int_value* number = VERU_int_value::create(5);
  EXPECT_EQ(number->ask_value(), 5);
  number->set_value(INT_MIN);
  // Host code reads the same attribute by id.
  EXPECT_EQ(OM_ask_int(number, ATT_value__VERU1281), INT_MIN);

  VERU_real_value* real = VERU_real_value::create(2.5);
  EXPECT_EQ(real->ask_value(), 2.5);
  real->set_value(-1e-300);
  EXPECT_EQ(OM_ask_real(real, ATT_value__VERU1281), -1e-300);

  VERU_logical_value* logical = VERU_logical_value::create(true);
  EXPECT_TRUE(logical->ask_value());
  logical->set_value(false);
  EXPECT_FALSE(OM_ask_logical(logical, ATT_value__VERU1281));

  // Strings are copied in, also from the value's own storage.
  char buffer[] = "first";
  VERU_string_value* text = VERU_string_value::create(buffer);
  buffer[0] = 'X';
  EXPECT_STREQ(text->ask_value(), "first");
  text->set_value("second, longer than the first");
  text->set_value(text->ask_value() + 8);
  EXPECT_STREQ(OM_ask_string(text, ATT_value__VERU1281), "longer than the first");

  for (OM_object* object : {static_cast<OM_object*>(number), static_cast<OM_object*>(real),
                            static_cast<OM_object*>(logical), static_cast<OM_object*>(text)})
    OM_delete_object(object);
}

TEST_F(VeruValue, CompareFollowsTheRulesOfEachClass) {
  VERU_init_schema();
  // Integers and reals: 1 when the other is the greater.
  EXPECT_EQ((compare<VERU_int_value>(3, 5)), 1);
  EXPECT_EQ((compare<VERU_int_value>(5, 3)), -1);
  EXPECT_EQ((compare<VERU_int_value>(-4, -4)), 0);
  EXPECT_EQ((compare<VERU_int_value>(INT_MIN, INT_MAX)), 1);

  EXPECT_EQ((compare<VERU_real_value>(1.0, 1.0 + 5e-11)), 0);
  EXPECT_EQ((compare<VERU_real_value>(1.0, 1.0 + 2e-10)), 1);
  EXPECT_EQ((compare<VERU_real_value>(1.0 + 2e-10, 1.0)), -1);
  EXPECT_EQ((compare<VERU_real_value>(0.0, 1e-10)), 0);  // exactly the tolerance apart
  EXPECT_EQ((compare<VERU_real_value>(0.0, 1.5e-10)), 1);
  // The tolerance is absolute: large numbers a million apart differ.
  EXPECT_EQ((compare<VERU_real_value>(1e20, 1e20 + 1e6)), 1);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ((compare<VERU_real_value>(nan, 1.0)), -1);
  EXPECT_EQ((compare<VERU_real_value>(1.0, nan)), -1);
  EXPECT_EQ((compare<VERU_real_value>(nan, nan)), -1);

  // Logicals are equal or not; unequal is -1 both ways.
  EXPECT_EQ((compare<VERU_logical_value>(true, true)), 0);
  EXPECT_EQ((compare<VERU_logical_value>(false, false)), 0);
  EXPECT_EQ((compare<VERU_logical_value>(true, false)), -1);
  EXPECT_EQ((compare<VERU_logical_value>(false, true)), -1);

  // Strings: 1 when self sorts after other, bytes taken as unsigned, case significant.
  using S = VERU_string_value;
  EXPECT_EQ((compare<S, const char*>("abc", "abd")), -1);
  EXPECT_EQ((compare<S, const char*>("abc", "abc")), 0);
  EXPECT_EQ((compare<S, const char*>("B", "a")), -1);
  EXPECT_EQ((compare<S, const char*>("ab", "abc")), -1);
  EXPECT_EQ((compare<S, const char*>("b", "abcdef")), 1);
  EXPECT_EQ((compare<S, const char*>("", "")), 0);
  EXPECT_EQ((compare<S, const char*>("\x80", "~")), 1);
  EXPECT_EQ((compare<S, const char*>("z", "\xC3\xA9")), -1);
}

TEST_F(VeruValue, PrintGivesTheTextOfValueFiles) {
  VERU_init_schema();
  EXPECT_EQ(print<VERU_int_value>(0), "0");
  EXPECT_EQ(print<VERU_int_value>(INT_MIN), "-2147483648");

  EXPECT_EQ(print<VERU_real_value>(3.0), "3.0");
  EXPECT_EQ(print<VERU_real_value>(2.5), "2.5");
  EXPECT_EQ(print<VERU_real_value>(-0.5), "-0.5");
  EXPECT_EQ(print<VERU_real_value>(1e6), "1000000.0");
  EXPECT_EQ(print<VERU_real_value>(1.0 / 3.0), "0.333333333333333");
  EXPECT_EQ(print<VERU_real_value>(1e20), "1e+20");
  EXPECT_EQ(print<VERU_real_value>(12345678901234567890.0), "1.23456789012346e+19");
  EXPECT_EQ(print<VERU_real_value>(1e-5), "1e-05");
  EXPECT_EQ(print<VERU_real_value>(123456789012345.0), "123456789012345.0");

  EXPECT_EQ(print<VERU_logical_value>(true), "true");
  EXPECT_EQ(print<VERU_logical_value>(false), "false");
  EXPECT_EQ(print<VERU_string_value>("50% of ${HOME}"), "50% of ${HOME}");
}

TEST_F(VeruValue, AbstractAndMismatchedOperationsAreInternalErrors) {
  VERU_init_schema();
  VERU_int_value* number = VERU_int_value::create(1);
  VERU_real_value* real = VERU_real_value::create(1.0);
  std::string what;
  EXPECT_EQ(raised_code([&] { number->VERU_value::compare(real); }, &what), ERROR_INTERNAL_CODE);
  char expected[100];
  std::snprintf(expected, sizeof expected,
                "Attempt to invoke abstract method compare on VERU_int_value &%p",
                static_cast<void*>(number));
  EXPECT_EQ(what, expected);
  EXPECT_EQ(raised_code([&] { real->VERU_value::print(); }, &what), ERROR_INTERNAL_CODE);
  EXPECT_EQ(what.rfind("Attempt to invoke abstract method print on VERU_real_value &", 0), 0u)
      << what;

  // Values of different classes cannot be compared, with or without checking.
  EXPECT_EQ(raised_code([&] { number->compare(real); }), ERROR_INTERNAL_CODE);
  EXPECT_EQ(raised_code([&] { real->compare(number); }), ERROR_INTERNAL_CODE);
  EXPECT_EQ(raised_code([&] { number->compare(nullptr); }), ERROR_INTERNAL_CODE);
  MACH__checking_level = 1;
  VERU_string_value* text = VERU_string_value::create("1");
  EXPECT_EQ(raised_code([&] { text->compare(number); }), ERROR_INTERNAL_CODE);
  EXPECT_EQ(text->compare(text), 0);
  MACH__checking_level = 0;
  OM_delete_object(number);
  OM_delete_object(real);
  OM_delete_object(text);
}

TEST_F(VeruValue, RecordedValueHoldsAndOwnsLevelState) {
  VERU_init_schema();
  auto* recorded = static_cast<VERU_recorded_value*>(OM_create_object(VERU_recorded_value_c));
  EXPECT_EQ(recorded->ask_value(), nullptr);
  EXPECT_FALSE(recorded->ask_locked());
  EXPECT_TRUE(TEXT_is_null_text(recorded->ask_comment()));
  EXPECT_EQ(recorded->ask_modification_date(), 0);

  recorded->set_locked(true);
  EXPECT_TRUE(OM_ask_logical(recorded, ATT_locked__VERU1354));
  recorded->set_modification_date(1700000000);
  EXPECT_EQ(OM_ask_int(recorded, ATT_modification_date__VERU7773), 1700000000);
  TEXT_s* comment = TEXT_create_string("set for the w\xC3\xB6rkshop");
  recorded->set_comment(comment);
  TEXT_free(comment);
  EXPECT_STREQ(TEXT_ask_utf8(recorded->ask_comment()), "set for the w\xC3\xB6rkshop");

  // set_value takes the object over; the one held before is deleted, not leaked.
  recorded->set_value(VERU_int_value::create(1));
  VERU_int_value* second = VERU_int_value::create(2);
  recorded->set_value(second);
  EXPECT_EQ(OM_ask_pointer(recorded, ATT_value__VERU1281), second);
  recorded->set_value(second);  // the held object stays alive
  EXPECT_EQ(second->ask_value(), 2);

  // A copy is deep: it has a value object of its own.
  auto* copy = static_cast<VERU_recorded_value*>(OM_copy_object(recorded));
  ASSERT_NE(copy->ask_value(), nullptr);
  EXPECT_NE(copy->ask_value(), second);
  EXPECT_EQ(copy->ask_value()->compare(second), 0);
  EXPECT_TRUE(copy->ask_locked());

  // Deleting a recorded value deletes its value object, and only its own.
  OM_delete_object(recorded);
  EXPECT_EQ(static_cast<VERU_int_value*>(copy->ask_value())->ask_value(), 2);
  OM_delete_object(copy);
  OM_delete_object(OM_create_object(VERU_recorded_value_c));
}
