// Each scenario starts the module, which runs once per process: a run that selects more than
// one scenario, or repeats one, is refused before any scenario starts.
#include <cstdio>
#include <cstdlib>

#include "test_support.h"

namespace {

class OneScenarioPerProcess : public testing::Environment {
 public:
  void SetUp() override {
    const int selected = testing::UnitTest::GetInstance()->test_to_run_count();
    if (selected <= 1 && GTEST_FLAG_GET(repeat) == 1) return;
    std::fprintf(stderr,
                 "veru_scenarios: refused: each scenario starts the module, which runs once per "
                 "process, so one run takes one scenario (%d selected, repeat %d). Run them all "
                 "with ctest in the build directory, or one with --gtest_filter=Suite.Name "
                 "(--gtest_list_tests lists them).\n",
                 selected, static_cast<int>(GTEST_FLAG_GET(repeat)));
    std::exit(2);
  }
};

[[maybe_unused]] const testing::Environment* const environment =
    testing::AddGlobalTestEnvironment(new OneScenarioPerProcess);

}  // namespace
