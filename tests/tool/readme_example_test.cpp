// The kvrn-prefs example of the README, run as printed with the built kvrn-prefs on the PATH,
// from a folder that holds a copy of examples/ as the repository's root does: every command
// works and prints what the README shows under it.
#include <cstdlib>
#include <filesystem>

#include "tool_run.h"

namespace {

struct Step {
  std::string command;                // as printed, continuation lines included
  std::vector<std::string> expected;  // the lines printed under it
};

// The first code block after the "## kvrn-prefs" heading, cut into its commands ("$ " lines,
// with the lines that a trailing backslash continues) and the output printed under each.
std::vector<Step> example_steps(const std::string& readme) {
  std::vector<Step> steps;
  const std::size_t section = readme.find("\n## kvrn-prefs\n");
  if (section == std::string::npos) return steps;
  const std::size_t open = readme.find("\n```\n", section);
  const std::size_t close = readme.find("\n```\n", open + 1);
  if (open == std::string::npos || close == std::string::npos) return steps;
  bool continued = false;
  for (const std::string& line : lines_of(readme.substr(open + 5, close + 1 - (open + 5)))) {
    if (continued) {
      steps.back().command += "\n" + line;
    } else if (line.rfind("$ ", 0) == 0) {
      steps.push_back({line.substr(2), {}});
    } else if (!steps.empty()) {
      steps.back().expected.push_back(line);
    }
    continued = !line.empty() && line.back() == '\\' && (continued || line.rfind("$ ", 0) == 0);
  }
  return steps;
}

// Whether line reads as expected, where "..." in expected stands for any text.
bool matches(const std::string& line, const std::string& expected) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t at; (at = expected.find("...", start)) != std::string::npos; start = at + 3) {
    parts.push_back(expected.substr(start, at - start));
  }
  parts.push_back(expected.substr(start));
  if (parts.size() == 1) return line == expected;
  if (line.compare(0, parts.front().size(), parts.front()) != 0) return false;
  std::size_t at = parts.front().size();
  for (std::size_t i = 1; i + 1 < parts.size(); ++i) {
    at = line.find(parts[i], at);
    if (at == std::string::npos) return false;
    at += parts[i].size();
  }
  return line.size() >= at + parts.back().size() &&
         line.compare(line.size() - parts.back().size(), std::string::npos, parts.back()) == 0;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

}  // namespace

TEST(ReadmeExample, RunsAsPrinted) {
  const std::string readme = read_file(examples_dir() + "/../README.md");
  const std::vector<Step> steps = example_steps(readme);
  ASSERT_GE(steps.size(), 5u) << "no kvrn-prefs example found in README.md";

  // The README's work folder /tmp/x becomes one of the test's own, so that runs never meet.
  TempDir root;
  std::filesystem::copy(examples_dir(), root / "examples",
                        std::filesystem::copy_options::recursive);
  const std::string work = root / "x";
  std::string script = "exec 2>&1\ncd '" + root.path() + "' || exit 1\n";
  for (std::size_t i = 0; i < steps.size(); ++i) {
    script += "printf '@@@ step %d\\n' " + std::to_string(i) + "\n" +
              replaced(steps[i].command, "/tmp/x", work) +
              "\nprintf '\\n@@@ status %d\\n' \"$?\"\n";
  }
  write_file(root / "example.sh", script);

  // A person's environment: only the PATH (the built kvrn-prefs first) and a home.
  const std::string binary = KVRN_PREFS_BINARY;
  std::string environment = "PATH='" + binary.substr(0, binary.rfind('/')) + ":" +
                            (std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin") +
                            "' HOME='" + root.path() + "'";
  for (const char* kept : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
    if (const char* value = std::getenv(kept)) {
      environment += std::string(" ") + kept + "='" + value + "'";
    }
  }
  ASSERT_EQ(std::system(("env -i " + environment + " bash '" + (root / "example.sh") + "' >'" +
                         (root / "output") + "'")
                            .c_str()),
            0);

  // Each step's output, and its exit status.
  std::vector<std::vector<std::string>> outputs(steps.size());
  std::vector<int> statuses(steps.size(), -1);
  int step = -1;
  for (const std::string& line : lines_of(read_file(root / "output"))) {
    if (line.rfind("@@@ step ", 0) == 0) {
      step = std::atoi(line.c_str() + 9);
    } else if (line.rfind("@@@ status ", 0) == 0 && step >= 0) {
      statuses[step] = std::atoi(line.c_str() + 11);
    } else if (step >= 0) {
      outputs[step].push_back(line);
    }
  }
  for (std::size_t i = 0; i < steps.size(); ++i) {
    SCOPED_TRACE("$ " + steps[i].command);
    const std::vector<std::string>& expected = steps[i].expected;
    const bool refusal = !expected.empty() && expected[0].rfind("kvrn-prefs: ", 0) == 0;
    std::string actual;
    for (const std::string& line : outputs[i]) actual += line + "\n";
    EXPECT_EQ(statuses[i] != 0, refusal) << "status " << statuses[i] << "\n" << actual;
    // The printed lines come in order; standard error may add lines of its own.
    std::size_t at = 0;
    for (const std::string& line : expected) {
      const std::string wanted = replaced(line, "/tmp/x", work);
      while (at < outputs[i].size() && !matches(outputs[i][at], wanted)) ++at;
      EXPECT_LT(at, outputs[i].size()) << "missing: " << line << "\n" << actual;
      if (at == outputs[i].size()) break;
      ++at;
    }
  }
}
