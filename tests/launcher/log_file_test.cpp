// The launcher's log file in-process: opening with the purge, appending, and the last-error line.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "launcher_fixture.h"
#include "launcher_log.h"
#include "unique_handle.h"

namespace launcher_tests {
namespace {

using launcher::LauncherLog;
using ::testing::ElementsAre;
using testing_support::ReadFileBytes;
using testing_support::ScopedTempDir;

class OpenLogTest : public ::testing::Test {
 protected:
  ~OpenLogTest() override {
    if (!closed_ && log_.LogHandle() != INVALID_HANDLE_VALUE) CloseHandle(log_.LogHandle());
  }
  void CloseLog() {
    CloseHandle(log_.LogHandle());
    closed_ = true;
  }
  ScopedTempDir dir_;
  std::string path_ = dir_ / "launcher.log";
  LauncherLog log_;
  bool closed_ = false;
};

TEST_F(OpenLogTest, PurgesAFileAboveTheLimitButNotAtIt) {
  struct Case {
    size_t size;
    bool purged;
  } cases[] = {{2097152, false}, {2097153, true}};
  for (const Case& c : cases) {
    ScopedTempDir dir;
    const std::string path = dir / "sized.log";
    testing_support::WriteFileBytes(path, std::string(c.size, 'a'));
    LauncherLog log;
    ASSERT_TRUE(log.OpenLog(path.c_str()));
    log.WriteLog("INFO", "next");
    CloseHandle(log.LogHandle());
    const std::string content = ReadFileBytes(path);
    if (c.purged) {
      EXPECT_THAT(LogEntries(content), ElementsAre("INFO | Purged log file that had grown too big", "INFO | next"));
    } else {
      ASSERT_EQ(c.size + 40, content.size()) << "the file is appended to";
      EXPECT_EQ(std::string(c.size, 'a'), content.substr(0, c.size));
      EXPECT_THAT(LogEntries(content.substr(c.size)), ElementsAre("INFO | next"));
    }
  }
}

TEST_F(OpenLogTest, AppendsToAnOversizedFileThatCannotBeDeleted) {
  testing_support::WriteFileBytes(path_, std::string(2097153, 'a'));
  // Another launcher holding the file: writes are shared, deletion is not.
  {
    launcher::UniqueFile holder(CreateFileA(path_.c_str(), FILE_APPEND_DATA, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder.valid());
    ASSERT_TRUE(log_.OpenLog(path_.c_str()));
    log_.WriteLog("WARN", "still here");
    CloseLog();
  }
  const std::string content = ReadFileBytes(path_);
  EXPECT_EQ(2097153u + 46, content.size());
  EXPECT_THAT(LogEntries(content.substr(2097153)), ElementsAre("WARN | still here"));
}

TEST_F(OpenLogTest, StaysClosedWhenTheFileCannotBeOpened) {
  struct Case {
    const char* what;
    std::string path;
  } cases[] = {{"missing directory", dir_ / "missing\\launcher.log"}, {"held without sharing", path_}};
  launcher::UniqueFile exclusive(
      CreateFileA(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(exclusive.valid());
  for (const Case& c : cases) {
    LauncherLog log;
    EXPECT_FALSE(log.OpenLog(c.path.c_str())) << c.what;
    EXPECT_EQ(INVALID_HANDLE_VALUE, log.LogHandle()) << c.what;
    log.WriteLog("INFO", "lost");  // must be a no-op, not a crash
  }
  EXPECT_FALSE(testing_support::FileExists(dir_ / "missing\\launcher.log"));
}

TEST_F(OpenLogTest, WritesEachLineWholeWithItsTimeStamp) {
  ASSERT_TRUE(log_.OpenLog(path_.c_str()));
  log_.WriteLog("INFO", "one");
  log_.WriteLog("ERROR", "");
  CloseLog();
  const std::string content = ReadFileBytes(path_);
  const auto lines = testing_support::SplitLines(content);
  ASSERT_EQ(2u, lines.size());
  EXPECT_THAT(lines[0], testing_support::FullMatch("20[0-9][0-9]-[01][0-9]-[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9]"
                                                   "\\.[0-9][0-9][0-9] \\| INFO  \\| one"));
  EXPECT_EQ(" | ERROR | ", lines[1].substr(23));
  EXPECT_EQ("\r\n", content.substr(content.size() - 2));
}

TEST_F(OpenLogTest, LogsTheLastErrorWithItsTextAndCode) {
  ASSERT_TRUE(log_.OpenLog(path_.c_str()));
  EXPECT_FALSE(DeleteFileA((dir_ / "does-not-exist").c_str()));
  log_.LogLastError();
  // The text of 193 has an insert ("%1"): it must come back as it stands, not empty.
  SetLastError(ERROR_BAD_EXE_FORMAT);
  log_.LogLastError();
  SetLastError(0x2000FFFF);  // a code without a system text
  log_.LogLastError();
  CloseLog();
  EXPECT_THAT(LogEntries(ReadFileBytes(path_)),
              ElementsAre("ERROR | File not found. (0x2)", "ERROR | Bad EXE format for %1. (0xc1)", "ERROR | "));
}

}  // namespace
}  // namespace launcher_tests
