// The capture library's log line: level tags, the 254-character cut and the standard-output form.
#include "log_format.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Format(const char* format, ...) {
  char buffer[LOG_MESSAGE_BUFFER];
  va_list args;
  va_start(args, format);
  log_format_message(buffer, format, args);
  va_end(args);
  return buffer;
}

std::string Line(int level, const std::string& message) {
  char line[LOG_LINE_BUFFER];
  const size_t length = log_format_line(line, log_level_tag(level), message.c_str());
  EXPECT_EQ(std::string(line).size(), length);
  return line;
}

TEST(CaptureLogTags, GivesEachLevelItsFiveCharacterTag) {
  const struct {
    int level;
    const char* tag;
  } cases[] = {{0, " UNKN"}, {1, "TRACE"}, {2, "DEBUG"},  {3, " INFO"},         {4, " WARN"},
               {5, "ERROR"}, {6, " UNKN"}, {-1, " UNKN"}, {0x7fffffff, " UNKN"}};
  for (const auto& c : cases) EXPECT_STREQ(c.tag, log_level_tag(c.level)) << c.level;
}

TEST(CaptureLogMessage, CutsLongTextsToTheirFirst254Characters) {
  const struct {
    size_t length;
    size_t kept;
  } cases[] = {{0, 0}, {253, 253}, {254, 254}, {255, 254}, {300, 254}, {1000, 254}};
  for (const auto& c : cases) {
    std::string text;
    for (size_t i = 0; i < c.length; ++i) text += static_cast<char>('a' + i % 26);
    EXPECT_EQ(text.substr(0, c.kept), Format("%s", text.c_str())) << c.length;
  }
}

TEST(CaptureLogMessage, CutsAfterExpansionNotBeforeIt) {
  const std::string head(250, 'x');
  EXPECT_EQ(head + "1234", Format("%s%d", head.c_str(), 123456789));
}

TEST(CaptureLogMessage, FormatsTheLibrarysConversions) {
  EXPECT_EQ("Skipping iSize = 96", Format("Skipping iSize = %d", 96));
  EXPECT_EQ("NV12 (3231564e)", Format("%s (%x)", "NV12", 0x3231564eu));
  EXPECT_EQ("code (-2147221164)", Format("code (%lld)", static_cast<long long>(-2147221164LL)));
#ifdef _WIN32
  // msvcrt's dialect: %S takes a UTF-16 string even in the single-byte formatter.
  EXPECT_EQ("Found device using 'Cam A'", Format("Found device using '%S'", L"Cam A"));
#endif
}

TEST(CaptureLogLine, JoinsFileNameTagArrowAndText) {
  EXPECT_EQ("qmr_dshow.dll >>>  INFO => Listing devices\n", Line(3, "Listing devices"));
  EXPECT_EQ("qmr_dshow.dll >>> ERROR => x\n", Line(5, "x"));
  EXPECT_EQ("qmr_dshow.dll >>>  UNKN => \n", Line(9, ""));
  const std::string longest(LOG_MESSAGE_MAX, 'm');
  EXPECT_EQ("qmr_dshow.dll >>> DEBUG => " + longest + "\n", Line(2, longest));
}

}  // namespace
