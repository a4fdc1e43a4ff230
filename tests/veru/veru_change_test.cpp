// Change records: what a new record holds, its flags, and what it owns. Ownership is proven by
// the leak check of the sanitizer build.
#include "test_support.h"

TEST(VeruChange, RecordHoldsNameAndIndependentFlags) {
  VERU_init_schema();
  char name[] = "Modeling_default_units";
  VERU_change* change = VERU_change::create(name);
  name[0] = 'X';
  EXPECT_STREQ(change->ask_option_name(), "Modeling_default_units");
  EXPECT_STREQ(OM_ask_string(change, ATT_option_name__VERU6477), "Modeling_default_units");
  EXPECT_EQ(change->ask_value(), nullptr);
  EXPECT_FALSE(change->ask_update_lock());
  EXPECT_FALSE(change->ask_update_comment());
  EXPECT_FALSE(change->ask_update_value());

  change->set_update_lock(true);
  EXPECT_TRUE(change->ask_update_lock());
  EXPECT_FALSE(change->ask_update_comment());
  EXPECT_FALSE(change->ask_update_value());
  change->set_update_comment(true);
  change->set_update_lock(false);
  EXPECT_FALSE(change->ask_update_lock());
  EXPECT_TRUE(change->ask_update_comment());
  change->set_update_value(true);
  // Host code reads the same flags by attribute id.
  EXPECT_FALSE(OM_ask_logical(change, ATT_update_lock__VERU5333));
  EXPECT_TRUE(OM_ask_logical(change, ATT_update_comment__VERU5433));
  EXPECT_TRUE(OM_ask_logical(change, ATT_update_value__VERU1403));
  OM_delete_object(change);
}

TEST(VeruChange, RecordOwnsItsRecordedValue) {
  VERU_init_schema();
  VERU_change* change = VERU_change::create("Sketcher_grid_spacing");
  auto* recorded = static_cast<VERU_recorded_value*>(OM_create_object(VERU_recorded_value_c));
  recorded->set_value(VERU_real_value::create(2.5));
  recorded->set_locked(true);
  TEXT_s* comment = TEXT_create_string("coarser grid");
  recorded->set_comment(comment);
  TEXT_free(comment);
  change->set_value(recorded);
  EXPECT_EQ(change->ask_value(), recorded);
  EXPECT_EQ(OM_ask_pointer(change, ATT_value__VERU1281), recorded);

  // Setting another recorded value leaves the earlier one to the caller.
  auto* replacement = static_cast<VERU_recorded_value*>(OM_create_object(VERU_recorded_value_c));
  replacement->set_value(VERU_int_value::create(4));
  change->set_value(replacement);
  EXPECT_EQ(change->ask_value(), replacement);
  ASSERT_NE(recorded->ask_value(), nullptr);
  EXPECT_EQ(static_cast<VERU_real_value*>(recorded->ask_value())->ask_value(), 2.5);
  EXPECT_STREQ(TEXT_ask_utf8(recorded->ask_comment()), "coarser grid");
  OM_delete_object(recorded);

  // Deleting the record deletes its recorded value and that value's object.
  OM_delete_object(change);

  // So does a record whose recorded value holds no value, and one without a recorded value.
  change = VERU_change::create("Sketcher_snap");
  change->set_value(static_cast<VERU_recorded_value*>(OM_create_object(VERU_recorded_value_c)));
  OM_delete_object(change);
  OM_delete_object(VERU_change::create("Sketcher_snap"));
}
