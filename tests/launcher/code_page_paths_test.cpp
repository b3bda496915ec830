// Installation and temporary directories whose names the ANSI code page cannot spell: the launcher
// works through their short (8.3) forms, and names the real directories everywhere. Names the code
// page can spell keep their long form in every line.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "launcher_fixture.h"
#include "launcher_lines.h"

namespace launcher_tests {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using testing_support::FileExists;
using testing_support::Wide;

// "Łódź": Ł and ź are missing from the Western European code page, ó is in it.
const std::wstring kUnspellable = L"\u0141\u00f3d\u017a";

// The long form of an existing path, so that a test can show which directory a short form names.
std::wstring LongForm(const std::string& path) {
  wchar_t longForm[1024] = {};
  const DWORD length = GetLongPathNameW(Wide(path).c_str(), longForm, 1024);
  return length == 0 || length >= 1024 ? std::wstring() : std::wstring(longForm, length);
}

class CodePagePaths : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(1252u, GetACP()) << "these names are chosen for the Western European code page"; }
};

TEST_F(CodePagePaths, AnInstallationDirectoryOutsideTheCodePageStartsTheApplication) {
  InstallOptions options;
  options.wideLabel = kUnspellable + L"-app";
  LauncherInstall install(options);
  SCOPED_TRACE("short form given by the platform: " + install.programPath());
  install.SetScenario("main=exit:7\n");

  EXPECT_EQ(7u, install.Run());
  EXPECT_THAT(install.ParentLog(), ElementsAreArray(Concat(Concat(ParentPrologue(install), SupervisionLines(install)),
                                                           {"INFO | JVM terminated with exit code: 7", kStopBanner})));
  const std::string bin = install.installDir() + "jre\\bin\\";
  EXPECT_THAT(install.ChildLog(),
              ElementsAre(kStartBanner, "ERROR | Could not open registry key", "WARN | Failed to get branding",
                          "INFO | Launching JVM", "INFO | Loading msvcr:", "INFO | " + bin + "msvcr100.dll",
                          "INFO | Loading JVM:", "INFO | " + bin + "server\\jvm.dll"));
  const auto jvmOptions = Options(install);
  ASSERT_EQ(5u, jvmOptions.size());
  EXPECT_EQ("-Dqmr.logofile=" + install.installDir() + "logo.png", jvmOptions[4]);
  EXPECT_THAT(LongForm(install.installDir()), ::testing::EndsWith(L"\\" + kUnspellable + L"-app\\"));
}

TEST_F(CodePagePaths, ATemporaryDirectoryOutsideTheCodePageHoldsBothLogsAndThePendingPath) {
  LauncherInstall install;
  const std::wstring temp = Wide(install.tempDir()) + kUnspellable + L"\\";
  ASSERT_TRUE(CreateDirectoryW(temp.c_str(), nullptr));
  install.SetTempDir(temp);
  SCOPED_TRACE("short form given by the platform: " + install.tempDir());

  EXPECT_EQ(0u, install.Run());
  EXPECT_THAT(LongForm(install.tempDir()), ::testing::EndsWith(L"\\" + kUnspellable + L"\\"));
  EXPECT_THAT(install.ParentLog(), ElementsAreArray(Concat(Concat(ParentPrologue(install), SupervisionLines(install)),
                                                           {"INFO | JVM terminated with exit code: 0", kStopBanner})));
  EXPECT_THAT(install.ChildLog(), Contains(kStopBanner));
  const auto options = Options(install);
  ASSERT_EQ(5u, options.size());
  EXPECT_EQ("-Dqmr.pending=" + install.pendingPath(), options[2]);
}

TEST_F(CodePagePaths, NamesTheCodePageSpellsKeepTheirLongFormInEveryLine) {
  InstallOptions options;
  options.label = testing_support::Ansi(L"Attendant \u00e9 & dir");
  LauncherInstall install(options);
  const testing_support::ScopedTempDir temp(testing_support::Ansi(L"temp \u00e9 & dir"));
  install.SetTempDir(temp.path());
  install.SetScenario("main=exit:7\n");

  EXPECT_EQ(7u, install.Run());
  const auto parentLog = install.ParentLog();
  EXPECT_THAT(parentLog, ElementsAreArray(Concat(Concat(ParentPrologue(install), SupervisionLines(install)),
                                                 {"INFO | JVM terminated with exit code: 7", kStopBanner})));
  EXPECT_THAT(parentLog, Contains(::testing::HasSubstr(options.label)));
  EXPECT_THAT(parentLog, Contains(::testing::HasSubstr(temp.path())));
  const std::string bin = install.installDir() + "jre\\bin\\";
  EXPECT_THAT(install.ChildLog(), Contains("INFO | " + bin + "server\\jvm.dll"));
  EXPECT_THAT(Options(install), ElementsAre("-Djava.class.path=app\\bootloader.jar", "-Dqmr.msi=true",
                                            "-Dqmr.pending=" + temp.path() + "qmrat91828571828932.dat",
                                            "-Dqmr.branding=", "-Dqmr.logofile=" + install.installDir() + "logo.png"));
}

// Where the short form does not fit the path buffer either, the program path cannot be formed: the
// parent fails to start the child as for a path that was cut, and a child started by hand loads the
// runtime through the relative path and hands the application an empty logo path.
TEST_F(CodePagePaths, WithoutAShortFormThatFitsThePathIsNotFormed) {
  InstallOptions options;
  // Each one-letter name has a short form of eight characters: the long path fits, the short one not.
  for (int depth = 0; depth < 30; ++depth) options.wideLabel += (depth == 0 ? L"" : L"\\") + kUnspellable.substr(0, 1);
  LauncherInstall install(options);
  SCOPED_TRACE("short form given by the platform: " + install.programPath());
  ASSERT_GT(install.programPath().size(), 259u);

  EXPECT_EQ(0u, install.Run());
  std::vector<::testing::Matcher<std::string>> expected;
  for (const auto& line : ParentPrologue(install)) expected.push_back(line);
  const std::vector<::testing::Matcher<std::string>> start = {
      "INFO | Starting JVM-launching process", "INFO | ",
      "ERROR | Failed to get module filename:", testing_support::FullMatch("ERROR \\| .+ \\(0x459\\)")};
  expected.insert(expected.end(), start.begin(), start.end());
  const auto rest = UnformedChildLines();
  expected.insert(expected.end(), rest.begin(), rest.end());
  EXPECT_THAT(install.ParentLog(), ElementsAreArray(expected));
  EXPECT_FALSE(FileExists(install.childLogPath()));

  const std::string relativeRuntime = install.workDir() + "jre\\bin\\server\\";
  testing_support::MakeDirs(relativeRuntime);
  testing_support::CopyFileOrFail(BuiltFile("jvm.dll"), relativeRuntime + "jvm.dll");
  EXPECT_EQ(0u, install.Run("forked"));
  EXPECT_THAT(install.ChildLog(),
              ElementsAre(kStartBanner, "ERROR | Could not open registry key", "WARN | Failed to get branding",
                          "ERROR | Failed to get current path while constructing the logo file path",
                          "WARN | Failed to get logo file path", "INFO | Launching JVM",
                          "ERROR | Failed to get module filename:", "ERROR | ",
                          "WARN | Failed to strip file name from path:", "WARN | ",
                          "INFO | Loading jvm.dll using relative path", kStopBanner));
  EXPECT_THAT(Options(install), Contains("-Dqmr.logofile="));
  EXPECT_THAT(install.Record(), Contains("DestroyJavaVM"));
}

}  // namespace
}  // namespace launcher_tests
