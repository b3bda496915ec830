// A launcher installed in a scratch directory for one test: the program, a Java runtime beside it,
// a working directory with the application's jar, and a temporary directory of its own.
#pragma once

#include <string>
#include <vector>

#include "test_support.h"

namespace launcher_tests {

enum class Runtime {
  kFake,         // the fake runtime, with its C library
  kFakeNoMsvcr,  // the fake runtime without msvcr100.dll
  kNone,         // no jre folder at all
  kNoExport,     // a jvm.dll that does not export JNI_CreateJavaVM
  kTextFile,     // a text file named jvm.dll
  kForeign64,    // a 64-bit DLL
};

struct InstallOptions {
  std::string label = "inst";  // part of the installation directory's name
  Runtime runtime = Runtime::kFake;
  bool jar = true;               // app\bootloader.jar in the working directory
  size_t programPathLength = 0;  // when set, the label is padded so the program path has this length
  std::wstring wideLabel = L"";  // when set, used instead of label: it may hold letters the code page lacks
  std::string installDir = "";   // when set, the installation directory itself (a drive's root, say)
};

class LauncherInstall {
 public:
  explicit LauncherInstall(const InstallOptions& options = {});

  // The scenario for the fake runtime's application, one key=value per line.
  void SetScenario(const std::string& scenario);

  // Starts the launcher with this argument text (after the program name) and returns its exit code.
  DWORD Run(const std::string& arguments = "");
  testing_support::ProcessOptions ProcessOptionsFor() const;
  // Names the program by its long path, as a user's shortcut would.
  std::wstring CommandLine(const std::string& arguments) const;

  // Paths as the launcher spells them in the ANSI code page: the short form where it lacks a letter.
  const std::string& programPath() const { return program_; }
  const std::string& installDir() const { return installDir_; }
  // The temporary directory the launcher gets: its own, or the one set with SetTempDir.
  std::string tempDir() const { return tempOverride_.empty() ? temp_.path() : tempOverride_; }
  std::string workDir() const { return work_.path(); }
  std::string parentLogPath() const { return tempDir() + "qmrat92171255414818.log"; }
  std::string childLogPath() const { return parentLogPath() + "2"; }
  std::string pendingPath() const { return tempDir() + "qmrat91828571828932.dat"; }
  std::string installerPath() const { return tempDir() + "qmrat98581827571928.msi"; }
  std::string recordPath() const { return work_ / "fake-jvm-record.txt"; }

  // Log lines as "LEVEL | text", without the time stamp.
  std::vector<std::string> ParentLog() const;
  std::vector<std::string> ChildLog() const;
  std::vector<std::string> Record() const;

  // Overrides the temporary directory handed to the launcher (TMP and TEMP).
  void SetTempDir(const std::string& dir) { tempOverride_ = dir; }
  // The same for an existing directory whose name the code page may not spell; tempDir() is then
  // its short form.
  void SetTempDir(const std::wstring& dir);

 private:
  testing_support::ScopedTempDir root_;
  testing_support::ScopedTempDir work_;
  testing_support::ScopedTempDir temp_;
  std::string installDir_;
  std::string program_;
  std::wstring programLong_;
  std::string tempOverride_;
  std::wstring tempOverrideLong_;
};

// Strips the time stamp of each line: "INFO  | text" becomes "INFO | text".
std::vector<std::string> LogEntries(const std::string& content);

// A directory path of exactly `length` characters with its trailing backslash, below base, in
// names short enough for any file system.
std::string DirOfLength(const std::string& base, size_t length);

// Full path of a file the build put beside the tests.
std::string BuiltFile(const std::string& name);

}  // namespace launcher_tests
