// log_row and the logger record, in process: what the caller's log function receives, and when not.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "log_recorder.h"
#include "qmr_log.h"

namespace capture_tests {
namespace {

using ::testing::ElementsAre;

TEST(LogRow, HandsEveryLevelAndTextToTheLogger) {
  LogRecorder log;
  for (int level = 0; level <= 6; ++level) log_row(level, "level %d", level);
  EXPECT_THAT(log.entries(), ElementsAre(LogEntry{0, "level 0"}, LogEntry{1, "level 1"}, LogEntry{2, "level 2"},
                                         LogEntry{3, "level 3"}, LogEntry{4, "level 4"}, LogEntry{5, "level 5"},
                                         LogEntry{6, "level 6"}));
}

TEST(LogRow, CutsA300CharacterMessageTo254ForTheLogger) {
  LogRecorder log;
  const std::string text(300, 'q');
  log_row(3, "%s", text.c_str());
  ASSERT_EQ(1u, log.entries().size());
  EXPECT_EQ(text.substr(0, 254), log.entries()[0].text);
}

TEST(LogRow, FormatsWideTextTheWayMsvcrtDoes) {
  LogRecorder log;
  log_row(4, "Skipping %S since pre-allocated device storage is exausted", L"Cam 1");
  ASSERT_EQ(1u, log.entries().size());
  EXPECT_EQ("Skipping Cam 1 since pre-allocated device storage is exausted", log.entries()[0].text);
}

TEST(LogRow, StopsCallingALoggerThatWasRemoved) {
  LogRecorder log;
  log_row(3, "before");
  EXPECT_EQ(0, ds_set_logger(nullptr));
  log_row(3, "after");
  EXPECT_THAT(log.texts(), ElementsAre("before"));
}

TEST(LogRow, SkipsALoggerRecordWithoutAFunction) {
  ds_log_callback empty = {nullptr};
  EXPECT_EQ(0, ds_set_logger(&empty));
  log_row(5, "no function to call");  // must not crash
  EXPECT_EQ(0, ds_set_logger(nullptr));
}

TEST(LogRow, ReadsTheFunctionAnewForEveryMessage) {
  LogRecorder log;
  static int other_calls = 0;
  ds_log_callback other = {[](int, const char*) { ++other_calls; }};
  ds_set_logger(&other);
  log_row(3, "to other");
  other.callback = nullptr;
  log_row(3, "to nobody");
  EXPECT_EQ(1, other_calls);
  EXPECT_TRUE(log.entries().empty());
}

}  // namespace
}  // namespace capture_tests
