// The oracle of the watch: another process makes random edits of the three levels with kvrn-prefs,
// and after each one the watching host's batch must be exactly the difference between what a
// fresh start answered before the edit and what one answers after it.
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <random>

#include "tool_run.h"
#include "veru_changes.h"
#include "watch_host.h"

namespace {

const char* const PREFERENCES = R"(
<Application name="App" csh="app">
  <Category name="Cat">
    <Tab name="Tab">
      <Pref name="Count" type="int" value="10">
        <Data type="range"><LowerBound value="1" include="1"/><UpperBound value="120" include="1"/></Data>
      </Pref>
      <Pref name="Scale" type="real" value="1.5"/>
      <Pref name="Flag" type="logical" value="false"/>
      <Pref name="Note" type="string" value="none"/>
      <Pref name="Paths" type="string_list" value="one"/>
      <Pref name="Standard" type="string" value="ISO">
        <Data type="enum"><EnumElem name="ISO" value="ISO"/><EnumElem name="JIS" value="JIS"/></Data>
      </Pref>
    </Tab>
  </Category>
</Application>
)";

const char* const NAMES[] = {"Count", "Scale", "Flag", "Note", "Paths", "Standard"};
const char* const LEVELS[] = {"site", "group", "user"};

// Values for each preference, some of which its type or constraint refuses.
const std::vector<std::vector<std::string>> VALUES = {
    {"5", "10", "77", "500"},      {"1.5", "2.25", "x"}, {"true", "false", "maybe"},
    {"none", "a note", "another"}, {"one", "two"},       {"ISO", "JIS", "DIN"}};

using State = std::map<std::string, veru_pref_state_s>;

// Reads a whole pipe.
std::string drain(int fd) {
  std::string text;
  char buffer[4096];
  for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, got);
  return text;
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1) {
    parts.push_back(text.substr(start, at - start));
  }
  parts.push_back(text.substr(start));
  return parts;
}

// What a fresh start answers for every preference, from a process of its own.
State fresh_start(const Installation& installation) {
  int out[2];
  EXPECT_EQ(pipe2(out, O_CLOEXEC), 0);
  const pid_t child = fork();
  if (child == 0) {
    close(out[0]);
    installation.use_environment();
    ERROR_set_log_sink([](const char*, void*) {}, nullptr);
    VERU_init_module();
    std::string dump;
    for (const char* name : NAMES) {
      const veru_pref_state_s state = veru_pref_state(VERU_lookup_pref(name));
      dump += std::string(name) + "\t" + (state.has_value ? "1" : "0") + "\t" + state.value + "\t" +
              std::to_string(state.source) + "\t" + std::to_string(state.lock_level) + "\t" +
              (state.has_comment ? "1" : "0") + "\t" + state.comment + "\n";
    }
    const ssize_t written = write(out[1], dump.data(), dump.size());
    _exit(written == static_cast<ssize_t>(dump.size()) ? 0 : 1);
  }
  close(out[1]);
  const std::string dump = drain(out[0]);
  close(out[0]);
  int status = 0;
  waitpid(child, &status, 0);
  State state;
  for (const std::string& line : split(dump, '\n')) {
    const std::vector<std::string> fields = split(line, '\t');
    if (fields.size() != 7) continue;
    veru_pref_state_s& pref = state[fields[0]];
    pref.has_value = fields[1] == "1";
    pref.value = fields[2];
    pref.source = std::stoi(fields[3]);
    pref.lock_level = std::stoi(fields[4]);
    pref.has_comment = fields[5] == "1";
    pref.comment = fields[6];
  }
  return state;
}

// The records that the difference between two fresh starts makes, as describe_change writes
// them, in name order.
std::vector<std::string> difference(const State& before, const State& after) {
  std::vector<std::string> records;
  for (const auto& [name, old] : before) {
    const veru_pref_state_s& now = after.at(name);
    unsigned what = 0;
    if (old.has_value != now.has_value || old.value != now.value) what |= VERU_CHANGE_VALUE;
    if (old.lock_level != now.lock_level) what |= VERU_CHANGE_LOCK;
    if (old.source != now.source) what |= VERU_CHANGE_SOURCE;
    if (old.has_comment != now.has_comment || old.comment != now.comment) {
      what |= VERU_CHANGE_COMMENT;
    }
    if (what == 0) continue;
    VERU_change_s change{name.c_str(),
                         what,
                         VERU_CAUSE_FILE,
                         0,
                         old.has_value ? old.value.c_str() : nullptr,
                         now.has_value ? now.value.c_str() : nullptr,
                         old.source,
                         now.source,
                         old.lock_level,
                         now.lock_level};
    records.push_back(describe_change(change));
  }
  return records;
}

// The watching host in a process of its own: it writes each batch it is told to the pipe, one
// line per record and "--" after the batch, until its command pipe closes.
pid_t start_host(const Installation& installation, WatchMode mode, const int (&batches)[2],
                 const int (&commands)[2]) {
  const pid_t child = fork();
  if (child != 0) return child;
  close(batches[0]);
  close(commands[1]);
  const int batches_out = batches[1];
  const int commands_in = commands[0];
  installation.use_environment();
  if (mode == WatchMode::polling) {
    setenv("KVRN_WATCH", "poll", 1);
    setenv("KVRN_WATCH_POLL_MS", "100", 1);
  }
  ERROR_set_log_sink([](const char*, void*) {}, nullptr);
  VERU_init_module();
  static int out = batches_out;
  VERU_add_change_listener(
      nullptr, 0,
      [](const VERU_change_s* changes, int count, void*) {
        std::string batch;
        for (int i = 0; i < count; ++i) batch += describe_change(changes[i]) + "\n";
        batch += "--\n";
        if (write(out, batch.data(), batch.size()) < 0) _exit(3);
      },
      nullptr);
  if (VERU_watch_levels(0, nullptr) != 0) _exit(2);
  if (write(out, "ready\n--\n", 9) != 9) _exit(3);
  for (;;) {
    pollfd watched[2] = {{VERU_watch_fd(), POLLIN, 0}, {commands_in, POLLIN, 0}};
    poll(watched, 2, VERU_watch_timeout_ms());
    if (watched[1].revents) _exit(0);
    VERU_process_changes(nullptr);
  }
}

// The next batch from the host, or none when there is none within ms milliseconds.
bool next_batch(int fd, int ms, std::string* pending, std::vector<std::string>* batch) {
  const std::int64_t end = veru_monotonic_ms() + ms;
  for (;;) {
    const std::size_t at = pending->find("--\n");
    if (at != std::string::npos) {
      *batch = split(pending->substr(0, at), '\n');
      batch->pop_back();
      pending->erase(0, at + 3);
      return true;
    }
    const std::int64_t left = end - veru_monotonic_ms();
    pollfd readable{fd, POLLIN, 0};
    if (left <= 0 || poll(&readable, 1, static_cast<int>(left)) <= 0) return false;
    char buffer[4096];
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got <= 0) return false;
    pending->append(buffer, got);
  }
}

// A random edit of a random level, as a person would type it.
std::vector<std::string> random_edit(std::mt19937* random) {
  auto pick = [random](std::size_t count) { return (*random)() % count; };
  const std::size_t pref = pick(6);
  const std::string level = LEVELS[pick(3)];
  const std::string name = NAMES[pref];
  switch (pick(7)) {
    case 0:
    case 1:
      return {"set", name, VALUES[pref][pick(VALUES[pref].size())], "--level", level};
    case 2:
      return {"lock", name, "--level", level == "user" ? "group" : level};
    case 3:
      return {"unlock", name, "--level", level};
    case 4:
      return {"reset", name, "--level", level};
    case 5:
      return {"comment", name, pick(2) ? "why" : "", "--level", level};
    default:
      return {"level-lock", pick(2) ? "locked" : "unlocked", "--level",
              level == "user" ? "site" : level};
  }
}

class WatchOracle : public testing::TestWithParam<WatchMode> {};

}  // namespace

TEST_P(WatchOracle, EachBatchIsTheDifferenceOfTwoFreshStarts) {
  Installation installation;
  installation.define("kv_gateway.dpx", definitions(PREFERENCES));
  installation.write_values(1, values(entry("Count", "20") + entry("Note", "site note")));
  installation.write_values(2, values(entry("Scale", "2.5")));
  installation.write_values(3, values(entry("Count", "30") + entry("Flag", "true")));
  int batches[2];
  int commands[2];
  ASSERT_EQ(pipe2(batches, O_CLOEXEC), 0);
  ASSERT_EQ(pipe2(commands, O_CLOEXEC), 0);
  const pid_t host = start_host(installation, GetParam(), batches, commands);
  close(batches[1]);
  close(commands[0]);
  std::string pending;
  std::vector<std::string> batch;
  ASSERT_TRUE(next_batch(batches[0], 10000, &pending, &batch));
  ASSERT_EQ(batch, std::vector<std::string>{"ready"});
  const std::vector<std::string> environment = {
      "KVRN_BASE_DIR=" + installation.base_dir(), "KVRN_SITE_DIR=" + installation.level_dir(1),
      "KVRN_GROUP_DIR=" + installation.level_dir(2), "KVRN_USER_DIR=" + installation.level_dir(3)};
  std::mt19937 random(20261207);
  State before = fresh_start(installation);
  int batches_told = 0;
  for (int step = 0; step < 40; ++step) {
    const std::vector<std::string> edit = random_edit(&random);
    std::string command;
    for (const std::string& word : edit) command += word + " ";
    SCOPED_TRACE("edit " + std::to_string(step) + ": kvrn-prefs " + command);
    run_tool(environment, edit);
    const State after = fresh_start(installation);
    const std::vector<std::string> expected = difference(before, after);
    const bool told = next_batch(batches[0], expected.empty() ? 800 : 4000, &pending, &batch);
    EXPECT_EQ(told ? batch : std::vector<std::string>{}, expected);
    batches_told += told ? 1 : 0;
    before = after;
  }
  EXPECT_GE(batches_told, 10) << "the edits changed too little to test the watch";
  close(commands[1]);
  int status = 0;
  waitpid(host, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  close(batches[0]);
}

INSTANTIATE_TEST_SUITE_P(Modes, WatchOracle, testing::Values(WatchMode::kernel, WatchMode::polling),
                         [](const testing::TestParamInfo<WatchMode>& case_info) {
                           return std::string(mode_name(case_info.param));
                         });
