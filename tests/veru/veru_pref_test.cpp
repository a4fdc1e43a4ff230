// VERU_pref: the recorded value of each level, the lock rules with locked-by-default levels,
// comments and dates, change records, display values, names and titles, visibility and the
// loaded value.
#include "veru_pref_test_helpers.h"

#include <utility>

namespace {

class VeruPref : public ModuleTest {};

// An integer preference as the definition loader leaves it: a level-0 default and a loaded
// value, each its own object.
OmPtr<VERU_pref_int> make_int_pref(const char* name, const char* text) {
  OmPtr<VERU_pref_int> pref(VERU_pref_int::create(name));
  pref->set_value(pref->create_veru_value(text), 0);
  pref->set_loaded_value(pref->create_veru_value(text));
  return pref;
}

int int_at(VERU_pref* pref, int level) {
  return static_cast<const VERU_int_value*>(pref->ask_value(level))->ask_value();
}

std::string utf8(const TEXT_s* text) {
  return TEXT_ask_utf8(text);
}

// A change record for the preference "Change" whose recorded value holds value (when not null),
// the lock flag and the comment (when not null).
OmPtr<VERU_change> make_change(VERU_value* value, bool locked, const char* comment) {
  OmPtr<VERU_change> change(VERU_change::create("Change"));
  auto* wanted = static_cast<VERU_recorded_value*>(OM_create_object(VERU_recorded_value_c));
  if (value) wanted->set_value(value);
  wanted->set_locked(locked);
  TEXT_s* text = TEXT_create_string(comment);
  wanted->set_comment(text);
  TEXT_free(text);
  change->set_value(wanted);
  return change;
}

void set_comment(VERU_pref* pref, const char* comment, int level) {
  TEXT_s* text = TEXT_create_string(comment);
  pref->set_comment(text, level);
  TEXT_free(text);
}

}  // namespace

TEST_F(VeruPref, ValuesWalkDownTheLevelsAndAreStamped) {
  auto pref = make_int_pref("Walk", "5");
  VERU_value* level0 = pref->ask_value(0);
  EXPECT_EQ(pref->ask_value(3), level0);
  EXPECT_TRUE(pref->has_value(0));
  EXPECT_FALSE(pref->has_value(3));
  EXPECT_EQ(pref->ask_modification_date(3), 0);
  EXPECT_EQ(pref->ask_value(-1), nullptr);
  EXPECT_FALSE(pref->is_locked(-1));

  const int before = CLOCK_gmt();
  VERU_value* seven = pref->create_veru_value("7");
  pref->set_value(seven, 2);
  EXPECT_EQ(pref->ask_value(2), seven);
  EXPECT_EQ(pref->ask_value(3), seven);
  EXPECT_EQ(pref->ask_value(1), level0);
  VERU_recorded_value* recorded = pref->ask_recorded_value(2);
  ASSERT_NE(recorded, nullptr);
  EXPECT_GE(pref->ask_modification_date(2), before);
  EXPECT_LE(pref->ask_modification_date(2), CLOCK_gmt());

  // A second value at the level replaces the first in the same recorded value, stamped again.
  recorded->set_modification_date(1);
  pref->set_value(pref->create_veru_value("8"), 2);
  EXPECT_EQ(pref->ask_recorded_value(2), recorded);
  EXPECT_EQ(int_at(pref.get(), 3), 8);
  EXPECT_GE(pref->ask_modification_date(2), before);
}

TEST_F(VeruPref, LevelsOutsideTheTableAreRefusedAndWriteNothing) {
  auto pref = make_int_pref("Outside", "5");
  pref->ask_recorded_value(0)->set_modification_date(1);
  VERU_value* loaded = pref->loaded_value();
  TEXT_s* comment = TEXT_create_string("note");
  VERU_value* stray = pref->create_veru_value("9");

  const std::function<void()> refused[] = {
      [&] { pref->ask_value(4); },
      [&] { pref->is_locked(4); },
      [&] { pref->set_value(stray, -1); },
      [&] { pref->has_value(-1); },
      [&] { pref->set_locked(true, 4); },
      [&] { pref->is_lockable(-1); },
      [&] { pref->is_locked_at(-1); },
      [&] { pref->set_comment(comment, -1); },
      [&] { pref->ask_modification_date(4); },
      [&] { pref->remove_value(-1); },
      [&] { pref->clear_locked(4); },
      [&] { pref->ask_recorded_value(4); },
      [&] { pref->ask_display_value(-1); },
      [&] { pref->update_loaded_value(-1); },
  };
  for (std::size_t i = 0; i < sizeof(refused) / sizeof(refused[0]); ++i) {
    EXPECT_EQ(raised_code(refused[i]), ERROR_INTERNAL_CODE) << "call " << i;
  }
  EXPECT_TRUE(pref->has_value(0));
  for (int level = 1; level <= 3; ++level) EXPECT_FALSE(pref->has_value(level)) << level;
  EXPECT_EQ(pref->ask_modification_date(0), 1);
  EXPECT_FALSE(pref->ask_recorded_value(0)->ask_locked());
  EXPECT_TRUE(TEXT_is_null_text(pref->ask_comment(0)));
  EXPECT_EQ(pref->loaded_value(), loaded);
  OM_delete_object(stray);
  TEXT_free(comment);
}

TEST_F(VeruPref, LockingALevelWithoutARecordCopiesTheEffectiveValue) {
  auto pref = make_int_pref("Lock", "5");
  pref->set_value(pref->create_veru_value("6"), 1);
  EXPECT_FALSE(pref->is_lockable(3));  // nothing lies above the user level
  EXPECT_TRUE(pref->is_lockable(2));

  const int before = CLOCK_gmt();
  pref->set_locked(true, 2);
  ASSERT_TRUE(pref->has_value(2));
  EXPECT_NE(pref->ask_value(2), pref->ask_value(1));
  EXPECT_EQ(pref->ask_value(2)->compare(pref->ask_value(1)), 0);
  EXPECT_TRUE(pref->ask_recorded_value(2)->ask_locked());
  EXPECT_GE(pref->ask_modification_date(2), before);
  EXPECT_FALSE(pref->is_locked(1));
  EXPECT_TRUE(pref->is_locked(2));
  EXPECT_TRUE(pref->is_locked(3));
  EXPECT_TRUE(pref->is_locked_at(2));
  EXPECT_FALSE(pref->is_locked_at(3));
  EXPECT_FALSE(pref->is_lockable(2));

  // Clearing keeps the value and the date.
  pref->ask_recorded_value(2)->set_modification_date(1);
  pref->clear_locked(2);
  EXPECT_FALSE(pref->is_locked(3));
  EXPECT_EQ(pref->ask_modification_date(2), 1);
  EXPECT_EQ(int_at(pref.get(), 2), 6);
  pref->clear_locked(3);
  EXPECT_FALSE(pref->has_value(3));

  // Unlocking a level without a record also records the effective value there.
  pref->set_locked(false, 3);
  ASSERT_TRUE(pref->has_value(3));
  EXPECT_EQ(int_at(pref.get(), 3), 6);
  EXPECT_FALSE(pref->is_locked_at(3));
}

TEST_F(VeruPref, LevelsLockedByDefault) {
  auto pref = make_int_pref("Default_lock", "5");
  VERU_set_level_locked_by_default(2, true);
  EXPECT_FALSE(pref->is_locked(1));
  EXPECT_TRUE(pref->is_locked(2));
  EXPECT_TRUE(pref->is_locked(3));
  EXPECT_FALSE(pref->is_locked_at(2));  // no record at the level
  EXPECT_FALSE(pref->is_lockable(2));

  // The flag is stored relative to the level's default.
  pref->set_locked(true, 2);
  EXPECT_FALSE(pref->ask_recorded_value(2)->ask_locked());
  EXPECT_TRUE(pref->is_locked_at(2));
  EXPECT_TRUE(pref->is_locked(3));
  pref->set_locked(false, 2);
  EXPECT_TRUE(pref->ask_recorded_value(2)->ask_locked());
  EXPECT_FALSE(pref->is_locked_at(2));
  EXPECT_FALSE(pref->is_locked(2));
  EXPECT_FALSE(pref->is_locked(3));
}

TEST_F(VeruPref, ChangingALevelsDefaultClearsTheFlagsRecordedThere) {
  VERU_pref_int* known = make_int_pref("Known", "5").release();
  VERU__ask_module_root()->add_pref(known);
  known->set_locked(true, 1);
  known->set_locked(true, 2);
  ASSERT_TRUE(known->ask_recorded_value(1)->ask_locked());

  VERU_set_level_locked_by_default(1, true);
  EXPECT_TRUE(VERU_is_level_locked_by_default(1));
  EXPECT_FALSE(known->ask_recorded_value(1)->ask_locked());
  EXPECT_TRUE(known->ask_recorded_value(2)->ask_locked());
  EXPECT_TRUE(known->is_locked(1));  // now by the level's default
}

TEST_F(VeruPref, CommentsDatesAndRemoval) {
  auto pref = make_int_pref("Comment", "5");
  set_comment(pref.get(), "ignored", 1);
  EXPECT_FALSE(pref->has_value(1));
  EXPECT_EQ(pref->ask_comment(1), nullptr);
  EXPECT_TRUE(TEXT_is_null_text(pref->ask_comment(0)));

  pref->set_value(pref->create_veru_value("6"), 1);
  pref->ask_recorded_value(1)->set_modification_date(1);
  const int before = CLOCK_gmt();
  TEXT_s* text = TEXT_create_string("why it differs");
  pref->set_comment(text, 1);
  EXPECT_NE(pref->ask_comment(1), text);  // the recorded value keeps a copy
  TEXT_free(text);
  EXPECT_EQ(utf8(pref->ask_comment(1)), "why it differs");
  EXPECT_GE(pref->ask_modification_date(1), before);

  pref->remove_value(1);
  EXPECT_FALSE(pref->has_value(1));
  EXPECT_EQ(pref->ask_recorded_value(1), nullptr);
  EXPECT_EQ(pref->ask_comment(1), nullptr);
  EXPECT_EQ(pref->ask_modification_date(1), 0);
  EXPECT_EQ(pref->ask_value(1), pref->ask_value(0));
}

TEST_F(VeruPref, ApplyChangeInItsFourShapes) {
  auto pref = make_int_pref("Change", "5");
  pref->set_value(pref->create_veru_value("6"), 1);
  pref->set_locked(true, 1);
  set_comment(pref.get(), "keep", 1);
  pref->ask_recorded_value(1)->set_modification_date(1);

  // A value with both flags off changes the value and the date only.
  auto value_only = make_change(VERU_int_value::create(9), false, "other");
  const int before = CLOCK_gmt();
  pref->apply_change(value_only.get(), 1);
  EXPECT_EQ(int_at(pref.get(), 1), 9);
  EXPECT_NE(pref->ask_value(1), value_only->ask_value()->ask_value());
  EXPECT_NE(value_only->ask_value()->ask_value(), nullptr);
  EXPECT_TRUE(pref->ask_recorded_value(1)->ask_locked());
  EXPECT_EQ(utf8(pref->ask_comment(1)), "keep");
  EXPECT_GE(pref->ask_modification_date(1), before);

  // A comment without a value applies only where the level records something.
  auto comment_only = make_change(nullptr, false, "note");
  comment_only->set_update_comment(true);
  pref->apply_change(comment_only.get(), 2);
  EXPECT_FALSE(pref->has_value(2));
  pref->apply_change(comment_only.get(), 1);
  EXPECT_EQ(utf8(pref->ask_comment(1)), "note");
  EXPECT_EQ(int_at(pref.get(), 1), 9);

  // The lock asked for is the effective one, stored relative to the level's default.
  VERU_set_level_locked_by_default(2, true);
  auto lock_only = make_change(nullptr, true, nullptr);
  lock_only->set_update_lock(true);
  pref->apply_change(lock_only.get(), 2);
  ASSERT_TRUE(pref->has_value(2));
  EXPECT_FALSE(pref->ask_recorded_value(2)->ask_locked());
  EXPECT_TRUE(pref->is_locked_at(2));
  EXPECT_TRUE(pref->is_locked(2));
  EXPECT_EQ(int_at(pref.get(), 2), 9);

  // No recorded value removes the level's entry.
  OmPtr<VERU_change> removal(VERU_change::create("Change"));
  pref->apply_change(removal.get(), 1);
  EXPECT_FALSE(pref->has_value(1));
  EXPECT_EQ(pref->ask_value(1), pref->ask_value(0));
}

TEST_F(VeruPref, DisplayValueShowsTheEnumerationMemberName) {
  auto pref = make_int_pref("Shown", "2");
  EXPECT_EQ(taken(pref->ask_display_value(0)), "2");
  VERU_data_enum* choices = VERU_data_enum::create(0);
  choices->add_elem(VERU_enum_elem::create(pref->create_veru_value("1"), "One"));
  choices->add_elem(VERU_enum_elem::create(pref->create_veru_value("2"), "Two"));
  choices->add_elem(VERU_enum_elem::create(pref->create_veru_value("2"), "Second two"));
  pref->set_data(choices);
  EXPECT_EQ(taken(pref->ask_display_value(0)), "Two");
  EXPECT_EQ(taken(pref->ask_display_value(3)), "Two");
  pref->set_int(3, 1);
  EXPECT_EQ(taken(pref->ask_display_value(1)), "3");

  auto colour = make_int_pref("Colour", "5");
  VERU_data_color* colours = VERU_data_color::create(0);
  colours->add_elem(VERU_enum_elem::create(colour->create_veru_value("5"), "Red"));
  colour->set_data(colours);
  EXPECT_EQ(taken(colour->ask_display_value(0)), "Red");
  colour->set_int(6, 3);
  EXPECT_EQ(taken(colour->ask_display_value(3)), "6");
}

TEST_F(VeruPref, NamesAndTitlesFollowTheTree) {
  std::vector<OmPtr<VERU_group>> tree;  // groups do not own what is below them
  auto child = [&tree](const char* name, VERU_group* parent) {
    VERU_group* group = VERU_group::create(name);
    tree.emplace_back(group);
    group->set_parent(parent);
    if (parent) parent->add_object(group);
    return group;
  };
  VERU_group* category = child("General", child("Modeling", nullptr));
  category->set_has_tabs(true);
  VERU_group* tab = child("Display", category);
  VERU_group* group = child("Edges", tab);
  group->set_is_group(true);

  auto on_tab = make_int_pref("On_tab", "1");
  on_tab->set_parent(tab);
  on_tab->set_title("Width");
  auto in_group = make_int_pref("In_group", "1");
  in_group->set_parent(group);
  in_group->set_title("Colour");
  for (VERU_pref* pref : {on_tab.get(), in_group.get()}) {
    EXPECT_EQ(utf8(pref->ask_tab_name()), "Display") << pref->ask_name();
    EXPECT_EQ(utf8(pref->ask_category_name()), "General") << pref->ask_name();
    EXPECT_EQ(utf8(pref->ask_application_name()), "Modeling") << pref->ask_name();
  }
  EXPECT_EQ(on_tab->ask_group_name(), nullptr);
  EXPECT_EQ(utf8(in_group->ask_group_name()), "Edges");
  TEXT_s* title = on_tab->ask_full_title();
  EXPECT_NE(title, on_tab->ask_title());
  EXPECT_EQ(taken(title), "Width");
  EXPECT_EQ(taken(in_group->ask_full_title()), "Edges - Colour");

  // Descriptions lose the white space at both ends, of every kind, and nothing inside.
  const std::pair<const char*, const char*> descriptions[] = {
      {"  Line width in pixels \n", "Line width in pixels"},
      {"\t\v\f\r in\tside \r\n", "in\tside"},
      {" \n ", ""},
      {"plain", "plain"},
  };
  for (const auto& [desc, stored] : descriptions) {
    on_tab->set_desc(desc);
    EXPECT_EQ(utf8(on_tab->ask_desc()), stored) << desc;
  }
  on_tab->set_desc(nullptr);
  EXPECT_EQ(on_tab->ask_desc(), nullptr);
}

namespace {
bool visible_answer = false;
int visible_calls = 0;
bool visibility() {
  ++visible_calls;
  return visible_answer;
}
}  // namespace

TEST_F(VeruPref, VisibilityFollowsTheCallbackOnEveryCall) {
  auto pref = make_int_pref("Seen", "1");
  EXPECT_TRUE(pref->is_visible());
  pref->set_visibility_fn(&visibility);
  EXPECT_FALSE(pref->is_visible());
  visible_answer = true;
  EXPECT_TRUE(pref->is_visible());
  EXPECT_EQ(visible_calls, 2);
  const char* name = nullptr;
  OM_generic_fn stored = nullptr;
  EXPECT_TRUE(OM_ask_function(pref.get(), ATT_visibility_fn__VERU4161, &name, &stored));
  EXPECT_STREQ(name, "Invisible_Seen");
}

TEST_F(VeruPref, LoadedValueIsACopyOfTheEffectiveValue) {
  auto pref = make_int_pref("Loaded", "5");
  pref->set_value(pref->create_veru_value("8"), 2);
  pref->update_loaded_value(3);
  VERU_value* loaded = pref->loaded_value();
  ASSERT_NE(loaded, nullptr);
  EXPECT_NE(loaded, pref->ask_value(2));
  EXPECT_EQ(loaded->compare(pref->ask_value(2)), 0);
  EXPECT_EQ(OM_ask_pointer(pref.get(), ATT_loaded_value__VERU9075), loaded);
  pref->set_int(9, 2);  // edits leave the loaded value alone
  EXPECT_EQ(pref->ask_loaded_int(), 8);
  pref->update_loaded_value(1);
  EXPECT_EQ(pref->ask_loaded_int(), 5);

  VERU_value* replaced = pref->loaded_value();
  VERU_value* given = pref->create_veru_value("11");
  pref->set_loaded_value(given);
  EXPECT_EQ(pref->loaded_value(), given);
  OM_delete_object(replaced);  // set_loaded_value leaves the old value to the caller

  std::string what;
  EXPECT_EQ(raised_code([&] { pref->VERU_pref::create_veru_value("1"); }, &what),
            ERROR_INTERNAL_CODE);
  EXPECT_NE(what.find("Attempt to invoke abstract method create_veru_value on VERU_pref_int"),
            std::string::npos)
      << what;
}
