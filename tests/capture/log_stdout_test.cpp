// The library's standard-output lines, read from a real child process: their form, their order after
// the logger's call, the tags and the cut, with and without a logger.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "test_support.h"

namespace capture_tests {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using testing_support::ProgramDir;
using testing_support::Quote;

std::vector<std::string> ChildOutput(const std::string& mode) {
  testing_support::ScopedTempDir dir("log stdout");
  const std::string out_path = dir / "stdout.txt";
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE out = CreateFileA(out_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  EXPECT_NE(INVALID_HANDLE_VALUE, out);
  testing_support::ProcessOptions options;
  options.stdoutHandle = out;
  const DWORD code = testing_support::RunProcess(Quote(ProgramDir() + "capture_log_child.exe") + " " + mode, options);
  CloseHandle(out);
  EXPECT_EQ(0u, code) << mode;
  return testing_support::SplitLines(testing_support::ReadFileBytes(out_path));
}

const char kList2[] = "Listing devices (invalidates the old list)";
const char kList3[] = "Listing devices";
const char kNoDevices[] = "Failed to enumerate devices";

TEST(LogStdout, WritesEachLineAfterTheLoggersCall) {
  EXPECT_THAT(ChildOutput("logger"),
              ElementsAre(std::string("callback 2 ") + kList2, std::string("qmr_dshow.dll >>> DEBUG => ") + kList2,
                          std::string("callback 3 ") + kList3, std::string("qmr_dshow.dll >>>  INFO => ") + kList3,
                          std::string("callback 5 ") + kNoDevices,
                          std::string("qmr_dshow.dll >>> ERROR => ") + kNoDevices, "result 1 count 0"));
}

TEST(LogStdout, WritesEveryLineWithoutALoggerAndAfterItsRemoval) {
  const std::vector<std::string> plain = {std::string("qmr_dshow.dll >>> DEBUG => ") + kList2,
                                          std::string("qmr_dshow.dll >>>  INFO => ") + kList3,
                                          std::string("qmr_dshow.dll >>> ERROR => ") + kNoDevices, "result 1 count 0"};
  for (const char* mode : {"no-logger", "removed", "null-function"}) {
    EXPECT_THAT(ChildOutput(mode), ElementsAreArray(plain)) << mode;
  }
}

TEST(LogStdout, TagsEveryLevelAndCutsLongMessages) {
  std::vector<std::string> expected;
  const char* tags[] = {" UNKN", "TRACE", "DEBUG", " INFO", " WARN", "ERROR", " UNKN"};
  for (int level = 0; level <= 6; ++level) {
    const std::string text = "level " + std::to_string(level);
    expected.push_back("callback " + std::to_string(level) + " " + text);
    expected.push_back(std::string("qmr_dshow.dll >>> ") + tags[level] + " => " + text);
  }
  expected.push_back("callback 3 " + std::string(254, 'x'));
  expected.push_back("qmr_dshow.dll >>>  INFO => " + std::string(254, 'x'));
  EXPECT_THAT(ChildOutput("levels"), ElementsAreArray(expected));
}

}  // namespace
}  // namespace capture_tests
