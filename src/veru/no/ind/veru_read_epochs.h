// Epochs: memory that a query on any thread may be reading is freed only once that query is done.
// A reader announces the epoch it starts in; the host's thread retires what it replaced with the
// epoch of the replacement and frees it once every reader still reading started later. Neither
// side waits for the other: what cannot be freed yet waits in a list for a later retirement.
#pragma once

#include "veru_host_thread.h"

// A reader's section: what the reader loads from memory that the host's thread retires stays
// allocated until the section ends. Loads of the pointers to such memory are sequentially
// consistent (std::memory_order_seq_cst), as is the replacement on the host's thread.
class veru_read_section {
 public:
  veru_read_section();
  ~veru_read_section();
  veru_read_section(const veru_read_section&) = delete;
  veru_read_section& operator=(const veru_read_section&) = delete;
};

// Frees block (std::free) once no reader may still hold it; block is no longer reachable for
// readers that start now.
void veru_retire(void* block) ABSL_EXCLUSIVE_LOCKS_REQUIRED(veru_host_thread);

// How many retired blocks wait to be freed.
int veru_retired_count() ABSL_EXCLUSIVE_LOCKS_REQUIRED(veru_host_thread);
