// Memory and strings of the host.
#include <vavadoz/sm.h>

#include "sm_internal.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define SM_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SM_ADDRESS_SANITIZER 1
#endif
#endif

#ifdef SM_ADDRESS_SANITIZER
#include <sanitizer/asan_interface.h>
#endif

namespace {

// Under AddressSanitizer the pools mark what is not handed out as unaddressable, so that a read
// or write of a freed block, or past the size a block was asked for, is reported like one of
// malloc's blocks; elsewhere these do nothing.
#ifdef SM_ADDRESS_SANITIZER
void poison(void* memory, std::size_t size) {
  ASAN_POISON_MEMORY_REGION(memory, size);
}
void unpoison(void* memory, std::size_t size) {
  ASAN_UNPOISON_MEMORY_REGION(memory, size);
}
bool is_poisoned(void* memory) {
  return __asan_address_is_poisoned(memory) != 0;
}
#else
void poison(void*, std::size_t) {}
void unpoison(void*, std::size_t) {}
bool is_poisoned(void*) {
  return false;
}
#endif

// Small blocks are cut one after another from chunks of 16 KiB, so that what is made together
// stays together, without a header per block; a freed block goes on the free list of its size
// (in steps of 8 bytes) and is used again first. Larger blocks come from calloc. Every block is
// handed out zero: chunks come zeroed, and a freed block is cleared (but for the link of its free
// list, which is cleared when the block is used again). Like the rest of the host's services, the
// pools serve one thread.
class small_block_pools {
 public:
  void* allocate(std::size_t size) {
    if (size > LARGEST) return allocate_large(size);
    const std::size_t index = index_of(size);
    const std::size_t rounded = index * STEP;
    void* block = free_lists_[index];
    if (block) {
      auto* reused = static_cast<free_block*>(block);
      unpoison(reused, sizeof(free_block));
      free_lists_[index] = reused->next;
      reused->next = nullptr;
      poison(reused, rounded);
    } else {
      if (static_cast<std::size_t>(chunk_end_ - chunk_next_) < rounded) new_chunk();
      block = chunk_next_;
      chunk_next_ += rounded;
    }
    unpoison(block, size ? size : 1);
    ++live_;
    return block;
  }

  void deallocate(void* block, std::size_t size) {
    --live_;
    if (size > LARGEST) {
      SM_free(block);
      return;
    }
    if (is_poisoned(block)) {
      std::fprintf(stderr, "SM_pool_free: block %p is not in use (freed twice?)\n", block);
      std::abort();
    }
    const std::size_t index = index_of(size);
    const std::size_t rounded = index * STEP;
    // Cleared, so that stale pointers in a freed block keep nothing alive for a leak checker.
    unpoison(block, rounded);
    std::memset(block, 0, rounded);
    auto* freed = static_cast<free_block*>(block);
    freed->next = free_lists_[index];
    free_lists_[index] = freed;
    poison(block, rounded);
  }

  bool resize_in_place(void* block, std::size_t old_size, std::size_t new_size) {
    if (old_size > LARGEST || new_size > LARGEST || index_of(old_size) != index_of(new_size)) {
      return false;
    }
    const std::size_t rounded = index_of(new_size) * STEP;
    poison(block, rounded);
    unpoison(block, new_size ? new_size : 1);
    return true;
  }

  std::size_t live() const { return live_; }

 private:
  static constexpr std::size_t STEP = 8;
  static constexpr std::size_t LARGEST = 512;
  static constexpr std::size_t CHUNK = 16 * 1024;
  struct free_block {
    free_block* next;
  };

  static std::size_t index_of(std::size_t size) { return size ? (size + STEP - 1) / STEP : 1; }

  // Out of the way of the common case, which is then small enough to inline.
  [[gnu::noinline]] void* allocate_large(std::size_t size) {
    void* block = std::calloc(1, size);
    if (!block) throw std::bad_alloc();
    ++live_;
    return block;
  }

  // Chunks come from malloc, zeroed, so that a leak checker sees them and finds no stale
  // pointers in what is not cut yet.
  [[gnu::noinline]] void new_chunk() {
    chunks_.push_back(static_cast<char*>(std::calloc(1, CHUNK)));
    if (!chunks_.back()) {
      chunks_.pop_back();
      throw std::bad_alloc();
    }
    // The end of the chunk in use, too small for the block asked for, serves later blocks of
    // its size.
    const auto left = static_cast<std::size_t>(chunk_end_ - chunk_next_);
    if (left >= STEP) {
      unpoison(chunk_next_, sizeof(free_block));
      auto* rest = reinterpret_cast<free_block*>(chunk_next_);
      rest->next = free_lists_[left / STEP];
      free_lists_[left / STEP] = rest;
      poison(chunk_next_, left);
    }
    chunk_next_ = chunks_.back();
    chunk_end_ = chunk_next_ + CHUNK;
    poison(chunk_next_, CHUNK);
  }

  free_block* free_lists_[LARGEST / STEP + 1] = {};
  char* chunk_next_ = nullptr;
  char* chunk_end_ = nullptr;
  std::vector<char*> chunks_;  // kept for the life of the process, with the blocks in them
  std::size_t live_ = 0;
};

// Lives as long as the process: the objects in it are freed only when they are deleted. Made
// on first use, by the one thread the pools serve; a plain pointer, so the test is cheap.
small_block_pools* the_pools = nullptr;

small_block_pools& pools() {
  if (!the_pools) the_pools = new small_block_pools();
  return *the_pools;
}

}  // namespace

void* SM_alloc(std::size_t size) {
  void* memory = std::malloc(size ? size : 1);
  if (!memory) throw std::bad_alloc();
  return memory;
}

void* SM_realloc(void* memory, std::size_t size) {
  void* grown = std::realloc(memory, size ? size : 1);
  if (!grown) throw std::bad_alloc();
  return grown;
}

void SM_free(void* memory) {
  std::free(memory);
}

void* SM_pool_alloc(std::size_t size) {
  return pools().allocate(size);
}

void SM_pool_free(void* block, std::size_t size) {
  if (block) pools().deallocate(block, size);
}

bool SM_pool_resize_in_place(void* block, std::size_t old_size, std::size_t new_size) {
  return block && pools().resize_in_place(block, old_size, new_size);
}

std::size_t SM_pool_live_blocks() {
  return pools().live();
}

char* SM_string_copy(const char* text) {
  if (!text) return nullptr;
  const std::size_t size = std::strlen(text) + 1;
  return static_cast<char*>(std::memcpy(SM_alloc(size), text, size));
}

char* SM_string_ncopy(const char* text, std::size_t length) {
  if (!text) return nullptr;
  length = strnlen(text, length);
  char* copy = static_cast<char*>(SM_alloc(length + 1));
  std::memcpy(copy, text, length);
  copy[length] = '\0';
  return copy;
}

const char* SM_string_copy_persistent(const char* text) {
  if (!text) return nullptr;
  // Kept reachable for the life of the process.
  static std::vector<char*>* persistent = new std::vector<char*>();
  persistent->push_back(SM_string_copy(text));
  return persistent->back();
}

char* SM_string_append(char* text, const char* tail) {
  if (!tail) return text;
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
  if (length < 0) return SM_string_copy("");
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
