// The launcher's log line, to the byte: field widths, level padding, CR LF and the cut at 2047.
#include "log_line.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace launcher {
namespace {

std::string Line(const LogTime& time, const char* level, const std::string& text) {
  char line[kLogLineCapacity];
  FormatLogLine(line, time, level, text.c_str());
  return line;
}

TEST(LogLine, PadsEveryFieldAndTheLevel) {
  const LogTime early = {2026, 1, 2, 3, 4, 5, 6};
  struct Case {
    const char* level;
    const char* expected;
  } cases[] = {
      {"INFO", "2026-01-02 03:04:05.006 | INFO  | text\r\n"},
      {"WARN", "2026-01-02 03:04:05.006 | WARN  | text\r\n"},
      {"ERROR", "2026-01-02 03:04:05.006 | ERROR | text\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, Line(early, c.level, "text"));
  EXPECT_EQ("2026-12-31 23:59:59.999 | INFO  | \r\n", Line({2026, 12, 31, 23, 59, 59, 999}, "INFO", ""));
}

TEST(LogLine, KeepsTheTextUnchanged) {
  EXPECT_EQ("2026-01-02 03:04:05.060 | INFO  | 100% %s \\ |\r\n",
            Line({2026, 1, 2, 3, 4, 5, 60}, "INFO", "100% %s \\ |"));
}

TEST(LogLine, CutsAt2047CharactersLosingTheLineEnd) {
  const LogTime time = {2026, 1, 2, 3, 4, 5, 6};
  const std::string whole = Line(time, "INFO", std::string(2011, 'x'));
  EXPECT_EQ(2047u, whole.size());
  EXPECT_EQ("\r\n", whole.substr(2045));
  // One character more and the LF is lost; the CR still fits.
  const std::string noLineFeed = Line(time, "INFO", std::string(2012, 'x'));
  EXPECT_EQ(2047u, noLineFeed.size());
  EXPECT_EQ("x\r", noLineFeed.substr(2045));
  const std::string cut = Line(time, "INFO", std::string(2013, 'x'));
  EXPECT_EQ(2047u, cut.size());
  EXPECT_EQ("xx", cut.substr(2045));
  EXPECT_EQ(2047u, Line(time, "INFO", std::string(5000, 'x')).size());
}

}  // namespace
}  // namespace launcher
