// Pool operations that only the host's own services use. Not installed.
#pragma once

#include <cstddef>

// True when a pool block asked for with old_size can hold new_size bytes where it is (both
// sizes fall in the same block size); the block is then a block of new_size, for SM_pool_free
// and under AddressSanitizer. False, and nothing changed, otherwise.
bool SM_pool_resize_in_place(void* block, std::size_t old_size, std::size_t new_size);
