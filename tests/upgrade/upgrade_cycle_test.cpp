// The whole upgrade cycle with real processes: the application leaves a signed package and asks for
// the upgrade with the magic restart code, or a package is left from an earlier run; the parent
// moves, verifies and hands it to the real Windows Installer, which installs it after the launcher
// has ended. Also in temporary directories whose path the command interpreter could misread, and with
// programs planted where a search by bare name would find them. The temporary directory the code page
// cannot spell goes through the cycle with the real VM.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "installed_product.h"
#include "launcher_fixture.h"
#include "launcher_lines.h"
#include "stage_files.h"
#include "test_packages.h"
#include "upgrade_lines.h"

namespace upgrade_tests {
namespace {

using launcher_tests::Concat;
using launcher_tests::kStartBanner;
using launcher_tests::kStopBanner;
using launcher_tests::LauncherInstall;
using ::testing::Contains;
using ::testing::ElementsAreArray;
using testing_support::FileExists;
using testing_support::ReadFileBytes;

const char kMagicRestartLine[] = "INFO | JVM terminated with magic restart code. Starting automatic upgrade.";
const char kOldPackageLine[] = "INFO | Found old installation package. Attempting to remove it:";

TEST(UpgradeCycle, InstallsThePackageTheApplicationLeftWhenItEndsWithTheRestartCode) {
  LauncherInstall install;
  InstalledProduct product("install-cycle");
  install.SetScenario("copy-to-pending=" + PackagePath("install-cycle.msi") + "\nmain=exit:131415\n");

  EXPECT_EQ(131415u, install.Run());
  EXPECT_THAT(install.ParentLog(),
              ElementsAreArray(Concat(
                  Concat(Concat(launcher_tests::ParentPrologue(install), launcher_tests::SupervisionLines(install)),
                         {kMagicRestartLine}),
                  Concat(InstallerStartLines(install.installerPath()), {kStopBanner}))));
  EXPECT_THAT(install.ChildLog(), Contains(launcher_tests::kStartBanner));
  EXPECT_THAT(install.Record(), Contains("copy-to-pending " + install.pendingPath() + " ok"));
  EXPECT_FALSE(FileExists(install.pendingPath()));
  EXPECT_TRUE(HoldsPackage(install.installerPath(), "install-cycle.msi"));
  ExpectInstalled(product, "install-cycle");

  // The next start finds the used package, removes it, and runs the application as usual.
  install.SetScenario("main=return\n");
  EXPECT_EQ(0u, install.Run());
  EXPECT_THAT(install.ParentLog(), Contains("INFO | Removed old installer"));
  EXPECT_FALSE(FileExists(install.installerPath()));
}

// A cmd.exe and an msiexec.exe that a search by bare name would find first never run.
TEST(UpgradeCycle, StartsTheInstallerFromTheSystemDirectoryOnly) {
  LauncherInstall install;
  InstalledProduct product("install-planted-programs");
  CopyPackage("install-planted-programs.msi", install.pendingPath());
  std::vector<std::string> planted;
  for (const std::string& dir : {install.installDir(), install.workDir()}) {
    for (const char* name : {"cmd.exe", "msiexec.exe"}) {
      testing_support::CopyFileOrFail(launcher_tests::BuiltFile("planted_program.exe"), dir + name);
      planted.push_back(dir + name);
    }
  }

  EXPECT_EQ(0u, install.Run());
  EXPECT_THAT(install.ParentLog(),
              ElementsAreArray(Concat(Concat({kStartBanner}, InstallerStartLines(install.installerPath())),
                                      {"INFO | Installing upgrade and triggering boot", kStopBanner})));
  ExpectInstalled(product, "install-planted-programs");
  for (const std::string& program : planted) EXPECT_FALSE(FileExists(program + ".ran")) << program << " ran";
}

TEST(UpgradeCycle, InstallsAPackageLeftFromAnEarlierRunBeforeAnyChildStarts) {
  LauncherInstall install;
  InstalledProduct product("install-at-startup");
  CopyPackage("install-at-startup.msi", install.pendingPath());
  testing_support::WriteFileBytes(install.installerPath(), "the package of an earlier upgrade");

  EXPECT_EQ(0u, install.Run());
  EXPECT_THAT(install.ParentLog(),
              ElementsAreArray(Concat(Concat({kStartBanner, kOldPackageLine, "INFO | " + install.installerPath()},
                                             InstallerStartLines(install.installerPath())),
                                      {"INFO | Installing upgrade and triggering boot", kStopBanner})));
  EXPECT_FALSE(FileExists(install.childLogPath()));
  EXPECT_FALSE(FileExists(install.recordPath()));
  EXPECT_FALSE(FileExists(install.pendingPath()));
  EXPECT_TRUE(HoldsPackage(install.installerPath(), "install-at-startup.msi"));
  ExpectInstalled(product, "install-at-startup");
}

struct TempDirCase {
  std::wstring label;   // the temporary directory's name starts with it
  const char* package;  // also the product's name
};

void PrintTo(const TempDirCase& c, std::ostream* os) { *os << testing_support::Utf8(c.label); }

class UpgradeTempDir : public ::testing::TestWithParam<TempDirCase> {};

TEST_P(UpgradeTempDir, HandsTheWholePathToTheInstallerAndRunsNothingElse) {
  LauncherInstall install;
  const testing_support::ScopedTempDir temp(testing_support::Ansi(GetParam().label));
  install.SetTempDir(temp.path());
  InstalledProduct product(GetParam().package);
  const std::string installerPath = temp / launcher::kInstallerPackageName;
  CopyPackage(std::string(GetParam().package) + ".msi", temp / launcher::kPendingPackageName);

  EXPECT_EQ(0u, install.Run());
  const std::vector<std::string> log = launcher_tests::LogEntries(ReadFileBytes(temp / launcher::kLogFileName));
  EXPECT_THAT(log, ElementsAreArray(Concat(Concat({kStartBanner}, InstallerStartLines(installerPath)),
                                           {"INFO | Installing upgrade and triggering boot", kStopBanner})));
  ExpectInstalled(product, GetParam().package);
  // Unquoted, the command interpreter would have run "mkdir pwned" in its working directory, the
  // launcher's.
  EXPECT_FALSE(FileExists(install.workDir() + "pwned"));
}

// é is in the Western European code page: its path is used as it is.
INSTANTIATE_TEST_SUITE_P(BlankAmpersandAndAccent, UpgradeTempDir,
                         ::testing::Values(TempDirCase{L"temp with blank", "install-blank-temp"},
                                           TempDirCase{L"a&mkdir pwned&b", "install-ampersand-temp"},
                                           TempDirCase{L"temp \u00e9 & blank", "install-accented-temp"}));

}  // namespace
}  // namespace upgrade_tests
