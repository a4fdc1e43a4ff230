// Nodes of the definition tree: their attributes and children, the tag of the first category
// below a node, and the search for an application by its context-help tag.
#include "test_support.h"

#include <vector>

namespace {

// Makes groups and host objects for one test and deletes them at its end; the library keeps
// groups for the life of the process.
class Tree {
 public:
  ~Tree() {
    for (OM_object* object : made_) OM_delete_object(object);
  }
  VERU_group* add(const char* name, VERU_group* parent = nullptr, bool has_tabs = false) {
    VERU_group* group = VERU_group::create(name);
    made_.push_back(group);
    group->set_has_tabs(has_tabs);
    if (parent) {
      group->set_parent(parent);
      parent->add_object(group);
    }
    return group;
  }
  // A display object that the host made for a label or widget element.
  OM_object* add_host_object(VERU_group* parent) {
    made_.push_back(OM_create_object(VERU_recorded_value_c));
    parent->add_object(made_.back());
    return made_.back();
  }

 private:
  std::vector<OM_object*> made_;
};

}  // namespace

TEST(VeruGroup, GroupStoresNameFlagsParentAndHelpTag) {
  VERU_init_schema();
  Tree tree;
  VERU_group* application = tree.add(
      "\xC3\x9C"
      "bersicht");
  EXPECT_STREQ(TEXT_ask_utf8(application->ask_name()),
               "\xC3\x9C"
               "bersicht");
  EXPECT_NE(OM_ask_object_tag(application), 0u);
  EXPECT_EQ(OM_ask_object_of_tag(OM_ask_object_tag(application)), application);
  EXPECT_EQ(application->ask_n_objects(), 0);
  EXPECT_FALSE(application->ask_has_tabs());
  EXPECT_FALSE(application->ask_is_group());
  EXPECT_EQ(application->ask_parent(), nullptr);
  EXPECT_EQ(application->ask_csh_text(), nullptr);

  VERU_group* category = tree.add("Views", application);
  EXPECT_NE(OM_ask_object_tag(category), OM_ask_object_tag(application));
  EXPECT_EQ(category->ask_parent(), application);
  EXPECT_EQ(OM_ask_pointer(category, ATT_parent__VERU7938), application);
  category->set_has_tabs(true);
  EXPECT_TRUE(OM_ask_logical(category, ATT_m_has_tabs__VERU5069));
  EXPECT_FALSE(category->ask_is_group());
  category->set_is_group(true);
  category->set_has_tabs(false);
  EXPECT_TRUE(category->ask_is_group());
  EXPECT_FALSE(category->ask_has_tabs());

  char help[] = "kv_drafting";
  application->set_csh_text(help);
  help[0] = 'X';
  EXPECT_STREQ(application->ask_csh_text(), "kv_drafting");
  EXPECT_STREQ(OM_ask_string(application, ATT_csh_text__VERU5472), "kv_drafting");
}

TEST(VeruGroup, ChildrenKeepTheOrderOfAdding) {
  VERU_init_schema();
  Tree tree;
  VERU_group* tab = tree.add("General");
  VERU_group* first = tree.add("Display", tab);
  OM_object* label = tree.add_host_object(tab);
  VERU_group* third = tree.add("Selection", tab);
  EXPECT_EQ(tab->ask_n_objects(), 3);
  EXPECT_EQ(OM_ask_array_length(tab, ATT_objects__VERU352), 3);
  EXPECT_EQ(tab->ask_nth_object(0), first);
  EXPECT_EQ(tab->ask_nth_object(1), label);
  EXPECT_EQ(tab->ask_nth_object(2), third);
}

TEST(VeruGroup, TabbedTagIsTheFirstCategoryBelow) {
  VERU_init_schema();
  Tree tree;
  VERU_group* root = tree.add("");
  VERU_group* application = tree.add("Modeling", root);
  VERU_group* category = tree.add("Features", application, true);
  VERU_group* tab = tree.add("Holes", category);
  VERU_group* second_category = tree.add("Sketches", application, true);
  EXPECT_EQ(category->ask_tabbed_tag(), OM_ask_object_tag(category));
  EXPECT_EQ(application->ask_tabbed_tag(), OM_ask_object_tag(category));
  EXPECT_EQ(root->ask_tabbed_tag(), OM_ask_object_tag(category));
  EXPECT_EQ(second_category->ask_tabbed_tag(), OM_ask_object_tag(second_category));
  EXPECT_EQ(tab->ask_tabbed_tag(), 0u);

  // Only the first child is followed, however deep.
  VERU_group* gateway = tree.add("Gateway");
  VERU_group* plain = tree.add("Plain", gateway);
  tree.add("Later", gateway, true);
  EXPECT_EQ(gateway->ask_tabbed_tag(), 0u);
  VERU_group* deeper = tree.add("Deeper", plain, true);
  EXPECT_EQ(gateway->ask_tabbed_tag(), OM_ask_object_tag(deeper));

  // A first child that the host made ends the search; a category answers for itself.
  VERU_group* labelled = tree.add("Labelled");
  tree.add_host_object(labelled);
  tree.add("Category after a label", labelled, true);
  EXPECT_EQ(labelled->ask_tabbed_tag(), 0u);
  labelled->set_has_tabs(true);
  EXPECT_EQ(labelled->ask_tabbed_tag(), OM_ask_object_tag(labelled));
}

TEST(VeruGroup, ApplicationIsFoundByItsHelpTag) {
  VERU_init_schema();
  Tree tree;
  VERU_group* root = tree.add("");
  EXPECT_EQ(VERU_lookup_application_by_csh_tag(root, "kv_modeling"), nullptr);
  tree.add("No help", root);
  tree.add_host_object(root);
  VERU_group* modeling = tree.add("Modeling", root);
  modeling->set_csh_text("kv_modeling");
  tree.add("Modeling again", root)->set_csh_text("kv_modeling");
  VERU_group* drafting = tree.add("Drafting", root);
  drafting->set_csh_text("kv_drafting");
  VERU_group* deep = tree.add("Deep", drafting);
  deep->set_csh_text("kv_deep");

  EXPECT_EQ(VERU_lookup_application_by_csh_tag(root, "kv_modeling"), modeling);
  EXPECT_EQ(VERU_lookup_application_by_csh_tag(root, "kv_drafting"), drafting);
  EXPECT_EQ(VERU_lookup_application_by_csh_tag(root, "KV_MODELING"), nullptr);
  EXPECT_EQ(VERU_lookup_application_by_csh_tag(root, "kv_model"), nullptr);
  EXPECT_EQ(VERU_lookup_application_by_csh_tag(root, "kv_modeling "), nullptr);
  EXPECT_EQ(VERU_lookup_application_by_csh_tag(root, "kv_deep"), nullptr);
  // A child without a help tag matches nothing, not even the empty tag.
  EXPECT_EQ(VERU_lookup_application_by_csh_tag(root, ""), nullptr);
  EXPECT_EQ(VERU_lookup_application_by_csh_tag(drafting, "kv_deep"), deep);
}
