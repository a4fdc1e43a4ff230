// Running kvrn-prefs as a person would.
#include "tool_run.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>

std::string tool_path() {
  return KVRN_PREFS_BINARY;
}

namespace {

// Reads both pipes to their ends together, so that a full one never blocks the child.
void drain(int out_fd, int err_fd, std::string* out, std::string* err) {
  pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
  std::string* texts[2] = {out, err};
  int open_count = 2;
  while (open_count > 0) {
    if (poll(fds, 2, -1) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char chunk[4096];
      const ssize_t got = read(fds[i].fd, chunk, sizeof chunk);
      if (got > 0) {
        texts[i]->append(chunk, static_cast<size_t>(got));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      }
    }
  }
}

void copy_tree(const std::string& from, const std::string& to) {
  std::filesystem::copy(from, to, std::filesystem::copy_options::recursive);
}

}  // namespace

std::string examples_dir() {
  return VUZODOD_EXAMPLES_DIR;
}

std::string source_file(const std::string& relative) {
  return examples_dir() + "/../" + relative;
}

ExampleCopy::ExampleCopy() {
  make_directories(path("base"));
  copy_tree(examples_dir() + "/kvrn", path("base/kvrn"));
  copy_tree(examples_dir() + "/localization", path("base/localization"));
  for (const char* level : {"site", "group", "user"}) {
    copy_tree(examples_dir() + "/" + level, path(level));
  }
}

std::string ExampleCopy::value_file(int level) const {
  static const char* const names[] = {"", "site", "group", "user"};
  return path(std::string(names[level]) + "/startup/kvrn1_" + names[level] + ".dpv");
}

std::vector<std::string> ExampleCopy::environment() const {
  return {"KVRN_BASE_DIR=" + path("base"),   "KVRN_SITE_DIR=" + path("site"),
          "KVRN_GROUP_DIR=" + path("group"), "KVRN_USER_DIR=" + path("user"),
          "XDG_DATA_HOME=" + path("data"),   "XDG_CONFIG_HOME=" + path("config"),
          "XDG_CACHE_HOME=" + path("cache")};
}

ToolResult run_tool(const std::vector<std::string>& environment,
                    const std::vector<std::string>& arguments, const std::string& input) {
  return run_program(tool_path(), environment, arguments, input);
}

namespace {

// Starts program with pipes for its three standard streams; the ends kept here go in spawned.
struct spawned_s {
  pid_t pid = -1;
  int in = -1;
  int out = -1;
  int err = -1;
};

spawned_s spawn(const std::string& program, const std::vector<std::string>& environment,
                const std::vector<std::string>& arguments) {
  std::vector<std::string> variables = environment;
  for (const char* kept :
       {"PATH", "HOME", "TMPDIR", "ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
    const std::string prefix = std::string(kept) + "=";
    const bool given = std::any_of(variables.begin(), variables.end(),
                                   [&](const std::string& v) { return v.rfind(prefix, 0) == 0; });
    if (const char* value = std::getenv(kept); value && !given) variables.push_back(prefix + value);
  }
  // A program given no cache folder of the test's own would leave start-up images in the home
  // folder of whoever runs the tests.
  const bool has_cache = std::any_of(variables.begin(), variables.end(), [](const std::string& v) {
    return v.rfind("XDG_CACHE_HOME=", 0) == 0 || v.rfind("KVRN_CACHE=", 0) == 0;
  });
  if (!has_cache) variables.push_back("KVRN_CACHE=off");
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (const std::string& variable : variables) envp.push_back(const_cast<char*>(variable.c_str()));
  envp.push_back(nullptr);

  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "cannot make pipes";
    return {};
  }
  const pid_t child = fork();
  if (child == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  return {child, in[1], out[0], err[0]};
}

int exit_status(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

ToolResult run_program(const std::string& program, const std::vector<std::string>& environment,
                       const std::vector<std::string>& arguments, const std::string& input) {
  const spawned_s child = spawn(program, environment, arguments);
  if (child.pid < 0) return {};
  // Inputs of tests are small enough for the pipe, so writing first cannot block.
  if (!input.empty() && write(child.in, input.data(), input.size()) < 0) ADD_FAILURE();
  close(child.in);
  ToolResult result;
  drain(child.out, child.err, &result.out, &result.err);
  result.status = exit_status(child.pid);
  return result;
}

RunningProgram::RunningProgram(const std::string& program,
                               const std::vector<std::string>& environment,
                               const std::vector<std::string>& arguments) {
  const spawned_s child = spawn(program, environment, arguments);
  pid_ = child.pid;
  out_ = child.out;
  err_ = child.err;
  if (child.in >= 0) close(child.in);
}

RunningProgram::~RunningProgram() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    finish();
  }
}

bool RunningProgram::wait_for_output(const std::string& text, int ms) {
  return wait_for(out_, &out_text_, text, ms);
}

bool RunningProgram::wait_for_error(const std::string& text, int ms) {
  return wait_for(err_, &err_text_, text, ms);
}

bool RunningProgram::wait_for(int fd, std::string* read_so_far, const std::string& text, int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (read_so_far->find(text) == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    pollfd readable{fd, POLLIN, 0};
    if (left.count() <= 0 || poll(&readable, 1, static_cast<int>(left.count())) <= 0) return false;
    char chunk[4096];
    const ssize_t got = read(fd, chunk, sizeof chunk);
    if (got <= 0) return false;
    read_so_far->append(chunk, static_cast<size_t>(got));
  }
  return true;
}

void RunningProgram::signal(int number) {
  if (pid_ > 0) kill(pid_, number);
}

ToolResult RunningProgram::finish() {
  ToolResult result;
  result.out = out_text_;
  result.err = err_text_;
  drain(out_, err_, &result.out, &result.err);
  result.status = exit_status(pid_);
  pid_ = -1;
  return result;
}

ToolResult run_tool(const ExampleCopy& copy, const std::vector<std::string>& arguments) {
  return run_tool(copy.environment(), arguments);
}
