// The small-block pools: size classes, reuse of freed blocks, blocks too large for a pool, the
// count of blocks handed out, and, under AddressSanitizer, freed blocks and the slack behind a
// block being unaddressable.
#include <cstdint>
#include <cstring>
#include <vector>

#include "test_support.h"

#if defined(__SANITIZE_ADDRESS__)
#define SM_TEST_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SM_TEST_ADDRESS_SANITIZER 1
#endif
#endif

namespace {

char* allocate(std::size_t size) {
  return static_cast<char*>(SM_pool_alloc(size));
}

}  // namespace

TEST(SmPool, BlocksAreAlignedCountedAndClearedForEverySize) {
  const std::size_t live = SM_pool_live_blocks();
  for (std::size_t size : {0, 1, 8, 9, 16, 17, 40, 512, 513, 4096}) {
    SCOPED_TRACE(size);
    // A block used, freed and asked for again holds nothing of its last use.
    std::vector<char*> used;
    for (int i = 0; i < 4; ++i) {
      used.push_back(allocate(size));
      std::memset(used.back(), 0x5a, size);
    }
    for (char* block : used) SM_pool_free(block, size);
    for (char*& block : used) {
      block = allocate(size);
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % 8, 0u);
      EXPECT_EQ(std::vector<char>(block, block + size), std::vector<char>(size, 0));
    }
    EXPECT_EQ(SM_pool_live_blocks(), live + used.size());
    for (char* block : used) SM_pool_free(block, size);
  }
  SM_pool_free(nullptr, 16);
  EXPECT_EQ(SM_pool_live_blocks(), live);
}

TEST(SmPool, BlocksNeverOverlapAcrossChunks) {
  const std::size_t live = SM_pool_live_blocks();
  // More blocks of one size than a chunk holds, and blocks of the largest pooled size.
  std::vector<char*> blocks;
  for (int i = 0; i < 3000; ++i) blocks.push_back(allocate(24));
  for (int i = 0; i < 300; ++i) blocks.push_back(allocate(512));
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    std::memset(blocks[i], static_cast<int>(i % 251), i < 3000 ? 24 : 512);
  }
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    const std::size_t size = i < 3000 ? 24 : 512;
    ASSERT_EQ(std::vector<char>(blocks[i], blocks[i] + size),
              std::vector<char>(size, static_cast<char>(i % 251)))
        << "block " << i;
  }
  EXPECT_EQ(SM_pool_live_blocks(), live + blocks.size());
  for (std::size_t i = 0; i < blocks.size(); ++i) SM_pool_free(blocks[i], i < 3000 ? 24 : 512);
  EXPECT_EQ(SM_pool_live_blocks(), live);
}

TEST(SmPool, LargerBlocksComeFromMallocAndAreCounted) {
  const std::size_t live = SM_pool_live_blocks();
  char* large = allocate(513);
  char* larger = allocate(1 << 20);
  std::memset(large, 1, 513);
  std::memset(larger, 2, 1 << 20);
  EXPECT_EQ(SM_pool_live_blocks(), live + 2);
  SM_pool_free(large, 513);
  SM_pool_free(larger, 1 << 20);
  EXPECT_EQ(SM_pool_live_blocks(), live);
}

#ifdef SM_TEST_ADDRESS_SANITIZER
TEST(SmPoolDeathTest, FreedBlocksAndSlackAreUnaddressable) {
  EXPECT_DEATH(
      {
        char* block = allocate(32);
        SM_pool_free(block, 32);
        block[0] = 1;
      },
      "use-after-poison");
  EXPECT_DEATH(
      {
        char* block = allocate(20);  // a block of 24 bytes
        block[20] = 1;
      },
      "use-after-poison");
  EXPECT_DEATH(
      {
        char* block = allocate(64);
        SM_pool_free(block, 64);
        SM_pool_free(block, 64);
      },
      "freed twice");
}
#endif
