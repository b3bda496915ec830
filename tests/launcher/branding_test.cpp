// Reading the branding value from the registry and forming the logo path, in-process. Each test uses
// a key of its own, so these run in parallel with everything else.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "launcher_fixture.h"
#include "launcher_log.h"

namespace launcher_tests {
namespace {

using launcher::LauncherLog;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing_support::ScopedTempDir;

class ScratchKey {
 public:
  ScratchKey() {
    path_ = "Software\\QmrLauncherTests\\" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter_++);
    RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
  }
  ~ScratchKey() {
    RegCloseKey(key_);
    RegDeleteKeyA(HKEY_CURRENT_USER, path_.c_str());
  }
  void Set(DWORD type, const std::string& bytes) {
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key_, "BrandingKey", 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                            static_cast<DWORD>(bytes.size())));
  }
  const std::string& path() const { return path_; }

 private:
  static inline int counter_ = 0;
  std::string path_;
  HKEY key_ = nullptr;
};

struct Outcome {
  bool result;
  std::string branding;
  std::vector<std::string> lines;
};

Outcome ReadWith(const std::string& subKey) {
  ScopedTempDir dir;
  LauncherLog log;
  log.OpenLog((dir / "log.txt").c_str());
  char buffer[64] = {};
  buffer[63] = '\0';
  Outcome outcome;
  outcome.result = log.ReadBrandingKey(subKey.c_str(), buffer);
  EXPECT_EQ('\0', buffer[63]) << "the last byte is never written";
  outcome.branding = buffer;
  CloseHandle(log.LogHandle());
  outcome.lines = LogEntries(testing_support::ReadFileBytes(dir / "log.txt"));
  return outcome;
}

TEST(ReadBrandingKey, ReadsTextsThatFitIn63Bytes) {
  struct Case {
    const char* what;
    std::string stored;  // bytes as stored, terminator included where there is one
    std::string expected;
  } cases[] = {
      {"plain", std::string("Brand X") + '\0', "Brand X"},
      {"62 characters and terminator", std::string(62, 'b') + '\0', std::string(62, 'b')},
      {"empty value", std::string(1, '\0'), ""},
      {"no terminator", "Unterminated", "Unterminated"},
      {"no bytes at all", "", ""},
  };
  for (const Case& c : cases) {
    ScratchKey key;
    key.Set(REG_SZ, c.stored);
    const Outcome outcome = ReadWith(key.path());
    EXPECT_TRUE(outcome.result) << c.what;
    EXPECT_EQ(c.expected, outcome.branding) << c.what;
    EXPECT_THAT(outcome.lines, IsEmpty()) << c.what;
  }
}

TEST(ReadBrandingKey, RefusesWhatCannotBeTheBranding) {
  struct Case {
    const char* what;
    DWORD type;
    std::string stored;
    const char* line;
  } cases[] = {
      {"63 characters and terminator", REG_SZ, std::string(63, 'b') + '\0', "ERROR | Could not read registry value"},
      {"REG_EXPAND_SZ", REG_EXPAND_SZ, std::string("%TEMP%") + '\0', "ERROR | Incorrect registry value type"},
      {"REG_DWORD", REG_DWORD, std::string(4, '\1'), "ERROR | Incorrect registry value type"},
  };
  for (const Case& c : cases) {
    ScratchKey key;
    key.Set(c.type, c.stored);
    const Outcome outcome = ReadWith(key.path());
    EXPECT_FALSE(outcome.result) << c.what;
    EXPECT_THAT(outcome.lines, ElementsAre(c.line)) << c.what;
  }
}

TEST(ReadBrandingKey, ReportsAMissingKeyOrValue) {
  ScratchKey key;  // exists, without the value
  Outcome outcome = ReadWith(key.path());
  EXPECT_FALSE(outcome.result);
  EXPECT_THAT(outcome.lines, ElementsAre("ERROR | Could not read registry value"));
  outcome = ReadWith(key.path() + "-absent");
  EXPECT_FALSE(outcome.result);
  EXPECT_THAT(outcome.lines, ElementsAre("ERROR | Could not open registry key"));
}

TEST(GetLogoFilePath, NamesLogoPngBesideTheProgramWhetherOrNotItExists) {
  LauncherLog log;
  char buffer[launcher::kPathCapacity] = {};
  ASSERT_TRUE(log.GetLogoFilePath(buffer));
  EXPECT_EQ(testing_support::ProgramDir() + "logo.png", buffer);
  EXPECT_FALSE(testing_support::FileExists(buffer));
}

}  // namespace
}  // namespace launcher_tests
