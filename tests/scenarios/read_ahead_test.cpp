// The start-up parses its files ahead on a thread of its own: a host sees the start it saw
// before, files changed during the start are read as they are when their turn comes, a failed
// start and a finished one leave no thread behind, and a fork during the start leaves a child
// that finishes it.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
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

// Holds the worker's first parse of a file other than the first one until released, so that a
// fork finds the worker inside a parse of a file the start has not taken yet. Until then a parse
// on the host's thread waits for the worker to be held: the host's thread parses later files
// itself while the worker parses the one it asks for, and would otherwise leave the worker
// nothing to parse. The XML service's table is the host's, and its parse entry is wrapped for
// the test.
class HeldParse {
 public:
  explicit HeldParse(const std::string& first_file) {
    first_file_ = first_file;
    KVXML_init();
    parse_ = pvtbl_kvxml->XERCES_DOM_parseFile;
    pvtbl_kvxml->XERCES_DOM_parseFile = held;
  }
  ~HeldParse() {
    release();
    pvtbl_kvxml->XERCES_DOM_parseFile = parse_;
  }
  // Whether the worker is inside its held parse within a few seconds.
  static bool wait_until_held() {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [] { return held_; });
  }
  static void release() {
    const std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }

 private:
  static int held(XERCES_DOM_ctx* context, const char* path, const char* encoding, int flags) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (std::this_thread::get_id() == main_thread) {
      changed_.wait_for(lock, std::chrono::seconds(10), [] { return held_ || released_; });
    } else if (path != first_file_ && !held_) {
      held_ = true;
      changed_.notify_all();
      changed_.wait(lock, [] { return released_; });
    }
    lock.unlock();
    return parse_(context, path, encoding, flags);
  }

  static inline std::string first_file_;
  static inline int (*parse_)(XERCES_DOM_ctx*, const char*, const char*, int) = nullptr;
  static inline std::mutex mutex_;
  static inline std::condition_variable changed_;
  static inline bool held_ = false;
  static inline bool released_ = false;
};

// The byte the child writes, or 0 when it gives none within a minute (it is then killed).
char answer_of(pid_t child, int channel) {
  pollfd readable = {channel, POLLIN, 0};
  char answer = 0;
  if (poll(&readable, 1, 60000) != 1 || read(channel, &answer, 1) != 1) {
    kill(child, SIGKILL);
    answer = 0;
  }
  int status = 0;
  waitpid(child, &status, 0);
  return answer;
}

}  // namespace

TEST(ReadAhead, AFinishedStartLeavesOnlyTheCallingThread) {
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

TEST(ReadAhead, AFailedStartLeavesNoThreadAndReadsNoFurther) {
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
  // One line: the parser's message about that file, as without reading ahead.
  EXPECT_TRUE(has_position_after(log.text(), "\n" + path + ":")) << log.text();
  EXPECT_EQ(std::count(log.text().begin(), log.text().end(), '\n'), 2) << log.text();
  EXPECT_EQ(thread_count(), threads);
  EXPECT_TRUE(VERU_is_known_default("Count8"));
  EXPECT_FALSE(VERU_is_known_default("Count10"));
  EXPECT_FALSE(VERU__is_level_defined(3));
}

TEST(ReadAhead, FilesChangedDuringTheStartAreReadAsTheyAreWhenTheirTurnComes) {
  Installation installation;
  fill(installation);
  const std::vector<std::string>& files = Installation::definition_files();
  installation.write("moved/startup/kvrn1_group.dpv", values(entry("Name1", "moved")));
  installation.use_environment();
  register_hooks();
  // While the first file is built, later files may have been read ahead already.
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

TEST(ReadAhead, AForkDuringTheStartLeavesAChildThatFinishesIt) {
  Installation installation;
  fill(installation);
  installation.use_environment();
  register_hooks();
  int channel[2];
  ASSERT_EQ(pipe(channel), 0);
  pid_t child = -1;
  // The fork comes while the first definition file loads and the worker is inside its parse of
  // a later one: the child, which has no worker, must parse that file itself rather than wait.
  HeldParse held(installation.kvrn_dir() + "/" + Installation::definition_files()[0]);
  bool worker_held = false;
  on_first_create = [&] {
    worker_held = HeldParse::wait_until_held();
    child = fork();
    if (child != 0) HeldParse::release();
  };
  VERU_init_module();
  if (child == 0) {
    const bool whole = thread_count() == 1 && VERU_ask_int("Count0") == 30 &&
                       VERU_ask_int("Count25") == 1 && VERU_is_level_up_to_date(3);
    const char answer = whole ? 'y' : 'n';
    _exit(write(channel[1], &answer, 1) == 1 ? 0 : 1);
  }
  ASSERT_GT(child, 0);
  close(channel[1]);
  EXPECT_TRUE(worker_held);
  EXPECT_EQ(answer_of(child, channel[0]), 'y') << "the child did not finish its start";
  close(channel[0]);
  EXPECT_EQ(VERU_ask_int("Count0"), 30);
}
