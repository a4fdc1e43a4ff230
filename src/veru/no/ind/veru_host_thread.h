// The host's thread as a capability of Clang's thread-safety analysis. Every call of the library
// but the typed queries runs on the host's thread; what only those calls touch is guarded by it,
// and what changes shared state requires it. Nothing is checked at run time.
#pragma once

#include <absl/base/thread_annotations.h>

class ABSL_LOCKABLE veru_thread_role {};

inline veru_thread_role veru_host_thread;

// Tells the analysis that the caller runs on the host's thread: called where a call of the host
// that is not a query begins to touch the library's state.
inline void veru_on_host_thread() ABSL_ASSERT_EXCLUSIVE_LOCK(veru_host_thread) {}
