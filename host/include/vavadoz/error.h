// Error service: the host exception, raising, internal faults and assertions, the log and its
// sink, and the registry of message decoders.
#pragma once

#include <exception>
#include <string>
#include <vector>

#include "api.h"

VAVADOZ_EXPORTS_BEGIN

// Codes of the host's own faults; they lie outside every library's block.
constexpr int ERROR_INTERNAL_CODE = 100001;
constexpr int ERROR_ASSERTION_CODE = 100002;

namespace TQS {
namespace Error {

// What every raise throws: a code, the raised text and the source locations it passed.
class Exception : public std::exception {
 public:
  Exception(int code, std::string text, const char* file, int line);

  int askCode() const { return code_; }
  const char* what() const noexcept override { return text_.c_str(); }
  // Records a place the exception passed on its way up (file, line, and a host flag word).
  void noteLocation(const char* file, int line, int flags);
  // Source locations, the raise first.
  struct Location {
    std::string file;
    int line;
    int flags;
  };
  const std::vector<Location>& askLocations() const { return locations_; }
  [[noreturn]] void reThrow() const;

 private:
  int code_;
  std::string text_;
  std::vector<Location> locations_;
};

}  // namespace Error
}  // namespace TQS

// Throws TQS::Error::Exception with the code and the formatted text.
[[noreturn]] void ERROR_raise(const char* file, int line, int code, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
// Throws TQS::Error::Exception with the code and the text as given.
[[noreturn]] void ERROR_exception(const char* file, int line, int code, const char* text);
// A fault inside a program: throws with ERROR_INTERNAL_CODE.
[[noreturn]] void ERROR_internal(const char* file, int line, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
// A failed assertion: throws with ERROR_ASSERTION_CODE.
[[noreturn]] void ERROR_assertion_failed(const char* file, int line, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Writes the formatted text, exactly as formatted, to the log sink.
void ERROR_lprintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
using ERROR_log_sink_fn = void (*)(const char* text, void* data);
// Sends the log to sink; a null sink restores the default, standard error.
void ERROR_set_log_sink(ERROR_log_sink_fn sink, void* data);

// A decoder turns a code of its block into a message, or null.
using ERROR_decoder_fn = const char* (*)(int code, const void* data);
// One row of a message table; a table ends with a row whose code is 0.
struct ERROR_table_row_s {
  int code;
  const char* message;
};
// Registers the decoder for codes first .. first + count - 1. Registering the same block again
// replaces the earlier registration.
void ERROR_register_decoder_fn(int first, int count, ERROR_decoder_fn decoder, const void* data);
// Decoder over a table of ERROR_table_row_s (data).
const char* ERROR_decode_in_table(int code, const void* data);
// The registered message of the code, or null.
const char* ERROR_decode(int code);

VAVADOZ_EXPORTS_END
