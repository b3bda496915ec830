// The bounded text operations: what each reports when a text fits, does not fit, or the arguments
// are unusable. Runs natively under the sanitizers and under Wine.
#include "bounded_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace launcher {
namespace {

TEST(FormatBounded, FitsExactlyOrIsCutAtCapacityMinusOne) {
  struct Case {
    size_t capacity;
    const char* text;
    int32_t result;
    const char* kept;
  } cases[] = {
      {8, "1234567", kTextOk, "1234567"},
      {8, "12345678", kTextInsufficientBuffer, "1234567"},
      {8, "", kTextOk, ""},
      {1, "x", kTextInsufficientBuffer, ""},
  };
  for (const Case& c : cases) {
    char buffer[16];
    std::memset(buffer, 'z', sizeof buffer);
    EXPECT_EQ(c.result, FormatBounded(buffer, c.capacity, "%s", c.text)) << c.text;
    EXPECT_STREQ(c.kept, buffer) << c.text;
  }
}

TEST(FormatBounded, RefusesCapacityZeroAndAboveTheLimit) {
  char buffer[4] = "abc";
  EXPECT_EQ(kTextInvalidArgument, FormatBounded(buffer, 0, "%s", "x"));
  EXPECT_STREQ("abc", buffer);  // capacity 0: nothing may be written
  EXPECT_EQ(kTextInvalidArgument, FormatBounded(buffer, kMaxTextCapacity + 1, "%s", "x"));
  EXPECT_STREQ("", buffer);
}

TEST(AppendBounded, AppendsWhatFitsOverTheWholeBuffer) {
  struct Case {
    const char* start;
    const char* text;
    int32_t result;
    const char* kept;
  } cases[] = {
      {"abc", "defg", kTextOk, "abcdefg"},
      {"abc", "defgh", kTextInsufficientBuffer, "abcdefg"},
      {"abcdefg", "h", kTextInsufficientBuffer, "abcdefg"},
      {"", "", kTextOk, ""},
  };
  for (const Case& c : cases) {
    char buffer[8] = {};
    std::strcpy(buffer, c.start);
    EXPECT_EQ(c.result, AppendBounded(buffer, sizeof buffer, c.text)) << c.start << "+" << c.text;
    EXPECT_STREQ(c.kept, buffer);
  }
}

TEST(AppendBounded, LeavesTheBufferAloneOnInvalidArguments) {
  char unterminated[4] = {'a', 'b', 'c', 'd'};
  EXPECT_EQ(kTextInvalidArgument, AppendBounded(unterminated, sizeof unterminated, "x"));
  EXPECT_EQ(0, std::memcmp(unterminated, "abcd", 4));
  char buffer[4] = "ab";
  EXPECT_EQ(kTextInvalidArgument, AppendBounded(buffer, 0, "x"));
  EXPECT_EQ(kTextInvalidArgument, AppendBounded(buffer, kMaxTextCapacity + 1, "x"));
  EXPECT_STREQ("ab", buffer);
}

TEST(MeasureBounded, AcceptsUpTo259Characters) {
  size_t length = 99;
  EXPECT_EQ(kTextOk, MeasureBounded(std::string(259, 'a').c_str(), &length));
  EXPECT_EQ(259u, length);
  EXPECT_EQ(kTextOk, MeasureBounded("", &length));
  EXPECT_EQ(0u, length);
  length = 99;
  EXPECT_EQ(kTextInvalidArgument, MeasureBounded(std::string(260, 'a').c_str(), &length));
  EXPECT_EQ(0u, length);
  length = 99;
  EXPECT_EQ(kTextInvalidArgument, MeasureBounded(nullptr, &length));
  EXPECT_EQ(0u, length);
}

TEST(FormatStrict, EmptiesTheBufferWhenTheTextDoesNotFit) {
  char buffer[8];
  EXPECT_EQ(7, FormatStrict(buffer, sizeof buffer, "%s", "1234567"));
  EXPECT_STREQ("1234567", buffer);
  EXPECT_EQ(-1, FormatStrict(buffer, sizeof buffer, "%s", "12345678"));
  EXPECT_STREQ("", buffer);
  EXPECT_EQ(-1, FormatStrict(buffer, 0, "%s", ""));
}

TEST(FormatCounted, ReportsTheCompleteLengthAndKeepsWhatFits) {
  char buffer[8];
  EXPECT_EQ(7, FormatCounted(buffer, sizeof buffer, "%s", "1234567"));
  EXPECT_STREQ("1234567", buffer);
  EXPECT_EQ(10, FormatCounted(buffer, sizeof buffer, "%s", "1234567890"));
  EXPECT_STREQ("1234567", buffer);
}

}  // namespace
}  // namespace launcher
