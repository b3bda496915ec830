// The program's own path as the launcher spells it, and what the launcher does with one it cannot
// use, under names the test gives its own module (Wine starts no program from such a path).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "launcher_fixture.h"
#include "launcher_log.h"
#include "module_name_override.h"
#include "system_paths.h"

namespace launcher_tests {
namespace {

using launcher::LauncherLog;
using ::testing::ElementsAreArray;
using testing_support::FullMatch;
using testing_support::Wide;

std::string PathOfLength(size_t length) {
  std::string path = "C:\\" + std::string(length - 3, 'p');
  path[length / 2] = '\\';
  return path;
}

class ProgramPathTest : public ::testing::Test {
 protected:
  ~ProgramPathTest() override {
    if (log_.LogHandle() != INVALID_HANDLE_VALUE && !closed_) CloseHandle(log_.LogHandle());
  }
  void SetUp() override { ASSERT_TRUE(log_.OpenLog(logPath_.c_str())); }
  std::vector<std::string> Lines() {
    CloseHandle(log_.LogHandle());
    closed_ = true;
    return LogEntries(testing_support::ReadFileBytes(logPath_));
  }
  testing_support::ScopedTempDir dir_;
  const std::string logPath_ = dir_ / "log.txt";
  LauncherLog log_;
  bool closed_ = false;
};

TEST_F(ProgramPathTest, IsSpelledLikeTheAnsiFunctionWouldOrInItsShortForm) {
  ASSERT_EQ(1252u, GetACP()) << "these names are chosen for the Western European code page";
  const std::wstring program = Wide(dir_.path()) + L"\u0141\u00f3d\u017a.exe";
  const HANDLE file = CreateFileW(program.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  CloseHandle(file);
  const std::string shortForm = testing_support::ShortPath(program);
  SCOPED_TRACE("short form given by the platform: " + shortForm);
  struct Case {
    const char* what;
    std::wstring name;
    DWORD result;
    std::string text;
    DWORD error;  // 0: not looked at
  } cases[] = {
      {"259 characters", Wide(PathOfLength(259)), 259, PathOfLength(259), 0},
      {"260 characters", Wide(PathOfLength(260)), 260, PathOfLength(260).substr(0, 259), ERROR_INSUFFICIENT_BUFFER},
      {"letter outside the code page", program, static_cast<DWORD>(shortForm.size()), shortForm, 0},
      {"and no short form", L"C:\\missing\\\u0141.exe", 0, "", ERROR_NO_UNICODE_TRANSLATION},
  };
  for (const Case& c : cases) {
    char buffer[launcher::kPathCapacity];
    DWORD result;
    DWORD error;
    {
      const ModuleNameOverride name(c.name);
      result = launcher::GetProgramPath(buffer, sizeof buffer);
      error = GetLastError();
    }
    EXPECT_EQ(c.result, result) << c.what;
    EXPECT_EQ(c.text, buffer) << c.what;
    if (c.error != 0) {
      EXPECT_EQ(c.error, error) << c.what;
    }
  }
}

TEST_F(ProgramPathTest, OfAtLeast260CharactersStartsNoChildAndReturnsZero) {
  for (size_t length : {260u, 300u}) {
    DWORD result;
    {
      const ModuleNameOverride name(Wide(PathOfLength(length)));
      result = log_.RunJvmProcess();
    }
    EXPECT_EQ(0u, result) << length;
  }
  std::vector<::testing::Matcher<std::string>> expected;
  for (size_t length : {260u, 300u}) {
    const std::vector<::testing::Matcher<std::string>> run = {"INFO | Starting JVM-launching process",
                                                              "INFO | " + PathOfLength(length).substr(0, 259),
                                                              "ERROR | GetModuleFileName was possibly truncated",
                                                              FullMatch("ERROR \\| .+ \\(0x7a\\)"),
                                                              "WARN | Failed to construct command with arguments",
                                                              "INFO | Creating child process",
                                                              "INFO | ",
                                                              "ERROR | CreateProcess failed",
                                                              FullMatch("ERROR \\| .+ \\(0x[0-9a-f]+\\)"),
                                                              "INFO | Waiting for JVM to exit",
                                                              "INFO | JVM has exited",
                                                              "ERROR | GetExitProcess(WAIT_FAILED)",
                                                              "ERROR | Invalid handle. (0x6)",
                                                              "ERROR | Failed to retrieve JVM exit code:",
                                                              "ERROR | Invalid handle. (0x6)"};
    expected.insert(expected.end(), run.begin(), run.end());
  }
  EXPECT_THAT(Lines(), ElementsAreArray(expected));
}

TEST_F(ProgramPathTest, GivesNoLogoPathFromAPathThatWasCut) {
  struct Case {
    size_t length;
    bool formed;
  } cases[] = {{259, true}, {260, false}};
  for (const Case& c : cases) {
    char logo[launcher::kPathCapacity] = {};
    bool formed;
    {
      const ModuleNameOverride name(Wide(PathOfLength(c.length)));
      formed = log_.GetLogoFilePath(logo);
    }
    EXPECT_EQ(c.formed, formed) << c.length;
    if (c.formed) {
      const std::string path = PathOfLength(c.length);
      EXPECT_EQ(path.substr(0, path.rfind('\\')) + "\\logo.png", logo);
    }
  }
  EXPECT_THAT(Lines(),
              ::testing::ElementsAre("ERROR | Failed to get current path while constructing the logo file path"));
}

}  // namespace
}  // namespace launcher_tests
