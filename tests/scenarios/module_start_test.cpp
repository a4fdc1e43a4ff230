// Module start as a host sees it: nothing answers before it, the order of the start-up steps,
// the host's hooks and what a second start does.
#include "installation.h"

namespace {

// An application whose display elements reach the create hook: labels, images and separators
// with no owner, widgets with their preference. Elements marked declined get no object.
const char* const GATEWAY = R"(
<Application name="Gateway" csh="gw">
  <Label text="Welcome"/>
  <Category name="General">
    <Tab name="Display">
      <Image file="grid.png" declined="yes"/>
      <Pref name="ShowGrid" type="logical" value="true" title="Show grid"><Toggle/></Pref>
      <Group name="Sizes">
        <Separator/>
        <Pref name="GridSize" type="int" value="10" title="Grid size">
          <Integer declined="yes"/><IntegerScale/>
        </Pref>
      </Group>
    </Tab>
  </Category>
</Application>
)";

std::vector<std::string> object_names(const VERU_group* group) {
  std::vector<std::string> names;
  for (int i = 0; i < group->ask_n_objects(); ++i) {
    names.push_back(text_of(static_cast<VERU_group*>(group->ask_nth_object(i))->ask_name()));
  }
  return names;
}

int other_init_done_calls = 0;
int other_init_done() {
  return ++other_init_done_calls;
}

}  // namespace

TEST(ModuleStart, NothingAnswersBeforeTheModuleStarts) {
  EXPECT_EQ(VERU__ask_module_root(), nullptr);
  EXPECT_EQ(VERU_lookup_pref("Anything"), nullptr);
  EXPECT_FALSE(VERU_is_known_default("Anything"));
  EXPECT_TRUE(VERU_is_enabled());
  VERU_add_visibility_cb("Anything", nullptr);
  char** list = nullptr;
  std::string what;
  EXPECT_EQ(raised_code([] { VERU_ask_int("Anything"); }, &what), VERU_ERROR_UNKNOWN_PREF);
  EXPECT_EQ(what, "VERU: preference Anything is not found in database");
  EXPECT_EQ(raised_code([] { VERU_ask_real("Anything"); }), VERU_ERROR_UNKNOWN_PREF);
  EXPECT_EQ(raised_code([] { VERU_ask_logical("Anything"); }), VERU_ERROR_UNKNOWN_PREF);
  EXPECT_EQ(raised_code([] { SM_free(VERU_ask_string("Anything")); }), VERU_ERROR_UNKNOWN_PREF);
  EXPECT_EQ(raised_code([&] { VERU_ask_string_list("Anything", &list); }), VERU_ERROR_UNKNOWN_PREF);
}

TEST(ModuleStart, RunsItsStepsInOrderAndCallsTheHooks) {
  Installation installation;
  installation.define("kv_gateway.dpx", definitions(GATEWAY));
  installation.write_values(1, values(entry("NoSuchPref", "1")));
  installation.write_values(2, "<PrefValues><Pref name=\"GridSize\"");
  installation.use_environment();
  HookRecorder::register_hooks();
  MACH__checking_level = 1;  // the definition files then log as they are read
  LogCapture log;
  VERU_init_module();
  MACH__checking_level = 0;

  const std::vector<std::string> expected_calls = {"create Label owner=null",
                                                   "create Image owner=null",
                                                   "create Toggle owner=ShowGrid",
                                                   "create Separator owner=null",
                                                   "create Integer owner=GridSize",
                                                   "create IntegerScale owner=GridSize",
                                                   "report 1 1",
                                                   "report 2 0",
                                                   "init_done"};
  EXPECT_EQ(HookRecorder::calls(), expected_calls);

  // Hook results end up in the enclosing group, in document order among its children.
  VERU_group* gateway = child(VERU__ask_module_root()->ask_tree_root(), 0);
  EXPECT_EQ(object_names(gateway), (std::vector<std::string>{"shown Label", "General"}));
  VERU_group* display = child(child(gateway, 1), 0);
  EXPECT_EQ(object_names(display), (std::vector<std::string>{"shown Toggle", "Sizes"}));
  EXPECT_EQ(object_names(child(display, 1)),
            (std::vector<std::string>{"shown Separator", "shown IntegerScale"}));

  // Definitions, then the level set-up, then the value files in level order.
  const std::string& text = log.text();
  const std::size_t first_definition =
      text.find("Processing customer default file " + installation.kvrn_dir() + "/kv_gateway.dpx ");
  const std::size_t last_definition =
      text.find("Processing customer default file " + installation.kvrn_dir() + "/kv_extras.dpx ");
  const std::size_t local_defaults = text.find(
      "No local user customizations read - environment variable KVRN_LOCAL_USER_DEFAULTS is not "
      "set\n");
  std::size_t previous = local_defaults;
  ASSERT_NE(first_definition, std::string::npos);
  EXPECT_LT(first_definition, last_definition);
  EXPECT_NE(text.find(" Parsing time: cpu: ", last_definition), std::string::npos);
  EXPECT_LT(last_definition, local_defaults);
  for (int level = 1; level <= 3; ++level) {
    const std::size_t at =
        text.find("Processing customer default values file " + installation.value_file(level));
    EXPECT_LT(previous, at) << "level " << level;
    previous = at;
  }
  EXPECT_TRUE(log.contains("\tParsing time: cpu: "));
  EXPECT_TRUE(log.contains("\tUser customizations file " + installation.value_file(3) +
                           " does not exist\n"));

  // The host's object manager answers logical defaults through the library.
  EXPECT_TRUE(OM_ask_logical_customer_default("ShowGrid"));

  // A second start reads nothing and only calls the start-up hook again.
  installation.write_values(1, values(entry("GridSize", "99")));
  HookRecorder::calls().clear();
  log.clear();
  VERU_init_module();
  EXPECT_EQ(HookRecorder::calls(), std::vector<std::string>{"init_done"});
  EXPECT_EQ(log.text(), "");
  EXPECT_EQ(VERU_ask_int("GridSize"), 10);
}

TEST(ModuleStart, HooksRegisteredLateSeeOnlyLaterStartsAndStayForTheProcess) {
  Installation installation;
  installation.define("kv_gateway.dpx", definitions(GATEWAY));
  installation.write_values(2, "not a value file");
  installation.start();

  // Without hooks nothing is made for the display elements.
  VERU_group* gateway = child(VERU__ask_module_root()->ask_tree_root(), 0);
  EXPECT_EQ(object_names(gateway), std::vector<std::string>{"General"});
  EXPECT_EQ(VERU_ask_int("GridSize"), 10);

  HookRecorder::register_hooks();
  const REG_VERU_data_s other = {nullptr, other_init_done, nullptr};
  REG_VERU_register(&other);
  VERU_init_module();
  VERU_init_module();
  EXPECT_EQ(HookRecorder::calls(), (std::vector<std::string>{"init_done", "init_done"}));
  EXPECT_EQ(other_init_done_calls, 0);
}

namespace {

std::vector<std::string> answered_during_the_start;
int answer_grid_size(int level, int) {
  answered_during_the_start.push_back(std::to_string(level) + ": " +
                                      std::to_string(VERU_ask_int("GridSize")));
  return 0;
}

}  // namespace

// Before the start has made its query table, queries on the host's thread answer from the
// preferences read so far.
TEST(ModuleStart, QueriesDuringTheStartAnswerWhatIsReadSoFar) {
  Installation installation;
  installation.define("kv_gateway.dpx", definitions(GATEWAY));
  const std::string unknown = entry("NoSuchPref", "1");
  installation.write_values(1, values(entry("GridSize", "20") + unknown));
  installation.write_values(3, values(entry("GridSize", "30") + unknown));
  installation.use_environment();
  const REG_VERU_data_s hooks = {nullptr, nullptr, answer_grid_size};
  REG_VERU_register(&hooks);
  VERU_init_module();
  EXPECT_EQ(answered_during_the_start, (std::vector<std::string>{"1: 20", "3: 30"}));
  EXPECT_EQ(VERU_ask_int("GridSize"), 30);
}
