// Memory and strings of the host.
#include "sm.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

void* SM_alloc(std::size_t size) {
  void* memory = std::malloc(size ? size : 1);
  if (!memory)
    throw std::bad_alloc();
  return memory;
}

void* SM_realloc(void* memory, std::size_t size) {
  void* grown = std::realloc(memory, size ? size : 1);
  if (!grown)
    throw std::bad_alloc();
  return grown;
}

void SM_free(void* memory) {
  std::free(memory);
}

char* SM_string_copy(const char* text) {
  if (!text)
    return nullptr;
  return SM_string_ncopy(text, std::strlen(text));
}

char* SM_string_ncopy(const char* text, std::size_t length) {
  if (!text)
    return nullptr;
  length = strnlen(text, length);
  char* copy = static_cast<char*>(SM_alloc(length + 1));
  std::memcpy(copy, text, length);
  copy[length] = '\0';
  return copy;
}

const char* SM_string_copy_persistent(const char* text) {
  if (!text)
    return nullptr;
  // Kept reachable for the life of the process.
  static std::vector<char*>* persistent = new std::vector<char*>();
  persistent->push_back(SM_string_copy(text));
  return persistent->back();
}

char* SM_string_append(char* text, const char* tail) {
  if (!tail)
    return text;
  std::size_t head_length = text ? std::strlen(text) : 0;
  std::size_t tail_length = std::strlen(tail);
  char* grown = static_cast<char*>(SM_realloc(text, head_length + tail_length + 1));
  std::memcpy(grown + head_length, tail, tail_length + 1);
  return grown;
}

char* SM_vsprintf(const char* format, va_list args) {
  va_list measure;
  va_copy(measure, args);
  int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (length < 0)
    return SM_string_copy("");
  char* text = static_cast<char*>(SM_alloc(static_cast<std::size_t>(length) + 1));
  std::vsnprintf(text, static_cast<std::size_t>(length) + 1, format, args);
  return text;
}

char* SM_sprintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  char* text = SM_vsprintf(format, args);
  va_end(args);
  return text;
}
