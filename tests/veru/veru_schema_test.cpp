// Schema: placeholder replaced by the full tests.
#include "test_support.h"

TEST(VeruSchema, Exists) {
  EXPECT_NE(VERU_init_schema(), nullptr);
}
