// A launcher installed in a scratch directory for one test: the program, a Java runtime beside it,
// a working directory with the application's jar, and a temporary directory of its own.
// With the real runtime the jar is the real application, which acts out app\scenario.txt beside it
// and writes app\record.txt there; with the fake one the jar itself is the scenario.
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
  kForeign,      // a DLL for the other architecture
  kCurrent,      // the fake runtime as a current one: its jvm.dll imports a C library beside it, no msvcr100.dll
  kCurrentLibraryInWorkDir,  // the same with that C library only in the working directory
  kReal,                     // the real VM (Avian behind our jvm.dll) and the real application
  kRealCurrent,              // the real VM as a current runtime: our jvm.dll imports a C library beside it
  kForwarderToFake,          // our jvm.dll of the real runtime, forwarding to the fake runtime as avian.dll
};

struct InstallOptions {
  std::string label = "inst";  // part of the installation directory's name
  Runtime runtime = Runtime::kFake;
  bool jar = true;                // app\bootloader.jar in the working directory
  bool appBesideProgram = false;  // app\ in the installation directory instead of the working directory
  size_t programPathLength = 0;   // when set, the label is padded so the program path has this length
  std::wstring wideLabel = L"";   // when set, used instead of label: it may hold letters the code page lacks
  std::string installDir = "";    // when set, the installation directory itself (a drive's root, say)
};

class LauncherInstall {
 public:
  explicit LauncherInstall(const InstallOptions& options = {});

  // The scenario for the application, one key=value per line.
  void SetScenario(const std::string& scenario);

  // Starts the launcher with this argument text (after the program name) and returns its exit code,
  // or kNotEnded when it did not end within runTimeout().
  DWORD Run(const std::string& arguments = "");
  // A minute; ten with the real VM, whose start under emulation on a busy machine takes long.
  DWORD runTimeout() const { return real_ ? 600000 : 60000; }
  testing_support::ProcessOptions ProcessOptionsFor() const;
  // Names the program by its long path, as a user's shortcut would.
  std::wstring CommandLine(const std::string& arguments) const;

  // Paths as the launcher spells them in the ANSI code page: the short form where it lacks a letter.
  const std::string& programPath() const { return program_; }
  const std::string& installDir() const { return installDir_; }
  // The temporary directory the launcher gets: its own, or the one set with SetTempDir.
  std::string tempDir() const { return tempOverride_.empty() ? temp_.path() : tempOverride_; }
  std::string workDir() const { return work_.path(); }
  // The directory the launcher is started in: the working directory unless SetWorkingDir chose another.
  std::string startDir() const { return startOverride_.empty() ? work_.path() : startOverride_; }
  // The directory holding app\ with the jar.
  std::string appDir() const { return appBesideProgram_ ? installDir_ : work_.path(); }
  std::string parentLogPath() const { return tempDir() + "qmrat92171255414818.log"; }
  std::string childLogPath() const { return parentLogPath() + "2"; }
  std::string pendingPath() const { return tempDir() + "qmrat91828571828932.dat"; }
  std::string installerPath() const { return tempDir() + "qmrat98581827571928.msi"; }
  std::string recordPath() const { return real_ ? appDir() + "app\\record.txt" : work_ / "fake-jvm-record.txt"; }

  // Log lines as "LEVEL | text", without the time stamp.
  std::vector<std::string> ParentLog() const;
  std::vector<std::string> ChildLog() const;
  std::vector<std::string> Record() const;

  // Overrides the temporary directory handed to the launcher (TMP and TEMP).
  void SetTempDir(const std::string& dir) { tempOverride_ = dir; }
  // The same for an existing directory whose name the code page may not spell; tempDir() is then
  // its short form.
  void SetTempDir(const std::wstring& dir);
  // Starts the launcher in this directory rather than the working directory.
  void SetWorkingDir(const std::string& dir) { startOverride_ = dir; }

 private:
  testing_support::ScopedTempDir root_;
  testing_support::ScopedTempDir work_;
  testing_support::ScopedTempDir temp_;
  std::string installDir_;
  std::string program_;
  std::wstring programLong_;
  std::string tempOverride_;
  std::wstring tempOverrideLong_;
  std::string startOverride_;
  bool real_ = false;
  bool appBesideProgram_ = false;
};

// The installation's branding value in the registry, set for one test and removed afterwards. Tests
// that use it share the registry key, hence their resource lock.
class BrandingValue {
 public:
  explicit BrandingValue(const std::string& text);
  ~BrandingValue();
  BrandingValue(const BrandingValue&) = delete;
  BrandingValue& operator=(const BrandingValue&) = delete;
};

// Strips the time stamp of each line: "INFO  | text" becomes "INFO | text".
std::vector<std::string> LogEntries(const std::string& content);

// A directory path of exactly `length` characters with its trailing backslash, below base, in
// names short enough for any file system.
std::string DirOfLength(const std::string& base, size_t length);

// Full path of a file the build put beside the tests.
std::string BuiltFile(const std::string& name);

}  // namespace launcher_tests
