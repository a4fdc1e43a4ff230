// Constraints: which values enumerations, colour enumerations and ranges allow, the numbered
// errors of the values they reject, how a range describes itself, and members and bounds.
#include "test_support.h"

#include <climits>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int ALLOWED = -1;

// The code that validate raises for the value, or ALLOWED; the value is deleted.
int validate_code(const VERU_data* data, VERU_value* value, std::string* what = nullptr) {
  const int code = raised_code([&] { EXPECT_TRUE(data->validate(value)); }, what);
  OM_delete_object(value);
  return code;
}

int check_int(const VERU_data* data, int value, std::string* what = nullptr) {
  return validate_code(data, VERU_int_value::create(value), what);
}

int check_real(const VERU_data* data, double value) {
  return validate_code(data, VERU_real_value::create(value));
}

VERU_enum_elem* int_elem(int value, const char* name) {
  return VERU_enum_elem::create(VERU_int_value::create(value), name);
}

// A range written as in mathematics: "[0,10)" has an inclusive lower bound 0 and an exclusive
// upper bound 10; a missing number is a missing bound ("(0," or ",5]"). Bounds are reals when
// real is set.
VERU_data_range* range_of(const std::string& text, bool real = false) {
  VERU_data_range* range = VERU_data_range::create(0);
  const std::size_t comma = text.find(',');
  const std::string lower = text.substr(1, comma - 1);
  const std::string upper = text.substr(comma + 1, text.size() - comma - 2);
  auto value = [real](const std::string& number) -> VERU_value* {
    if (real) return VERU_real_value::create(std::strtod(number.c_str(), nullptr));
    return VERU_int_value::create(std::atoi(number.c_str()));
  };
  if (!lower.empty()) range->set_lower(VERU_range_elem::create(text.front() == '[', value(lower)));
  if (!upper.empty()) range->set_upper(VERU_range_elem::create(text.back() == ']', value(upper)));
  return range;
}

std::string printed(const VERU_data* data) {
  char* text = data->print();
  std::string result = text ? text : "(null)";
  SM_free(text);
  return result;
}

}  // namespace

TEST(VeruData, EnumerationAllowsOnlyItsMembers) {
  VERU_init_schema();
  VERU_data_enum* empty = VERU_data_enum::create(0);
  std::string what;
  EXPECT_EQ(check_int(empty, 1, &what), VERU_ERROR_NOT_IN_ENUM);
  EXPECT_EQ(what, "Invalid value");
  EXPECT_EQ(printed(empty), "(null)");
  OM_delete_object(empty);

  VERU_data_enum* numbers = VERU_data_enum::create(0);
  numbers->add_elem(int_elem(1, "one"));
  numbers->add_elem(int_elem(2, "two"));
  numbers->add_elem(int_elem(4, "four"));
  EXPECT_EQ(check_int(numbers, 4), ALLOWED);
  EXPECT_EQ(check_int(numbers, 1), ALLOWED);
  EXPECT_EQ(check_int(numbers, 3), VERU_ERROR_NOT_IN_ENUM);
  EXPECT_EQ(printed(numbers), "(null)");
  OM_delete_object(numbers);

  VERU_data_enum* reals = VERU_data_enum::create(0);
  reals->add_elem(VERU_enum_elem::create(VERU_real_value::create(0.1), "small"));
  reals->add_elem(VERU_enum_elem::create(VERU_real_value::create(0.2), "large"));
  EXPECT_EQ(check_real(reals, 0.1 + 1e-12), ALLOWED);
  EXPECT_EQ(check_real(reals, 0.2 - 1e-12), ALLOWED);
  EXPECT_EQ(check_real(reals, 0.1 + 1e-9), VERU_ERROR_NOT_IN_ENUM);
  OM_delete_object(reals);
}

TEST(VeruData, EnumerationMembersKeepTheirOrderAndData) {
  VERU_init_schema();
  VERU_data_enum* units = VERU_data_enum::create(0);
  char name[] = "Millimetres";
  VERU_int_value* first_value = VERU_int_value::create(10);
  VERU_enum_elem* first = VERU_enum_elem::create(first_value, name);
  name[0] = 'X';
  units->add_elem(first);
  units->add_elem(int_elem(20, "Inches"));
  EXPECT_EQ(units->ask_n_elems(), 2);
  EXPECT_EQ(units->ask_nth_elem(0), first);
  EXPECT_EQ(first->ask_value(), first_value);
  EXPECT_STREQ(TEXT_ask_utf8(first->ask_name()), "Millimetres");
  EXPECT_STREQ(TEXT_ask_utf8(units->ask_nth_elem(1)->ask_name()), "Inches");
  EXPECT_EQ(first->ask_bitmap(), nullptr);
  first->set_bitmap("units_mm.bmp");
  EXPECT_STREQ(first->ask_bitmap(), "units_mm.bmp");
  // Deleting the enumeration deletes its members and their values.
  OM_delete_object(units);
}

TEST(VeruData, ColourAllowsThePaletteAndItsMembers) {
  VERU_init_schema();
  VERU_data_color* colours = VERU_data_color::create(0);
  EXPECT_EQ(check_int(colours, 1), ALLOWED);
  EXPECT_EQ(check_int(colours, 216), ALLOWED);
  std::string what;
  EXPECT_EQ(check_int(colours, 0, &what), VERU_ERROR_NOT_COLOR);
  EXPECT_EQ(what, "Invalid value");
  EXPECT_EQ(check_int(colours, 217), VERU_ERROR_NOT_COLOR);
  EXPECT_EQ(check_int(colours, -1), VERU_ERROR_NOT_COLOR);
  EXPECT_EQ(printed(colours), "(null)");

  colours->add_elem(int_elem(0, "Background"));
  colours->add_elem(int_elem(300, "Highlight"));
  EXPECT_EQ(colours->ask_n_elems(), 2);
  EXPECT_EQ(check_int(colours, 0), ALLOWED);
  EXPECT_EQ(check_int(colours, 300), ALLOWED);
  EXPECT_EQ(check_int(colours, 217), VERU_ERROR_NOT_COLOR);
  EXPECT_EQ(printed(colours), "(null)");

  // Only integers are colours: anything else is an invalid colour, not a fault of the library.
  EXPECT_EQ(check_real(colours, 5.0), VERU_ERROR_NOT_COLOR);
  OM_delete_object(colours);
}

TEST(VeruData, RangeRejectsWithTheCodeOfItsBounds) {
  VERU_init_schema();
  // Each range with values and the code each raises (ALLOWED when it passes).
  const std::pair<const char*, std::vector<std::pair<int, int>>> cases[] = {
      {"(,)", {{5, ALLOWED}, {INT_MIN, ALLOWED}}},
      {"(,10)", {{9, ALLOWED}, {10, VERU_ERROR_RANGE_NOT_BELOW}, {11, VERU_ERROR_RANGE_NOT_BELOW}}},
      {"(,5]", {{5, ALLOWED}, {-100, ALLOWED}, {6, VERU_ERROR_RANGE_NOT_AT_MOST}}},
      {"(0,)", {{0, VERU_ERROR_RANGE_NOT_ABOVE}, {1, ALLOWED}, {-1, VERU_ERROR_RANGE_NOT_ABOVE}}},
      {"[0,)", {{0, ALLOWED}, {INT_MAX, ALLOWED}, {-1, VERU_ERROR_RANGE_NOT_AT_LEAST}}},
      {"(0,10)",
       {{5, ALLOWED},
        {0, VERU_ERROR_RANGE_NOT_IN_OPEN},
        {10, VERU_ERROR_RANGE_NOT_IN_OPEN},
        {-1, VERU_ERROR_RANGE_NOT_IN_OPEN}}},
      {"[0,10)",
       {{0, ALLOWED},
        {9, ALLOWED},
        {10, VERU_ERROR_RANGE_NOT_IN_CLOSED_OPEN},
        {-1, VERU_ERROR_RANGE_NOT_IN_CLOSED_OPEN}}},
      {"(0,10]",
       {{10, ALLOWED},
        {0, VERU_ERROR_RANGE_NOT_IN_OPEN_CLOSED},
        {11, VERU_ERROR_RANGE_NOT_IN_OPEN_CLOSED}}},
      {"[0,10]",
       {{0, ALLOWED},
        {10, ALLOWED},
        {-1, VERU_ERROR_RANGE_NOT_IN_CLOSED},
        {11, VERU_ERROR_RANGE_NOT_IN_CLOSED}}},
      // A lower bound above the upper one passes only a value equal to an inclusive bound.
      {"[10,0]", {{10, ALLOWED}, {0, ALLOWED}, {5, VERU_ERROR_RANGE_NOT_IN_CLOSED}}},
      {"[10,0)", {{10, ALLOWED}, {0, VERU_ERROR_RANGE_NOT_IN_CLOSED_OPEN}}},
      {"(10,0]", {{0, ALLOWED}, {10, VERU_ERROR_RANGE_NOT_IN_OPEN_CLOSED}}},
      {"(10,0)", {{5, VERU_ERROR_RANGE_NOT_IN_OPEN}, {10, VERU_ERROR_RANGE_NOT_IN_OPEN}}},
  };
  for (const auto& c : cases) {
    VERU_data_range* range = range_of(c.first);
    for (const auto& check : c.second) {
      std::string what;
      const int code = check_int(range, check.first, &what);
      EXPECT_EQ(code, check.second) << c.first << " " << check.first;
      if (check.second != ALLOWED) {
        EXPECT_EQ(what, "Invalid range") << c.first << " " << check.first;
      }
    }
    OM_delete_object(range);
  }
}

TEST(VeruData, RealRangeComparesWithinTolerance) {
  VERU_init_schema();
  VERU_data_range* range = range_of("(,1.0)", true);
  EXPECT_EQ(check_real(range, 1.0 - 1e-11), VERU_ERROR_RANGE_NOT_BELOW);
  EXPECT_EQ(check_real(range, 1.0), VERU_ERROR_RANGE_NOT_BELOW);
  EXPECT_EQ(check_real(range, 1.0 - 1e-7), ALLOWED);
  OM_delete_object(range);

  range = range_of("[0.5,1.5]", true);
  EXPECT_EQ(check_real(range, 0.5 - 1e-11), ALLOWED);
  EXPECT_EQ(check_real(range, 1.5 + 1e-11), ALLOWED);
  EXPECT_EQ(check_real(range, 0.5 - 1e-9), VERU_ERROR_RANGE_NOT_IN_CLOSED);
  OM_delete_object(range);

  range = range_of("(0.5,)", true);
  EXPECT_EQ(check_real(range, 0.5 + 1e-11), VERU_ERROR_RANGE_NOT_ABOVE);
  EXPECT_EQ(check_real(range, 0.5 + 1e-9), ALLOWED);
  OM_delete_object(range);
}

TEST(VeruData, RangePrintsItsBoundsAndOwnsThem) {
  VERU_init_schema();
  const struct {
    const char* range;
    bool real;
    const char* text;
  } cases[] = {
      {"[0,10)", false, "[>=0 <10] "}, {"(,)", false, "[ ]"},
      {"(,5]", false, "[ <=5] "},      {"(-3,)", false, "[>-3 ]"},
      {"(0.5,)", true, "[>0.5 ]"},     {"[0,2]", true, "[>=0.0 <=2.0] "},
  };
  for (const auto& c : cases) {
    VERU_data_range* range = range_of(c.range, c.real);
    char* text = range->print();
    EXPECT_STREQ(text, c.text) << c.range;
    SM_free(text);
    OM_delete_object(range);
  }

  VERU_data_range* range = VERU_data_range::create(0);
  EXPECT_EQ(range->ask_lower(), nullptr);
  EXPECT_EQ(range->ask_upper(), nullptr);
  VERU_int_value* value = VERU_int_value::create(3);
  VERU_range_elem* lower = VERU_range_elem::create(true, value);
  EXPECT_TRUE(lower->ask_inclusive());
  EXPECT_EQ(lower->ask_value(), value);
  EXPECT_TRUE(TEXT_is_null_text(lower->ask_name()));
  TEXT_s* label = TEXT_create_string("Minimum");
  lower->set_name(label);
  TEXT_free(label);
  EXPECT_STREQ(TEXT_ask_utf8(lower->ask_name()), "Minimum");
  range->set_lower(lower);
  EXPECT_EQ(range->ask_lower(), lower);
  VERU_range_elem* upper = VERU_range_elem::create(false, VERU_int_value::create(8));
  EXPECT_FALSE(upper->ask_inclusive());
  range->set_upper(upper);
  EXPECT_EQ(range->ask_upper(), upper);
  EXPECT_EQ(check_int(range, 8), VERU_ERROR_RANGE_NOT_IN_CLOSED_OPEN);
  // A bound that is replaced is deleted with its value.
  range->set_upper(VERU_range_elem::create(true, VERU_int_value::create(8)));
  EXPECT_EQ(check_int(range, 8), ALLOWED);
  OM_delete_object(range);
}

TEST(VeruData, AbstractConstraintOperationsAreInternalErrors) {
  VERU_init_schema();
  VERU_data_range* range = VERU_data_range::create(0);
  VERU_int_value* value = VERU_int_value::create(1);
  std::string what;
  EXPECT_EQ(raised_code([&] { range->VERU_data::validate(value); }, &what), ERROR_INTERNAL_CODE);
  EXPECT_EQ(what.rfind("Attempt to invoke abstract method validate on VERU_data_range &", 0), 0u)
      << what;
  EXPECT_EQ(raised_code([&] { range->VERU_data::print(); }, &what), ERROR_INTERNAL_CODE);
  EXPECT_EQ(what.rfind("Attempt to invoke abstract method print on VERU_data_range &", 0), 0u)
      << what;
  OM_delete_object(value);
  OM_delete_object(range);
}
