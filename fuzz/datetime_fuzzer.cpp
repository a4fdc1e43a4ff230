// Fuzz target: XML Schema dateTime texts; whatever is accepted formats back to a text that
// reads as the same date.
#include <veru.h>

#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  CLOCK_date_s date = CLOCK_null_date;
  if (CLOCK_xml_dateTime_to_date(text.c_str(), &date) != 0) return 0;
  int time = 0;
  if (CLOCK_date_to_time(&date, &time) != 0) return 0;
  CLOCK_date_s again = CLOCK_null_date;
  CLOCK_time_to_date(time, &again);
  char* formatted = CLOCK_format_date_time(&again, 12, 12);
  CLOCK_date_s reread = CLOCK_null_date;
  if (!formatted || CLOCK_xml_dateTime_to_date(formatted, &reread) != 0 ||
      std::memcmp(&reread, &again, sizeof again) != 0) {
    std::abort();
  }
  SM_free(formatted);
  return 0;
}
