// Module start in a process of its own: placeholder replaced by the full scenarios.
#include "test_support.h"

TEST(ModuleStart, Starts) {
  VERU_init_module();
  EXPECT_NE(VERU__ask_module_root(), nullptr);
}
