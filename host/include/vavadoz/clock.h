// The host clock: times are seconds since 1970-01-01T00:00:00Z in an int; dates are calendar
// fields in UTC. Also processor and elapsed-time timers.
#pragma once
#include "api.h"

VAVADOZ_EXPORTS_BEGIN

struct CLOCK_date_s {
  int year;
  int month;   // 1 .. 12; 0 in the null date
  int day;     // 1 .. 31; 0 in the null date
  int hour;    // 0 .. 23
  int minute;  // 0 .. 59
  int second;  // 0 .. 59
};

// The date that stands for no date: every field 0.
extern const CLOCK_date_s CLOCK_null_date;

// Formats of CLOCK_format_date_time.
constexpr int CLOCK_FORMAT_XML_SCHEMA = 12;

// The current time; times after the int range are clamped to its end.
int CLOCK_gmt();
void CLOCK_time_to_date(int time, CLOCK_date_s* date);
// 0 and the time when the date is valid and its time fits in an int; non-zero otherwise.
int CLOCK_date_to_time(const CLOCK_date_s* date, int* time);
bool CLOCK_is_null_date(const CLOCK_date_s* date);
// A new string (SM_free). Format 12 for both date and time gives an XML Schema dateTime in UTC,
// "2026-12-07T08:30:00Z". Null for a date that is not valid.
char* CLOCK_format_date_time(const CLOCK_date_s* date, int date_format, int time_format);
// Reads an XML Schema dateTime (fractions of a second dropped, a zone offset applied, no zone
// taken as UTC). 0 on success; non-zero leaves the date unchanged.
int CLOCK_xml_dateTime_to_date(const char* text, CLOCK_date_s* date);

// Timers of kind 1 measure processor time and elapsed time.
struct CLOCK_timer_s;
constexpr int CLOCK_TIMER_CPU_AND_REAL = 1;
// Reading option 2 reads a stopped timer and frees it.
constexpr int CLOCK_READ_AND_FREE = 2;
CLOCK_timer_s* CLOCK_create_timer(int kind);
void CLOCK_stop_timer(CLOCK_timer_s* timer);
// Seconds of processor and elapsed time from creation to stop (or to now when running).
void CLOCK_read_timer(CLOCK_timer_s* timer, int option, double* cpu_seconds, double* real_seconds);

VAVADOZ_EXPORTS_END
