// Object manager: placeholder replaced by the full tests.
#include "test_support.h"

TEST(ObjectManager, BasicSchemaExists) {
  EXPECT_NE(OM_lookup_class("OM_tagged_object"), 0);
}
