// The start reads its files one after the other on the calling thread: a finished start and a
// failed one leave no thread behind, a failed one reads no further, and files changed during the
// start are read as they are when their turn comes.
#include <cstdlib>
#include <functional>
#include <thread>

#include "installation.h"

namespace {

// An application of one file: two preferences and a label, which reaches the create hook.
std::string application(int number) {
  const std::string n = std::to_string(number);
  return definitions(
      "<Application name=\"App" + n + "\" csh=\"app" + n + "\"><Category name=\"C\">" +
      "<Label text=\"l\"/><Pref name=\"Count" + n +
      "\" type=\"int\" value=\"1\" title=\"Count\"/><Pref name=\"Name" + n +
      "\" type=\"string\" value=\"first\" title=\"Name\"/></Category></Application>\n");
}

// Every definition file an application, and a value for each level.
void fill(const Installation& installation) {
  const std::vector<std::string>& files = Installation::definition_files();
  for (std::size_t i = 0; i + 1 < files.size(); ++i) {
    installation.define(files[i], application(static_cast<int>(i)));
  }
  for (int level = 1; level <= 3; ++level) {
    installation.write_values(level, values(entry("Count0", std::to_string(level * 10))));
  }
}

std::size_t thread_count() {
  return directory_entries("/proc/self/task").size();
}

// The threads before the start. ThreadSanitizer starts a thread of its own with the first thread
// the program starts: one started and ended here first puts it among them.
std::size_t threads_before_start() {
  std::thread([] {}).join();
  return thread_count();
}

std::thread::id main_thread;
int hooks_off_the_main_thread = 0;
// What the create hook does on its first call; the hooks count calls made on other threads.
std::function<void()> on_first_create;

OM_object* create_hook(OM_object*, XERCES_DOM_node*) {
  if (std::this_thread::get_id() != main_thread) ++hooks_off_the_main_thread;
  if (on_first_create) {
    const std::function<void()> once = std::move(on_first_create);
    on_first_create = nullptr;
    once();
  }
  return nullptr;
}

int report_hook(int, int) {
  if (std::this_thread::get_id() != main_thread) ++hooks_off_the_main_thread;
  return 0;
}

void register_hooks() {
  main_thread = std::this_thread::get_id();
  static const REG_VERU_data_s hooks = {create_hook, nullptr, report_hook};
  REG_VERU_register(&hooks);
}

}  // namespace

TEST(StartFiles, TheStartRunsOnTheCallingThreadAlone) {
  Installation installation;
  fill(installation);
  installation.write_values(2, values(entry("NoSuchPref", "1")));  // the report hook runs too
  installation.use_environment();
  register_hooks();
  const std::size_t threads = threads_before_start();
  VERU_init_module();
  EXPECT_EQ(thread_count(), threads);
  EXPECT_EQ(hooks_off_the_main_thread, 0);
  EXPECT_EQ(VERU_ask_int("Count0"), 30);
  EXPECT_EQ(VERU_ask_int("Count25"), 1);
  for (int level = 1; level <= 3; ++level) EXPECT_TRUE(VERU_is_level_up_to_date(level));
}

TEST(StartFiles, AFailedStartLeavesNoThreadAndReadsNoFurther) {
  Installation installation;
  fill(installation);
  const std::vector<std::string>& files = Installation::definition_files();
  installation.define(files[9], "<Preferences><Application name=\"A\"></Preferences>\n");
  installation.write_values(3, "<PrefValues><Pref");  // never reached, never reported
  installation.use_environment();
  const std::size_t threads = threads_before_start();
  LogCapture log;
  std::string what;
  EXPECT_EQ(raised_code([] { VERU_init_module(); }, &what), VERU_ERROR_DEFINITION_FILE_LOAD);
  const std::string path = installation.kvrn_dir() + "/" + files[9];
  EXPECT_EQ(what, "Unable to parse XML def file " + path);
  // One line: the parser's message about that file.
  EXPECT_TRUE(has_position_after(log.text(), "\n" + path + ":")) << log.text();
  EXPECT_EQ(std::count(log.text().begin(), log.text().end(), '\n'), 2) << log.text();
  EXPECT_EQ(thread_count(), threads);
  EXPECT_TRUE(VERU_is_known_default("Count8"));
  EXPECT_FALSE(VERU_is_known_default("Count10"));
  EXPECT_FALSE(VERU__is_level_defined(3));
}

TEST(StartFiles, FilesChangedDuringTheStartAreReadAsTheyAreWhenTheirTurnComes) {
  Installation installation;
  fill(installation);
  const std::vector<std::string>& files = Installation::definition_files();
  installation.write("moved/startup/kvrn1_group.dpv", values(entry("Name1", "moved")));
  installation.use_environment();
  register_hooks();
  on_first_create = [&] {
    installation.define(files[2], definitions("<Application name=\"New\" csh=\"new\"><Category "
                                              "name=\"C\"><Pref name=\"Added\" type=\"int\" "
                                              "value=\"7\" title=\"Added\"/></Category>"
                                              "</Application>\n"));
    installation.write_values(3, values(entry("Count0", "99") + entry("Name0", "changed")));
    setenv("KVRN_GROUP_DIR", installation.path("moved").c_str(), 1);
  };
  VERU_init_module();
  EXPECT_TRUE(VERU_is_known_default("Added"));
  EXPECT_FALSE(VERU_is_known_default("Count2"));
  EXPECT_EQ(VERU_ask_int("Count0"), 99);
  EXPECT_EQ(taken(VERU_ask_string("Name0")), "changed");
  EXPECT_EQ(taken(VERU_ask_string("Name1")), "moved");
  EXPECT_EQ(VERU__ask_level_filename(2), installation.path("moved/startup/kvrn1_group.dpv"));
}
