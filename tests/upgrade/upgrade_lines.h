// Log lines of the upgrade installation that several tests expect.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace upgrade_tests {

// What InstallUpgrade logs from the verification to the installer's start, for a package that
// verifies, at the given installer path.
inline std::vector<std::string> InstallerStartLines(const std::string& installerPath) {
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  const std::string dir = system;
  return {"INFO | Verifying installer", "INFO | Starting upgrade using:",
          "INFO | \"" + dir + "\\cmd.exe\" /D /V:OFF /C start \"\" \"" + dir + "\\msiexec.exe\" /i \"" + installerPath +
              "\" /passive /norestart INSTALLUILEVEL_HIDECANCEL=\"1\" STARTAFTERINSTALL=\"1\"",
          "INFO | Upgrade process was successfully started"};
}

}  // namespace upgrade_tests
