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

TEST(SmPool, SizesShareABlockWithinTheirStepOfEightBytes) {
  const std::size_t live = SM_pool_live_blocks();
  char* nine = allocate(9);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(nine) % 8, 0u);
  SM_pool_free(nine, 9);
  char* sixteen = allocate(16);
  EXPECT_EQ(sixteen, nine);  // 9 to 16 bytes are one size
  char* eight = allocate(8);
  char* seventeen = allocate(17);
  EXPECT_NE(eight, nine);
  EXPECT_NE(seventeen, nine);
  EXPECT_EQ(SM_pool_live_blocks(), live + 3);
  SM_pool_free(eight, 8);
  SM_pool_free(seventeen, 17);

  // Nothing asked for is a block of eight bytes.
  char* empty = allocate(0);
  SM_pool_free(empty, 0);
  EXPECT_EQ(allocate(1), empty);
  SM_pool_free(empty, 1);
  SM_pool_free(sixteen, 16);
  SM_pool_free(nullptr, 16);
  EXPECT_EQ(SM_pool_live_blocks(), live);
}

TEST(SmPool, FreedBlocksComeBackLastFirstAndCleared) {
  char* first = allocate(40);
  char* second = allocate(40);
  std::memset(first, 0x5a, 40);
  std::memset(second, 0x5a, 40);
  SM_pool_free(first, 40);
  SM_pool_free(second, 40);
  EXPECT_EQ(allocate(40), second);
  EXPECT_EQ(allocate(40), first);
  // A reused block holds nothing of its last use, not even the free list's link.
  EXPECT_EQ(std::vector<char>(first, first + 40), std::vector<char>(40, 0));
  EXPECT_EQ(std::vector<char>(second, second + 40), std::vector<char>(40, 0));
  SM_pool_free(first, 40);
  SM_pool_free(second, 40);
}

TEST(SmPool, BlocksNeverOverlapAcrossChunks) {
  const std::size_t live = SM_pool_live_blocks();
  // More than one 64 KiB chunk of 24-byte blocks, and blocks of the largest pooled size.
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
