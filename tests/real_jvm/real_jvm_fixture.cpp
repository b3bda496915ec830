#include "real_jvm_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "unique_handle.h"

namespace real_jvm_tests {

using launcher_tests::LauncherInstall;

std::map<std::string, std::string> RecordedProperties(const LauncherInstall& install) {
  std::map<std::string, std::string> properties;
  for (const std::string& line : install.Record()) {
    if (line.rfind("property ", 0) != 0) continue;
    const size_t eq = line.find('=');
    if (eq != std::string::npos) properties[line.substr(9, eq - 9)] = line.substr(eq + 1);
  }
  return properties;
}

bool WaitForRecordLine(const LauncherInstall& install, const std::string& line, DWORD milliseconds) {
  const DWORD start = GetTickCount();
  for (;;) {
    const auto record = install.Record();
    if (std::find(record.begin(), record.end(), line) != record.end()) return true;
    if (GetTickCount() - start > milliseconds) return false;
    Sleep(50);
  }
}

void ReplaceJar(const LauncherInstall& install, const std::string& name) {
  testing_support::CopyFileOrFail(launcher_tests::BuiltFile("test-jars\\" + name + ".jar"),
                                  install.appDir() + "app\\bootloader.jar");
}

DWORD RunCapturingOutput(const LauncherInstall& install, const std::string& arguments, std::string* output) {
  testing_support::ScopedTempDir dir("output");
  const std::string path = dir / "output.txt";
  DWORD code = testing_support::kNotEnded;
  {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    const launcher::UniqueFile file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                &inherit, CREATE_ALWAYS, 0, nullptr));
    if (!file.valid()) {
      ADD_FAILURE() << "cannot create " << path << " error " << GetLastError();
      return code;
    }
    testing_support::ProcessOptions options = install.ProcessOptionsFor();
    options.stdoutHandle = file.get();
    code = testing_support::RunProcess(install.CommandLine(arguments), options, install.runTimeout());
  }
  *output = testing_support::ReadFileBytes(path);
  return code;
}

}  // namespace real_jvm_tests
