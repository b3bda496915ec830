// Spelling the paths the launcher takes from the system in the ANSI code page, in-process.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "launcher_fixture.h"
#include "system_paths.h"

namespace launcher_tests {
namespace {

using launcher::Spelling;
using launcher::SpellPath;
using testing_support::Wide;

class SpellPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(1252u, GetACP()) << "these names are chosen for the Western European code page";
    ASSERT_TRUE(CreateDirectoryW(unspellable_.c_str(), nullptr));
  }
  testing_support::ScopedTempDir dir_;
  // Ł is missing from the code page.
  const std::wstring unspellable_ = Wide(dir_.path()) + L"\u0141\u00f3d\u017a";
};

TEST_F(SpellPathTest, GivesTheExactTextOrTheShortFormOrNothing) {
  const std::string shortForm = testing_support::ShortPath(unspellable_);
  SCOPED_TRACE("short form given by the platform: " + shortForm);
  const std::string ascii300 = "C:\\" + std::string(297, 'a');
  struct Case {
    const char* what;
    std::wstring path;
    size_t capacity;
    Spelling spelling;
    std::string text;
  } cases[] = {
      {"plain", L"C:\\plain dir\\a&b.txt", 260, Spelling::kExact, "C:\\plain dir\\a&b.txt"},
      {"letter of the code page", L"C:\\caf\u00e9\\x", 260, Spelling::kExact,
       testing_support::Ansi(L"C:\\caf\u00e9\\x")},
      {"exactly full", Wide(ascii300.substr(0, 259)), 260, Spelling::kExact, ascii300.substr(0, 259)},
      {"too long", Wide(ascii300), 260, Spelling::kTooLong, ascii300.substr(0, 259)},
      {"letter outside", unspellable_, 260, Spelling::kShortForm, shortForm},
      {"short form too long", unspellable_, shortForm.size(), Spelling::kUnspellable, ""},
      {"no short form", L"C:\\missing\\\u0141", 260, Spelling::kUnspellable, ""},
  };
  for (const Case& c : cases) {
    std::vector<char> buffer(c.capacity, 'x');
    size_t length = 99;
    EXPECT_EQ(c.spelling, SpellPath(c.path.c_str(), buffer.data(), buffer.size(), &length)) << c.what;
    EXPECT_EQ(c.text, buffer.data()) << c.what;
    EXPECT_EQ(c.text.size(), length) << c.what;
  }
}

}  // namespace
}  // namespace launcher_tests
