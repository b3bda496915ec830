// The product as installed for the prefix's user by the Windows Installer: where it lives, its Start
// menu shortcut, installing and removing it, and starting it the way a user does. Used from the test's
// main thread.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace product_tests {

// "...\Programs\Quillon Attendant\" under the user's local application data.
std::string InstallDir();
std::string ShortcutPath();

// A package that the product-packages fixture built: "product-1.msi", "product-2.msi", ...
std::string ProductPackage(const std::string& name);

// Runs msiexec /i with the given properties (already quoted where needed) and returns its exit code.
DWORD InstallWithMsiexec(const std::string& package, const std::string& properties = "");

// Uninstalls every version of the product and removes what they may have left; fails the test when
// that does not work.
void RemoveEveryVersion();

// The product's one installed version: its product code, or empty when none or several are installed.
std::string InstalledProductCode();

// What the Start menu shortcut starts.
struct ShortcutTarget {
  bool read = false;
  std::string program;
  std::string arguments;
  std::string workingDir;
};
ShortcutTarget ReadShortcut(const std::string& path);

// The branding value the launcher reads, or "<none>" when there is none.
std::string BrandingValue();

// Waits until no process runs the program at this full path.
bool WaitForProgramToEnd(const std::string& path, DWORD milliseconds);

// The file's lines, whether they end in LF or CR LF.
std::vector<std::string> ReadLines(const std::string& path);

// Waits until the file holds a line equal to `line`.
bool WaitForLine(const std::string& path, const std::string& line, DWORD milliseconds);

}  // namespace product_tests
