// Memory and strings of the host: allocation, string copies and formatting. Every string these
// functions return is owned by the caller and released with SM_free, except persistent copies,
// which live until the process ends.
#pragma once

#include <cstdarg>
#include <cstddef>

#include "api.h"

VAVADOZ_EXPORTS_BEGIN

void* SM_alloc(std::size_t size);
void* SM_realloc(void* memory, std::size_t size);
void SM_free(void* memory);
// Copies of a string; null gives null.
char* SM_string_copy(const char* text);
// At most length bytes of text, always terminated.
char* SM_string_ncopy(const char* text, std::size_t length);
// A copy that is never released; nobody frees it.
const char* SM_string_copy_persistent(const char* text);
// Appends tail to text (which may be null) and returns the grown string; text is consumed.
char* SM_string_append(char* text, const char* tail);
// Small blocks from pools of blocks of one size: no header per block, and blocks of a size stay
// together. Every block is handed out with all its bytes zero, whether it is new, used before or
// too large for a pool, so a caller need not clear it. SM_pool_free must be given the size that
// SM_pool_alloc was given. Under AddressSanitizer a block is addressable only while it is handed
// out, and only for the size asked for. A leak checker sees the pools' chunks, not the blocks in
// them: the count of blocks handed out and not given back is how tests see that a block was left
// behind.
void* SM_pool_alloc(std::size_t size);
void SM_pool_free(void* block, std::size_t size);
std::size_t SM_pool_live_blocks();

char* SM_sprintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
char* SM_vsprintf(const char* format, va_list args);

VAVADOZ_EXPORTS_END
