// Memory and strings of the host.
#include <vavadoz/sm.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define SM_POOLS_USE_MALLOC 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SM_POOLS_USE_MALLOC 1
#endif
#endif

namespace {

#ifndef SM_POOLS_USE_MALLOC
// Small blocks are cut one after another from chunks of 64 KiB, so that what is made together
// stays together, without a header per block; a freed block goes on the free list of its size
// (in steps of 8 bytes) and is used again first. Larger blocks come from malloc. Like the rest
// of the host's services, the pools serve one thread.
class small_block_pools {
 public:
  void* allocate(std::size_t size) {
    if (size > LARGEST) return SM_alloc(size);
    const std::size_t index = index_of(size);
    if (free_block* block = free_lists_[index]) {
      free_lists_[index] = block->next;
      return block;
    }
    const std::size_t rounded = index * STEP;
    if (static_cast<std::size_t>(chunk_end_ - chunk_next_) < rounded) new_chunk();
    void* block = chunk_next_;
    chunk_next_ += rounded;
    return block;
  }

  void deallocate(void* block, std::size_t size) {
    if (size > LARGEST) {
      SM_free(block);
      return;
    }
    const std::size_t index = index_of(size);
    auto* freed = static_cast<free_block*>(block);
    freed->next = free_lists_[index];
    free_lists_[index] = freed;
  }

 private:
  static constexpr std::size_t STEP = 8;
  static constexpr std::size_t LARGEST = 512;
  static constexpr std::size_t CHUNK = 64 * 1024;
  struct free_block {
    free_block* next;
  };

  static std::size_t index_of(std::size_t size) { return size ? (size + STEP - 1) / STEP : 1; }

  void new_chunk() {
    chunks_.push_back(static_cast<char*>(SM_alloc(CHUNK)));
    chunk_next_ = chunks_.back();
    chunk_end_ = chunk_next_ + CHUNK;
  }

  free_block* free_lists_[LARGEST / STEP + 1] = {};
  char* chunk_next_ = nullptr;
  char* chunk_end_ = nullptr;
  std::vector<char*> chunks_;  // kept for the life of the process, with the blocks in them
};

// Lives as long as the process: the objects in it are freed only when they are deleted.
small_block_pools& pools() {
  static auto* pools = new small_block_pools();
  return *pools;
}
#endif

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
#ifdef SM_POOLS_USE_MALLOC
  return SM_alloc(size);
#else
  return pools().allocate(size);
#endif
}

void SM_pool_free(void* block, std::size_t size) {
  if (!block) return;
#ifdef SM_POOLS_USE_MALLOC
  (void)size;
  SM_free(block);
#else
  pools().deallocate(block, size);
#endif
}

char* SM_string_copy(const char* text) {
  if (!text) return nullptr;
  return SM_string_ncopy(text, std::strlen(text));
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
