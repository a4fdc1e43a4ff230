// Running kvrn-prefs as a person would: a fresh copy of the example installation, the command
// with its arguments, and what it printed and returned.
#pragma once

#include "test_support.h"

#include <sys/types.h>

#include <string>
#include <vector>

struct ToolResult {
  int status = -1;  // the exit status; -1 when the program did not exit normally
  std::string out;  // standard output
  std::string err;  // standard error
};

// A copy of examples/ in a temporary directory: base/ holds kvrn/ and localization/, and
// site/, group/ and user/ are the level directories with their startup folders.
class ExampleCopy {
 public:
  ExampleCopy();
  const std::string& root() const { return dir_.path(); }
  std::string path(const std::string& relative) const { return dir_ / relative; }
  // Where the value file of level 1 to 3 lies.
  std::string value_file(int level) const;
  // The variables that point kvrn-prefs at this copy (KVRN_BASE_DIR and the level directories).
  std::vector<std::string> environment() const;

 private:
  TempDir dir_;
};

// Runs program with arguments in an environment of only PATH, HOME, TMPDIR, the sanitizers'
// options and the given variables ("NAME=value"); input, when given, is its standard input.
ToolResult run_program(const std::string& program, const std::vector<std::string>& environment,
                       const std::vector<std::string>& arguments, const std::string& input = "");
// A program that runs beside the test, started as run_program starts one.
class RunningProgram {
 public:
  RunningProgram(const std::string& program, const std::vector<std::string>& environment,
                 const std::vector<std::string>& arguments);
  // Kills the program if it still runs.
  ~RunningProgram();
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;
  // Reads its standard output until it holds text, for at most ms milliseconds; false when it
  // does not by then.
  bool wait_for_output(const std::string& text, int ms);
  // The same for its standard error.
  bool wait_for_error(const std::string& text, int ms);
  void signal(int number);
  // Waits for the program to end: its status and everything it printed.
  ToolResult finish();

 private:
  bool wait_for(int fd, std::string* read_so_far, const std::string& text, int ms);

  pid_t pid_ = -1;
  int out_ = -1;
  int err_ = -1;
  std::string out_text_;
  std::string err_text_;
};

// The same for kvrn-prefs.
ToolResult run_tool(const std::vector<std::string>& environment,
                    const std::vector<std::string>& arguments, const std::string& input = "");
// The same, on the installation of copy.
ToolResult run_tool(const ExampleCopy& copy, const std::vector<std::string>& arguments);
// The path of the examples folder of the source tree.
std::string examples_dir();
// The path of a file of the source tree, such as "doc/kvrn-prefs.md".
std::string source_file(const std::string& relative);
// The path of the kvrn-prefs program under test.
std::string tool_path();
