#include "launcher_fixture.h"

#include <gtest/gtest.h>

namespace launcher_tests {

using testing_support::CopyFileOrFail;
using testing_support::MakeDirs;

std::string BuiltFile(const std::string& name) { return testing_support::ProgramDir() + name; }

std::string DirOfLength(const std::string& base, size_t length) {
  std::string dir = base;
  while (dir.size() + 1 < length) dir += dir.size() - dir.rfind('\\') > 200 ? '\\' : 'd';
  dir.resize(length - 1);
  if (dir.back() == '\\') dir.back() = 'd';
  return dir + "\\";
}

namespace {

constexpr char kBrandingKey[] = "Software\\Quillon\\Quillon Attendant";

// Where the build puts the real runtime, laid out as a jre folder, and the same as a current runtime.
std::string RealJre() { return BuiltFile("real-jre\\"); }
std::string RealCurrentJre() { return BuiltFile("real-jre-current\\"); }
// The fake runtime's parts laid out as a current runtime.
std::string CurrentRuntime(const std::string& name) { return BuiltFile("current-runtime\\" + name); }

}  // namespace

LauncherInstall::LauncherInstall(const InstallOptions& options)
    : root_("root"),
      work_("work"),
      temp_("temp"),
      real_(options.runtime == Runtime::kReal || options.runtime == Runtime::kRealCurrent),
      appBesideProgram_(options.appBesideProgram) {
  std::string label = options.label;
  if (options.programPathLength != 0) {
    const size_t fixed = root_.path().size() + 1 + std::string("AttendantLauncher.exe").size();
    label.resize(options.programPathLength > fixed + 1 ? options.programPathLength - fixed : 1, 'p');
  }
  if (!options.installDir.empty()) {
    installDir_ = options.installDir;
    programLong_ = testing_support::Wide(installDir_ + "AttendantLauncher.exe");
  } else if (!options.wideLabel.empty()) {
    const std::wstring dir = testing_support::Wide(root_.path()) + options.wideLabel + L"\\";
    for (size_t at = dir.find(L'\\', root_.path().size()); at != std::wstring::npos; at = dir.find(L'\\', at + 1)) {
      CreateDirectoryW(dir.substr(0, at).c_str(), nullptr);
    }
    installDir_ = testing_support::ShortPath(dir);
    programLong_ = dir + L"AttendantLauncher.exe";
  } else {
    installDir_ = root_.path() + label + "\\";
    programLong_ = testing_support::Wide(installDir_ + "AttendantLauncher.exe");
  }
  MakeDirs(installDir_);
  CopyFileOrFail(BuiltFile("AttendantLauncher.exe"), installDir_ + "AttendantLauncher.exe");
  program_ =
      options.wideLabel.empty() ? installDir_ + "AttendantLauncher.exe" : testing_support::ShortPath(programLong_);
  const std::string bin = installDir_ + "jre\\bin\\";
  if (options.runtime != Runtime::kNone) MakeDirs(bin + "server\\");
  switch (options.runtime) {
    case Runtime::kFake:
      CopyFileOrFail(BuiltFile("msvcr100.dll"), bin + "msvcr100.dll");
      CopyFileOrFail(BuiltFile("jvm.dll"), bin + "server\\jvm.dll");
      break;
    case Runtime::kFakeNoMsvcr:
      CopyFileOrFail(BuiltFile("jvm.dll"), bin + "server\\jvm.dll");
      break;
    case Runtime::kNone:
      break;
    case Runtime::kNoExport:
      CopyFileOrFail(BuiltFile("msvcr100.dll"), bin + "msvcr100.dll");
      CopyFileOrFail(BuiltFile("msvcr100.dll"), bin + "server\\jvm.dll");
      break;
    case Runtime::kTextFile:
      CopyFileOrFail(BuiltFile("msvcr100.dll"), bin + "msvcr100.dll");
      testing_support::WriteFileBytes(bin + "server\\jvm.dll", "this is not a library\r\n");
      break;
    case Runtime::kForeign:
      CopyFileOrFail(BuiltFile("msvcr100.dll"), bin + "msvcr100.dll");
      CopyFileOrFail(BuiltFile("foreign.dll"), bin + "server\\jvm.dll");
      break;
    case Runtime::kCurrent:
    case Runtime::kCurrentLibraryInWorkDir:
      CopyFileOrFail(CurrentRuntime("jvm.dll"), bin + "server\\jvm.dll");
      CopyFileOrFail(CurrentRuntime("qmrvcrt.dll"),
                     (options.runtime == Runtime::kCurrent ? bin : work_.path()) + "qmrvcrt.dll");
      CopyFileOrFail(CurrentRuntime("qmrvcrt_1.dll"), bin + "qmrvcrt_1.dll");
      CopyFileOrFail(CurrentRuntime("fake_native.dll"), bin + "fake_native.dll");
      break;
    case Runtime::kRealCurrent:
      CopyFileOrFail(RealCurrentJre() + "bin\\qmrvcrt.dll", bin + "qmrvcrt.dll");
      CopyFileOrFail(RealCurrentJre() + "bin\\server\\jvm.dll", bin + "server\\jvm.dll");
      CopyFileOrFail(RealJre() + "bin\\server\\avian.dll", bin + "server\\avian.dll");
      break;
    case Runtime::kReal:
      CopyFileOrFail(RealJre() + "bin\\msvcr100.dll", bin + "msvcr100.dll");
      CopyFileOrFail(RealJre() + "bin\\server\\jvm.dll", bin + "server\\jvm.dll");
      CopyFileOrFail(RealJre() + "bin\\server\\avian.dll", bin + "server\\avian.dll");
      break;
    case Runtime::kForwarderToFake:
      CopyFileOrFail(BuiltFile("msvcr100.dll"), bin + "msvcr100.dll");
      CopyFileOrFail(RealJre() + "bin\\server\\jvm.dll", bin + "server\\jvm.dll");
      CopyFileOrFail(BuiltFile("jvm.dll"), bin + "server\\avian.dll");
      break;
  }
  if (options.jar) {
    MakeDirs(appDir() + "app\\");
    if (real_) CopyFileOrFail(BuiltFile("varn-app\\bootloader.jar"), appDir() + "app\\bootloader.jar");
    SetScenario("main=return\n");
  }
}

void LauncherInstall::SetScenario(const std::string& scenario) {
  MakeDirs(appDir() + "app\\");
  testing_support::WriteFileBytes(appDir() + (real_ ? "app\\scenario.txt" : "app\\bootloader.jar"), scenario);
}

void LauncherInstall::SetTempDir(const std::wstring& dir) {
  tempOverrideLong_ = dir;
  tempOverride_ = testing_support::ShortPath(dir);
}

testing_support::ProcessOptions LauncherInstall::ProcessOptionsFor() const {
  testing_support::ProcessOptions options;
  options.workingDir = startDir();
  const std::wstring temp = tempOverrideLong_.empty() ? testing_support::Wide(tempDir()) : tempOverrideLong_;
  options.wideEnv[L"TMP"] = temp;
  options.wideEnv[L"TEMP"] = temp;
  options.env["FAKE_JVM_RECORD"] = recordPath();
  return options;
}

std::wstring LauncherInstall::CommandLine(const std::string& arguments) const {
  std::wstring command = L"\"" + programLong_ + L"\"";
  if (!arguments.empty()) command += L" " + testing_support::Wide(arguments);
  return command;
}

DWORD LauncherInstall::Run(const std::string& arguments) {
  return testing_support::RunProcess(CommandLine(arguments), ProcessOptionsFor(), runTimeout());
}

std::vector<std::string> LogEntries(const std::string& content) {
  std::vector<std::string> entries;
  for (const std::string& line : testing_support::SplitLines(content)) {
    // "YYYY-MM-DD HH:MM:SS.mmm | LEVEL | text": the level starts at 26, the text at 34.
    if (line.size() < 34) {
      entries.push_back("?? " + line);
      continue;
    }
    std::string level = line.substr(26, 5);
    while (!level.empty() && level.back() == ' ') level.pop_back();
    entries.push_back(level + " | " + line.substr(34));
  }
  return entries;
}

std::vector<std::string> LauncherInstall::ParentLog() const {
  return LogEntries(testing_support::ReadFileBytes(parentLogPath()));
}

std::vector<std::string> LauncherInstall::ChildLog() const {
  return LogEntries(testing_support::ReadFileBytes(childLogPath()));
}

std::vector<std::string> LauncherInstall::Record() const {
  std::vector<std::string> lines;
  std::string text = testing_support::ReadFileBytes(recordPath());
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

BrandingValue::BrandingValue(const std::string& text) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kBrandingKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    ADD_FAILURE() << "cannot create the branding key";
    return;
  }
  RegSetValueExA(key, "BrandingKey", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>(text.size() + 1));
  RegCloseKey(key);
}

BrandingValue::~BrandingValue() { RegDeleteKeyA(HKEY_CURRENT_USER, kBrandingKey); }

}  // namespace launcher_tests
