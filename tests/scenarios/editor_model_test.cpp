// The editor model on the example installation: what a dialog shows of each kind of preference
// (widget, constraint, restart), who locks it and why, what each level records and may change,
// and the definition tree in the order the files give it.
#include "installation.h"

#include <memory>

namespace {

using view_ptr = std::unique_ptr<VERU_pref_view_s, void (*)(VERU_pref_view_s*)>;

view_ptr described(const char* name, int level) {
  VERU_pref_view_s* view = nullptr;
  EXPECT_EQ(VERU_describe_pref(name, level, &view), 0) << name;
  return view_ptr(view, VERU_free_pref_view);
}

std::string text(const char* value) {
  return value ? value : "(null)";
}

void start_examples(const Installation& installation) {
  installation.use_examples();
  VERU_init_module();
}

}  // namespace

TEST(EditorModel, EachPreferenceShowsItsWidgetConstraintLockAndLevels) {
  Installation installation;
  start_examples(installation);
  struct Case {
    const char* name;
    int level;
    int widget;
    int constraint;
    bool restart;
    int lock_level;
    const char* lock_comment;
    bool modified;
    int source;
    int change_refusal;
  };
  const char* const group_colour = "Same background on every screen for design reviews.";
  const char* const standard = "Company drafting standard for every drawing released to customers.";
  const Case cases[] = {
      // Opened by the site, changed by the group and the user.
      {"Gateway_Autosave_Interval", 3, VERU_WIDGET_INTEGER, VERU_CONSTRAINT_RANGE, false, -1,
       nullptr, true, 3, 0},
      {"Gateway_Autosave_Interval", 1, VERU_WIDGET_INTEGER, VERU_CONSTRAINT_RANGE, false, -1,
       nullptr, true, 1, 0},
      // Locked by the group with its comment: the user cannot change it, the group can.
      {"Gateway_Display_Background_Color", 3, VERU_WIDGET_COLOR, VERU_CONSTRAINT_COLOR, false, 2,
       group_colour, false, 2, VERU_ERROR_LOCKED_AT_HIGHER_LEVEL},
      {"Gateway_Display_Background_Color", 2, VERU_WIDGET_COLOR, VERU_CONSTRAINT_COLOR, false, 2,
       group_colour, true, 2, 0},
      // Enforced by the site's entry, and by the site's default lock without one.
      {"Drafting_Standard_Default", 3, VERU_WIDGET_OPTION_MENU, VERU_CONSTRAINT_ENUM, false, 1,
       standard, false, 1, VERU_ERROR_LOCKED_AT_HIGHER_LEVEL},
      {"Gateway_Display_Hardware_Acceleration", 3, VERU_WIDGET_TOGGLE, VERU_CONSTRAINT_ENUM, true,
       1, nullptr, false, 0, VERU_ERROR_LOCKED_AT_HIGHER_LEVEL},
      {"Gateway_Display_Texture_Cache_Size", 1, VERU_WIDGET_INTEGER, VERU_CONSTRAINT_RANGE, true, 1,
       nullptr, false, 0, 0},
      {"Collaboration_Markup_Line_Width", 3, VERU_WIDGET_INTEGER_SCALE, VERU_CONSTRAINT_RANGE,
       false, 1, nullptr, false, 0, VERU_ERROR_LOCKED_AT_HIGHER_LEVEL},
      {"Knowledge_Search_Paths", 3, VERU_WIDGET_MULTI_LINE_TEXT, VERU_CONSTRAINT_NONE, false, -1,
       nullptr, true, 3, 0},
      {"Modeling_Tolerance_Distance", 3, VERU_WIDGET_REAL, VERU_CONSTRAINT_RANGE, false, -1,
       nullptr, false, 1, 0},
      {"Gateway_Autosave_Directory", 0, VERU_WIDGET_DIRECTORY, VERU_CONSTRAINT_NONE, false, 1,
       nullptr, false, 0, VERU_ERROR_LEVEL_NOT_CHANGEABLE},
  };
  for (const Case& expected : cases) {
    SCOPED_TRACE(std::string(expected.name) + " at level " + std::to_string(expected.level));
    view_ptr view = described(expected.name, expected.level);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->widget, expected.widget) << text(VERU_ask_widget_name(view->widget));
    EXPECT_EQ(view->constraint, expected.constraint);
    EXPECT_EQ(view->restart, expected.restart);
    EXPECT_EQ(view->lock_level, expected.lock_level);
    EXPECT_EQ(text(view->lock_comment), text(expected.lock_comment));
    EXPECT_EQ(view->modified, expected.modified);
    EXPECT_EQ(view->source, expected.source);
    EXPECT_EQ(view->change_refusal, expected.change_refusal) << text(view->change_reason);
    EXPECT_EQ(view->change_reason == nullptr, expected.change_refusal == 0);
    EXPECT_EQ(text(view->effective_value), text(view->levels[view->source].value));
  }
}

TEST(EditorModel, AViewHoldsTheDefinitionTextsMembersBoundsAndEveryLevel) {
  Installation installation;
  start_examples(installation);
  view_ptr interval = described("Gateway_Autosave_Interval", 3);
  EXPECT_EQ(text(interval->type), "int");
  EXPECT_EQ(text(interval->title), "Save Every");
  EXPECT_EQ(text(interval->unit), "min");
  EXPECT_EQ(text(interval->application) + "/" + text(interval->category) + "/" +
                text(interval->tab) + "/" + text(interval->group),
            "Gateway/General/Autosave/(null)");
  EXPECT_EQ(text(interval->description), "Minutes between two recovery copies of a modified file.");
  EXPECT_TRUE(interval->lower.present && interval->lower.inclusive && interval->upper.inclusive);
  EXPECT_EQ(text(interval->lower.value) + ".." + text(interval->upper.value), "1..120");
  EXPECT_EQ(text(interval->range_text), "[>=1 <=120]");
  EXPECT_EQ(text(interval->default_value), "10");
  EXPECT_EQ(text(interval->query_value), "5");
  const char* const values[] = {"10", "15", "20", "5"};
  for (int level = 0; level <= 3; ++level) {
    EXPECT_TRUE(interval->levels[level].has_entry) << level;
    EXPECT_EQ(text(interval->levels[level].value), values[level]) << level;
  }
  EXPECT_TRUE(interval->levels[1].locked_by_default);
  EXPECT_FALSE(interval->levels[1].locks);
  EXPECT_EQ(text(interval->levels[2].comment),
            "Gearbox team: large assemblies take a while to save.");
  EXPECT_GT(interval->levels[3].modified, 0);

  view_ptr welcome = described("Gateway_Startup_Show_Welcome_Page", 3);
  EXPECT_EQ(text(welcome->toggle_off), "false");
  ASSERT_EQ(welcome->member_count, 2);
  EXPECT_EQ(text(welcome->members[0].label) + "=" + text(welcome->members[0].value), "Show=true");
  EXPECT_EQ(text(welcome->effective_display), "Show");
  EXPECT_EQ(text(welcome->change_reason), "locked at level 1 (site)");

  // The user's entry that the group's lock made start-up ignore is carried, not recorded.
  view_ptr background = described("Gateway_Display_Background_Color", 3);
  EXPECT_TRUE(background->levels[3].carried);
  EXPECT_FALSE(background->levels[3].has_entry);

  view_ptr paths = described("Knowledge_Search_Paths", 3);
  EXPECT_EQ(text(paths->effective_display),
            "/srv/kvrn/knowledge/rules ${HOME}/kvrn/rules /proj/gearbox/rules");

  VERU_pref_view_s* none = reinterpret_cast<VERU_pref_view_s*>(1);
  EXPECT_EQ(VERU_describe_pref("No_Such", 3, &none), VERU_ERROR_UNKNOWN_PREF);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(VERU_describe_pref("Gateway_Autosave_Interval", 4, &none),
            VERU_ERROR_LEVEL_NOT_CHANGEABLE);
  EXPECT_EQ(VERU_describe_pref(nullptr, 3, &none), VERU_ERROR_UNKNOWN_PREF);
}

TEST(EditorModel, ViewsFollowEditsAndTheVisibilityCallback) {
  Installation installation;
  start_examples(installation);
  ASSERT_EQ(VERU_edit_value("Gateway_Autosave_Interval", 3, "7", nullptr), 0);
  ASSERT_EQ(VERU_edit_lock("Gateway_Autosave_Interval", 2, true, nullptr), 0);
  view_ptr locked = described("Gateway_Autosave_Interval", 3);
  EXPECT_EQ(locked->lock_level, 2);
  // The user's 7 stays recorded but the group's lock hides it, as the queries answer.
  EXPECT_TRUE(locked->levels[3].has_entry);
  EXPECT_EQ(locked->source, 2);
  EXPECT_EQ(text(locked->effective_value), "20");
  EXPECT_EQ(text(locked->query_value), "20");
  EXPECT_TRUE(locked->visible);
  VERU_add_visibility_cb("Gateway_Autosave_Interval", [] { return false; });
  EXPECT_FALSE(described("Gateway_Autosave_Interval", 3)->visible);
}

TEST(EditorModel, TheTreeWalkMeetsEveryNodeInDefinitionOrder) {
  Installation installation;
  start_examples(installation);
  struct Walk {
    std::vector<std::string> first;  // the first nodes, as "kind depth name"
    int prefs = 0;
    bool ordered = true;  // each node's depth fits the kind of node it follows
    std::vector<int> depths{0};
    std::vector<std::string> feeds;  // what the Manufacturing "Feeds" group holds
  } walk;
  VERU_walk_pref_tree(
      [](const VERU_tree_node_s* node, void* data) {
        auto* seen = static_cast<Walk*>(data);
        if (seen->first.size() < 6) {
          seen->first.push_back(std::to_string(node->kind) + " " + std::to_string(node->depth) +
                                " " + node->name);
        }
        if (node->depth > seen->depths.back() + 1) seen->ordered = false;
        seen->depths.push_back(node->depth);
        if (node->kind == VERU_TREE_PREF) {
          ++seen->prefs;
          if (or_null(TEXT_ask_utf8(node->group->ask_name())) == "Feeds") {
            seen->feeds.push_back(node->name);
          }
        }
        return true;
      },
      &walk);
  EXPECT_EQ(walk.first, (std::vector<std::string>{"1 1 Gateway", "2 2 General", "3 3 Startup",
                                                  "5 4 Gateway_Startup_Initial_Application",
                                                  "5 4 Gateway_Startup_Show_Welcome_Page",
                                                  "5 4 Gateway_Startup_Restore_Layout"}));
  EXPECT_EQ(walk.prefs, 381);
  EXPECT_TRUE(walk.ordered);
  EXPECT_EQ(walk.feeds, (std::vector<std::string>{"Manufacturing_Feed_Default_Cut",
                                                  "Manufacturing_Feed_Entry_Percent",
                                                  "Manufacturing_Feed_Rapid"}));

  int visited = 0;
  VERU_walk_pref_tree(
      [](const VERU_tree_node_s*, void* data) { return ++*static_cast<int*>(data) < 3; }, &visited);
  EXPECT_EQ(visited, 3);
}
