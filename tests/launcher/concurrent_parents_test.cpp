// Several launchers started at once share one log file; every line of every process must land whole.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "launcher_fixture.h"

namespace launcher_tests {
namespace {

using testing_support::Process;

TEST(ConcurrentParents, WriteOneLogWhoseLinesAreAllWhole) {
  constexpr int kParents = 4;
  LauncherInstall install;
  install.SetScenario("sleep=300\nmain=return\n");
  std::vector<std::unique_ptr<Process>> parents;
  for (int i = 0; i < kParents; ++i) {
    parents.push_back(std::make_unique<Process>(install.CommandLine(""), install.ProcessOptionsFor()));
  }
  for (auto& parent : parents) EXPECT_EQ(0u, parent->Wait());

  const ::testing::Matcher<std::string> whole = testing_support::FullMatch(
      "20[0-9][0-9]-[0-9][0-9]-[0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9]\\.[0-9][0-9][0-9] \\| (INFO |WARN |ERROR) "
      "\\| .*");
  const std::string parentLog = testing_support::ReadFileBytes(install.parentLogPath());
  const auto parentLines = testing_support::SplitLines(parentLog);
  EXPECT_EQ(15u * kParents, parentLines.size());
  EXPECT_THAT(parentLines, ::testing::Each(whole));
  EXPECT_EQ("\r\n", parentLog.substr(parentLog.size() - 2));
  const auto childLines = testing_support::SplitLines(testing_support::ReadFileBytes(install.childLogPath()));
  EXPECT_EQ(9u * kParents, childLines.size());
  EXPECT_THAT(childLines, ::testing::Each(whole));
}

}  // namespace
}  // namespace launcher_tests
