// Error service: raising, internal faults and assertions, the log sink and message decoders.
#include <vavadoz/error.h>

#include <cstdarg>
#include <cstdio>
#include <utility>

#include <vavadoz/sm.h>

namespace TQS {
namespace Error {

Exception::Exception(int code, std::string text, const char* file, int line)
    : code_(code), text_(std::move(text)) {
  noteLocation(file, line, 0);
}

void Exception::noteLocation(const char* file, int line, int flags) {
  locations_.push_back(Location{file ? file : "", line, flags});
}

void Exception::reThrow() const {
  throw *this;
}

}  // namespace Error
}  // namespace TQS

namespace {

std::string format_text(const char* format, va_list args) {
  char* text = SM_vsprintf(format, args);
  std::string result(text);
  SM_free(text);
  return result;
}

void write_to_stderr(const char* text, void*) {
  std::fputs(text, stderr);
  std::fflush(stderr);
}

ERROR_log_sink_fn log_sink = write_to_stderr;
void* log_sink_data = nullptr;

struct Decoder {
  int first;
  int count;
  ERROR_decoder_fn decode;
  const void* data;
};

std::vector<Decoder>& decoders() {
  static std::vector<Decoder> registered;
  return registered;
}

}  // namespace

void ERROR_raise(const char* file, int line, int code, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = format_text(format, args);
  va_end(args);
  throw TQS::Error::Exception(code, std::move(text), file, line);
}

void ERROR_exception(const char* file, int line, int code, const char* text) {
  throw TQS::Error::Exception(code, text ? text : "", file, line);
}

void ERROR_internal(const char* file, int line, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = format_text(format, args);
  va_end(args);
  throw TQS::Error::Exception(ERROR_INTERNAL_CODE, std::move(text), file, line);
}

void ERROR_assertion_failed(const char* file, int line, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = format_text(format, args);
  va_end(args);
  throw TQS::Error::Exception(ERROR_ASSERTION_CODE, std::move(text), file, line);
}

void ERROR_lprintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  char* text = SM_vsprintf(format, args);
  va_end(args);
  log_sink(text, log_sink_data);
  SM_free(text);
}

void ERROR_set_log_sink(ERROR_log_sink_fn sink, void* data) {
  log_sink = sink ? sink : write_to_stderr;
  log_sink_data = sink ? data : nullptr;
}

void ERROR_register_decoder_fn(int first, int count, ERROR_decoder_fn decoder, const void* data) {
  for (Decoder& registered : decoders()) {
    if (registered.first == first && registered.count == count) {
      registered.decode = decoder;
      registered.data = data;
      return;
    }
  }
  decoders().push_back(Decoder{first, count, decoder, data});
}

const char* ERROR_decode_in_table(int code, const void* data) {
  for (auto row = static_cast<const ERROR_table_row_s*>(data); row && row->code != 0; ++row) {
    if (row->code == code) return row->message;
  }
  return nullptr;
}

const char* ERROR_decode(int code) {
  for (const Decoder& registered : decoders()) {
    if (code >= registered.first &&
        static_cast<long long>(code) - registered.first < registered.count) {
      return registered.decode(code, registered.data);
    }
  }
  return nullptr;
}
