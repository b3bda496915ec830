// GetStageFile with temporary directories of every length, and names that cannot be used.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "launcher_fixture.h"
#include "launcher_log.h"

namespace launcher_tests {
namespace {

using launcher::LauncherLog;
using ::testing::ElementsAre;
using testing_support::ScopedTempDir;

// Points TMP at a directory of exactly `length` characters (with its trailing backslash) for one test.
class TempDirOverride {
 public:
  explicit TempDirOverride(const std::string& dir) : TempDirOverride(testing_support::Wide(dir)) {}
  explicit TempDirOverride(const std::wstring& dir) {
    wchar_t old[MAX_PATH] = {};
    hadOld_ = GetEnvironmentVariableW(L"TMP", old, MAX_PATH) != 0;
    old_ = old;
    SetEnvironmentVariableW(L"TMP", dir.c_str());
  }
  ~TempDirOverride() { SetEnvironmentVariableW(L"TMP", hadOld_ ? old_.c_str() : nullptr); }

 private:
  bool hadOld_;
  std::wstring old_;
};

class StageFileTest : public ::testing::Test {
 protected:
  ~StageFileTest() override {
    if (!closed_) CloseHandle(log_.LogHandle());
  }
  void SetUp() override { ASSERT_TRUE(log_.OpenLog((dir_ / "log.txt").c_str())); }
  std::vector<std::string> Lines() {
    CloseHandle(log_.LogHandle());
    closed_ = true;
    return LogEntries(testing_support::ReadFileBytes(dir_ / "log.txt"));
  }
  ScopedTempDir dir_;
  LauncherLog log_;
  bool closed_ = false;
};

TEST_F(StageFileTest, AcceptsEveryPathThatFitsTheBuffer) {
  const std::string name = "qmrat91828571828932.dat";  // 23 characters
  struct Case {
    size_t dirLength;
    bool fits;
  } cases[] = {{130, true}, {200, true}, {236, true}, {237, false}, {250, false}};
  for (const Case& c : cases) {
    const std::string dir = DirOfLength("C:\\", c.dirLength);
    TempDirOverride tmp(dir);
    char path[launcher::kPathCapacity] = {};
    EXPECT_EQ(c.fits, log_.GetStageFile(path, name.c_str())) << c.dirLength;
    if (c.fits) {
      EXPECT_EQ(dir + name, path);
    }
  }
  EXPECT_THAT(Lines(), ElementsAre("ERROR | GetStageFile failed (4)", "ERROR | GetStageFile failed (4)"));
}

TEST_F(StageFileTest, NamesATemporaryDirectoryOutsideTheCodePageByItsShortForm) {
  ASSERT_EQ(1252u, GetACP()) << "these names are chosen for the Western European code page";
  const std::wstring temp = testing_support::Wide(dir_.path()) + L"\u0141\u00f3d\u017a\\";
  ASSERT_TRUE(CreateDirectoryW(temp.c_str(), nullptr));
  const std::string shortForm = testing_support::ShortPath(temp);
  SCOPED_TRACE("short form given by the platform: " + shortForm);
  char path[launcher::kPathCapacity] = {};
  {
    TempDirOverride tmp(temp);
    ASSERT_TRUE(log_.GetStageFile(path, "qmrat91828571828932.dat"));
  }
  EXPECT_EQ(shortForm + "qmrat91828571828932.dat", path);
  {
    // Such a directory that does not exist has no short form either: no path, as for no directory.
    TempDirOverride tmp(temp + L"\u0141\\");
    path[0] = '\0';
    EXPECT_FALSE(log_.GetStageFile(path, "qmrat91828571828932.dat"));
  }
  EXPECT_THAT(Lines(), ElementsAre("ERROR | GetStageFile failed (2)"));
}

TEST_F(StageFileTest, RefusesUnusableNamesAndTemporaryDirectories) {
  char path[launcher::kPathCapacity] = {};
  EXPECT_FALSE(log_.GetStageFile(path, ""));  // silently
  EXPECT_FALSE(log_.GetStageFile(path, std::string(260, 'n').c_str()));
  EXPECT_FALSE(log_.GetStageFile(path, nullptr));
  {
    TempDirOverride tmp(DirOfLength("C:\\", 300));
    EXPECT_FALSE(log_.GetStageFile(path, "name"));
  }
  EXPECT_THAT(Lines(), ElementsAre("ERROR | GetStageFile failed (1)", "ERROR | GetStageFile failed (1)",
                                   "ERROR | GetStageFile failed (2)"));
}

}  // namespace
}  // namespace launcher_tests
