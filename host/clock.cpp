// The host clock, dates and XML Schema dateTime texts, and timers.
#include <vavadoz/clock.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ctime>

#include <vavadoz/error.h>
#include <vavadoz/sm.h>

const CLOCK_date_s CLOCK_null_date = {0, 0, 0, 0, 0, 0};

namespace {

const char* const SOURCE = "host/clock.cpp";

bool is_leap(std::int64_t year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int days_in_month(std::int64_t year, int month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && is_leap(year) ? 29 : days[month - 1];
}

// Days from 1970-01-01 to the civil date (proleptic Gregorian).
std::int64_t days_from_civil(std::int64_t year, int month, int day) {
  year -= month <= 2;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const std::int64_t year_of_era = year - era * 400;
  const std::int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t day_of_era =
      year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

void civil_from_days(std::int64_t days, std::int64_t* year, int* month, int* day) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t day_of_era = days - era * 146097;
  const std::int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const std::int64_t day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const std::int64_t month_index = (5 * day_of_year + 2) / 153;
  *day = static_cast<int>(day_of_year - (153 * month_index + 2) / 5 + 1);
  *month = static_cast<int>(month_index < 10 ? month_index + 3 : month_index - 9);
  *year = year_of_era + era * 400 + (*month <= 2);
}

bool is_valid(const CLOCK_date_s& date) {
  return date.month >= 1 && date.month <= 12 && date.day >= 1 &&
         date.day <= days_in_month(date.year, date.month) && date.hour >= 0 && date.hour <= 23 &&
         date.minute >= 0 && date.minute <= 59 && date.second >= 0 && date.second <= 59;
}

std::int64_t seconds_since_epoch(const CLOCK_date_s& date) {
  return days_from_civil(date.year, date.month, date.day) * 86400 + date.hour * 3600 +
         date.minute * 60 + date.second;
}

// Reads exactly count digits (or at least count when open_ended) into value.
bool read_digits(const char*& p, int count, bool open_ended, std::int64_t* value) {
  std::int64_t result = 0;
  int read = 0;
  while (*p >= '0' && *p <= '9' && (open_ended || read < count)) {
    if (read >= 12) return false;  // far beyond any year a date can hold
    result = result * 10 + (*p - '0');
    ++p;
    ++read;
  }
  if (read < count || (!open_ended && read != count)) return false;
  *value = result;
  return true;
}

bool expect(const char*& p, char c) {
  if (*p != c) return false;
  ++p;
  return true;
}

// The form that value files write, "YYYY-MM-DDThh:mm:ssZ" and nothing else, read without the
// conversions that other forms need; false, leaving date alone, for any other text and for a
// date that is not valid, which the general reading then decides on.
bool read_plain_utc(const char* text, CLOCK_date_s* date) {
  // Its length is known first, so that every place of the form may be looked at.
  if (strnlen(text, 21) != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
      text[13] != ':' || text[16] != ':' || text[19] != 'Z') {
    return false;
  }
  bool digits = true;
  auto number = [text, &digits](int at, int count) {
    int value = 0;
    for (int i = at; i < at + count; ++i) {
      const unsigned digit = static_cast<unsigned char>(text[i]) - unsigned{'0'};
      digits = digits && digit <= 9;
      value = value * 10 + static_cast<int>(digit);
    }
    return value;
  };
  const CLOCK_date_s read = {number(0, 4),  number(5, 2),  number(8, 2),
                             number(11, 2), number(14, 2), number(17, 2)};
  if (!digits || !is_valid(read)) return false;
  *date = read;
  return true;
}

double seconds_of(const timespec& t) {
  return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

}  // namespace

int CLOCK_gmt() {
  std::time_t now = std::time(nullptr);
  if (now > INT_MAX) return INT_MAX;
  if (now < 0) return 0;
  return static_cast<int>(now);
}

void CLOCK_time_to_date(int time, CLOCK_date_s* date) {
  if (!date) return;
  std::int64_t seconds = time;
  std::int64_t days = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
  std::int64_t rest = seconds - days * 86400;
  std::int64_t year = 0;
  civil_from_days(days, &year, &date->month, &date->day);
  date->year = static_cast<int>(year);
  date->hour = static_cast<int>(rest / 3600);
  date->minute = static_cast<int>(rest % 3600 / 60);
  date->second = static_cast<int>(rest % 60);
}

int CLOCK_date_to_time(const CLOCK_date_s* date, int* time) {
  if (!date || !is_valid(*date)) return 1;
  std::int64_t seconds = seconds_since_epoch(*date);
  if (seconds < INT_MIN || seconds > INT_MAX) return 2;
  if (time) *time = static_cast<int>(seconds);
  return 0;
}

bool CLOCK_is_null_date(const CLOCK_date_s* date) {
  return !date || (date->year == 0 && date->month == 0 && date->day == 0 && date->hour == 0 &&
                   date->minute == 0 && date->second == 0);
}

char* CLOCK_format_date_time(const CLOCK_date_s* date, int date_format, int time_format) {
  if (date_format != CLOCK_FORMAT_XML_SCHEMA || time_format != CLOCK_FORMAT_XML_SCHEMA) {
    ERROR_internal(SOURCE, __LINE__, "date format %d and time format %d are not known", date_format,
                   time_format);
  }
  if (!date || !is_valid(*date)) return nullptr;
  // Written digit by digit: value files hold one date per entry.
  char text[32];
  char* end = text;
  long long year = date->year;
  if (year < 0) {
    *end++ = '-';
    year = -year;
  }
  char digits[20];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + year % 10);
    year /= 10;
  } while (year > 0);
  for (int pad = count; pad < 4; ++pad) *end++ = '0';
  while (count > 0) *end++ = digits[--count];
  auto two = [&end](char separator, int value) {
    *end++ = separator;
    *end++ = static_cast<char>('0' + value / 10);
    *end++ = static_cast<char>('0' + value % 10);
  };
  two('-', date->month);
  two('-', date->day);
  two('T', date->hour);
  two(':', date->minute);
  two(':', date->second);
  *end++ = 'Z';
  return SM_string_ncopy(text, static_cast<std::size_t>(end - text));
}

int CLOCK_xml_dateTime_to_date(const char* text, CLOCK_date_s* date) {
  if (!text || !date) return 1;
  if (read_plain_utc(text, date)) return 0;
  const char* p = text;
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r') ++p;
  bool negative = *p == '-';
  if (negative) ++p;
  std::int64_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (!read_digits(p, 4, true, &year) || !expect(p, '-') || !read_digits(p, 2, false, &month) ||
      !expect(p, '-') || !read_digits(p, 2, false, &day) || !expect(p, 'T') ||
      !read_digits(p, 2, false, &hour) || !expect(p, ':') || !read_digits(p, 2, false, &minute) ||
      !expect(p, ':') || !read_digits(p, 2, false, &second)) {
    return 1;
  }
  if (*p == '.') {
    ++p;
    if (!(*p >= '0' && *p <= '9')) return 1;
    while (*p >= '0' && *p <= '9') ++p;
  }
  std::int64_t offset_minutes = 0;
  if (*p == 'Z') {
    ++p;
  } else if (*p == '+' || *p == '-') {
    const int sign = *p == '-' ? -1 : 1;
    ++p;
    std::int64_t zone_hour = 0, zone_minute = 0;
    if (!read_digits(p, 2, false, &zone_hour) || !expect(p, ':') ||
        !read_digits(p, 2, false, &zone_minute) || zone_minute > 59 ||
        zone_hour * 60 + zone_minute > 14 * 60) {
      return 1;
    }
    offset_minutes = sign * (zone_hour * 60 + zone_minute);
  }
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r') ++p;
  if (*p != '\0') return 1;
  if (negative) year = -year;
  if (year < INT_MIN / 2 || year > INT_MAX / 2) return 1;  // beyond any date worth keeping
  // 24:00:00 is the end of the day, the same instant as 00:00:00 of the next day.
  const bool end_of_day = hour == 24 && minute == 0 && second == 0;
  if (month < 1 || month > 12 || day < 1 || day > days_in_month(year, static_cast<int>(month)) ||
      (hour > 23 && !end_of_day) || minute > 59 || second > 59) {
    return 1;
  }
  std::int64_t seconds =
      days_from_civil(year, static_cast<int>(month), static_cast<int>(day)) * 86400 + hour * 3600 +
      minute * 60 + second - offset_minutes * 60;
  std::int64_t days = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
  std::int64_t rest = seconds - days * 86400;
  std::int64_t utc_year = 0;
  CLOCK_date_s result{};
  civil_from_days(days, &utc_year, &result.month, &result.day);
  if (utc_year < INT_MIN || utc_year > INT_MAX) return 1;
  result.year = static_cast<int>(utc_year);
  result.hour = static_cast<int>(rest / 3600);
  result.minute = static_cast<int>(rest % 3600 / 60);
  result.second = static_cast<int>(rest % 60);
  *date = result;
  return 0;
}

struct CLOCK_timer_s {
  timespec cpu_start;
  timespec real_start;
  timespec cpu_stop;
  timespec real_stop;
  bool stopped;
};

CLOCK_timer_s* CLOCK_create_timer(int kind) {
  if (kind != CLOCK_TIMER_CPU_AND_REAL) {
    ERROR_internal(SOURCE, __LINE__, "timers of kind %d do not exist", kind);
  }
  auto* timer = static_cast<CLOCK_timer_s*>(SM_alloc(sizeof(CLOCK_timer_s)));
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &timer->cpu_start);
  clock_gettime(CLOCK_MONOTONIC, &timer->real_start);
  timer->stopped = false;
  return timer;
}

void CLOCK_stop_timer(CLOCK_timer_s* timer) {
  if (!timer) return;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &timer->cpu_stop);
  clock_gettime(CLOCK_MONOTONIC, &timer->real_stop);
  timer->stopped = true;
}

void CLOCK_read_timer(CLOCK_timer_s* timer, int option, double* cpu_seconds, double* real_seconds) {
  if (!timer) return;
  timespec cpu_end = timer->cpu_stop;
  timespec real_end = timer->real_stop;
  if (!timer->stopped) {
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu_end);
    clock_gettime(CLOCK_MONOTONIC, &real_end);
  }
  if (cpu_seconds) *cpu_seconds = seconds_of(cpu_end) - seconds_of(timer->cpu_start);
  if (real_seconds) *real_seconds = seconds_of(real_end) - seconds_of(timer->real_start);
  if (option == CLOCK_READ_AND_FREE) SM_free(timer);
}
