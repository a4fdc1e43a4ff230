// The host clock: times and dates, XML Schema dateTime texts, dates beyond the time range,
// timers.
#include <climits>
#include <string>

#include "test_support.h"

namespace {

CLOCK_date_s make_date(int year, int month, int day, int hour, int minute, int second) {
  return CLOCK_date_s{year, month, day, hour, minute, second};
}

bool same(const CLOCK_date_s& a, const CLOCK_date_s& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
         a.minute == b.minute && a.second == b.second;
}

std::string formatted(const CLOCK_date_s& date) {
  char* text = CLOCK_format_date_time(&date, CLOCK_FORMAT_XML_SCHEMA, CLOCK_FORMAT_XML_SCHEMA);
  std::string result = text ? text : "(null)";
  SM_free(text);
  return result;
}

// The parsed date in XML Schema form, or "rejected" (the date must then be unchanged).
std::string parsed(const char* text) {
  const CLOCK_date_s sentinel = make_date(1999, 9, 9, 9, 9, 9);
  CLOCK_date_s date = sentinel;
  if (CLOCK_xml_dateTime_to_date(text, &date) != 0)
    return same(date, sentinel) ? "rejected" : "rejected but changed";
  return formatted(date);
}

}  // namespace

TEST(Clock, TimesAndDatesRoundTrip) {
  struct Case {
    int time;
    const char* text;
  };
  for (const Case& c :
       {Case{0, "1970-01-01T00:00:00Z"}, Case{-1, "1969-12-31T23:59:59Z"},
        Case{86399, "1970-01-01T23:59:59Z"}, Case{951782400, "2000-02-29T00:00:00Z"},
        Case{INT_MAX, "2038-01-19T03:14:07Z"}, Case{INT_MIN, "1901-12-13T20:45:52Z"}}) {
    CLOCK_date_s date{};
    CLOCK_time_to_date(c.time, &date);
    EXPECT_EQ(formatted(date), c.text);
    int back = 12345;
    EXPECT_EQ(CLOCK_date_to_time(&date, &back), 0) << c.text;
    EXPECT_EQ(back, c.time);
    // And through the text form, to the second.
    CLOCK_date_s reread{};
    ASSERT_EQ(CLOCK_xml_dateTime_to_date(c.text, &reread), 0) << c.text;
    EXPECT_TRUE(same(reread, date)) << c.text;
  }
  EXPECT_GE(CLOCK_gmt(), 1700000000);
  EXPECT_TRUE(CLOCK_is_null_date(&CLOCK_null_date));
  CLOCK_date_s epoch{};
  CLOCK_time_to_date(0, &epoch);
  EXPECT_FALSE(CLOCK_is_null_date(&epoch));
  EXPECT_EQ(formatted(CLOCK_null_date), "(null)");
  EXPECT_EQ(ERROR_INTERNAL_CODE, raised_code([&] { CLOCK_format_date_time(&epoch, 1, 12); }));
}

TEST(Clock, DatesOutsideTheTimeRange) {
  int time = 777;
  for (const CLOCK_date_s& date :
       {make_date(1, 1, 1, 0, 0, 0), make_date(9999, 12, 31, 23, 59, 59),
        make_date(1901, 12, 13, 20, 45, 51), make_date(2038, 1, 19, 3, 14, 8),
        make_date(INT_MAX, 12, 31, 23, 59, 59), make_date(INT_MIN, 1, 1, 0, 0, 0),
        make_date(2023, 2, 29, 0, 0, 0), make_date(2024, 4, 31, 0, 0, 0),
        make_date(2024, 1, 1, 24, 0, 0), make_date(2024, 0, 1, 0, 0, 0), CLOCK_null_date}) {
    EXPECT_NE(CLOCK_date_to_time(&date, &time), 0) << date.year << "-" << date.month;
    EXPECT_EQ(time, 777);
  }
  EXPECT_NE(CLOCK_date_to_time(nullptr, &time), 0);
  const CLOCK_date_s leap = make_date(2024, 2, 29, 0, 0, 0);
  EXPECT_EQ(CLOCK_date_to_time(&leap, &time), 0);
  // Far dates still format.
  EXPECT_EQ(formatted(make_date(9999, 12, 31, 23, 59, 59)), "9999-12-31T23:59:59Z");
  EXPECT_EQ(formatted(make_date(1, 1, 1, 0, 0, 0)), "0001-01-01T00:00:00Z");
}

TEST(Clock, XmlDateTimeTexts) {
  EXPECT_EQ(parsed("2024-02-29T12:30:45Z"), "2024-02-29T12:30:45Z");
  EXPECT_EQ(parsed("2024-03-01T01:30:00+02:00"), "2024-02-29T23:30:00Z");
  EXPECT_EQ(parsed("2023-12-31T20:00:00-05:30"), "2024-01-01T01:30:00Z");
  EXPECT_EQ(parsed("2024-12-31T23:59:59.999Z"), "2024-12-31T23:59:59Z");
  EXPECT_EQ(parsed("2024-06-01T10:00:00.5+01:00"), "2024-06-01T09:00:00Z");
  EXPECT_EQ(parsed("2024-06-01T10:00:00"), "2024-06-01T10:00:00Z");
  EXPECT_EQ(parsed("2024-12-31T24:00:00Z"), "2025-01-01T00:00:00Z");
  EXPECT_EQ(parsed("-0044-03-15T12:00:00Z"), "-0044-03-15T12:00:00Z");
  EXPECT_EQ(parsed("2000-02-29T00:00:00Z"), "2000-02-29T00:00:00Z");

  const char* const bad_texts[] = {"2024-06-01",
                                   "2024-06-01T10:00",
                                   "2024-06-01T10:00Z",
                                   "2024-13-01T00:00:00Z",
                                   "2024-00-10T00:00:00Z",
                                   "2023-02-29T00:00:00Z",
                                   "2023-02-30T00:00:00Z",
                                   "1900-02-29T00:00:00Z",
                                   "2024-04-31T00:00:00Z",
                                   "2024-06-01T10:00:00Zjunk",
                                   "2024-06-01T10:00:00 x",
                                   "2024-06-01T25:00:00Z",
                                   "2024-06-01T24:00:01Z",
                                   "2024-06-01T10:60:00Z",
                                   "2024-06-01T10:00:60Z",
                                   "2024-6-01T10:00:00Z",
                                   "24-06-01T10:00:00Z",
                                   "2024-06-01 10:00:00Z",
                                   "2024-06-01T10:00:00.Z",
                                   "2024-06-01T10:00:00+2:00",
                                   "2024-06-01T10:00:00+15:00",
                                   "2024-06-01T10:00:00+01:60",
                                   "99999999999-01-01T00:00:00Z",
                                   "9999999999999999999999-01-01T00:00:00Z",
                                   ""};
  for (const char* bad : bad_texts) {
    EXPECT_EQ(parsed(bad), "rejected") << '"' << bad << '"';
  }
  EXPECT_EQ(parsed(nullptr), "rejected");
  EXPECT_NE(CLOCK_xml_dateTime_to_date("2024-06-01T10:00:00Z", nullptr), 0);

  // The form value files write reads as the same instant written with a zone offset, valid or not,
  // and so do texts that begin in that form and end otherwise.
  for (const char* date : {"0000-01-01T00:00:00", "0001-12-31T23:59:59", "1900-02-28T12:00:00",
                           "1900-02-29T12:00:00", "1969-12-31T23:59:59", "2000-02-29T00:00:00",
                           "2024-02-30T00:00:00", "2024-11-31T00:00:00", "2024-12-31T24:00:00",
                           "2024-06-01T23:60:00", "2024-06-01T23:00:60", "9999-12-31T23:59:59"}) {
    const std::string plain = std::string(date) + "Z";
    EXPECT_EQ(parsed(plain.c_str()), parsed((std::string(date) + "+00:00").c_str())) << date;
    EXPECT_EQ(parsed((plain + " ").c_str()), parsed(plain.c_str())) << date;
    EXPECT_EQ(parsed((plain + "Z").c_str()), "rejected") << date;
    EXPECT_EQ(parsed(plain.substr(0, 19).c_str()), parsed(plain.c_str())) << date;
  }

  // A year that parses but has no time: the date is read, its time is refused.
  CLOCK_date_s far{};
  ASSERT_EQ(CLOCK_xml_dateTime_to_date("999999999-12-31T23:59:59-14:00", &far), 0);
  EXPECT_EQ(far.year, 1000000000);
  int time = 0;
  EXPECT_NE(CLOCK_date_to_time(&far, &time), 0);
}

TEST(Clock, Timers) {
  EXPECT_EQ(ERROR_INTERNAL_CODE, raised_code([] { CLOCK_create_timer(7); }));
  CLOCK_timer_s* timer = CLOCK_create_timer(CLOCK_TIMER_CPU_AND_REAL);
  volatile double sink = 0;
  for (int i = 0; i < 200000; ++i) sink = sink + i;
  double cpu = -1, real = -1;
  CLOCK_read_timer(timer, 0, &cpu, &real);  // still running
  EXPECT_GE(cpu, 0.0);
  EXPECT_GE(real, 0.0);
  CLOCK_stop_timer(timer);
  double cpu_stopped = -1, real_stopped = -1;
  CLOCK_read_timer(timer, 0, &cpu_stopped, &real_stopped);
  EXPECT_GE(cpu_stopped, cpu);
  EXPECT_GE(real_stopped, real);
  double cpu_again = -1, real_again = -1;
  CLOCK_read_timer(timer, CLOCK_READ_AND_FREE, &cpu_again, &real_again);
  EXPECT_EQ(cpu_again, cpu_stopped);  // a stopped timer stands still
  EXPECT_EQ(real_again, real_stopped);
  // A running timer may be read and freed too.
  CLOCK_read_timer(CLOCK_create_timer(CLOCK_TIMER_CPU_AND_REAL), CLOCK_READ_AND_FREE, nullptr,
                   nullptr);
}
