// What a test package installs, and waiting for the Windows Installer, which runs on by itself after
// whoever started it has ended. Used from the test's main thread.
#pragma once

#include <windows.h>

#include <string>

namespace upgrade_tests {

// A package named NAME installs "Program Files\Quillon Upgrade Tests\NAME\payload.txt"; its custom
// action leaves started-after-install.txt beside it only when STARTAFTERINSTALL="1" reached it.
class InstalledProduct {
 public:
  // Removes what an earlier run may have left there, once no installer runs any more.
  explicit InstalledProduct(const std::string& name);
  // Waits for the installer to end, so that the next test's installation is not refused.
  ~InstalledProduct();
  InstalledProduct(const InstalledProduct&) = delete;
  InstalledProduct& operator=(const InstalledProduct&) = delete;

  // True once the payload and the marker are there and no installer runs any more.
  bool WaitUntilInstalled(DWORD milliseconds = 60000) const;

  std::string payloadPath() const { return dir_ + "payload.txt"; }
  std::string markerPath() const { return dir_ + "started-after-install.txt"; }

 private:
  std::string dir_;
};

// Waits for the package NAME to be installed, and checks its payload and that it was told to start
// the application again.
void ExpectInstalled(const InstalledProduct& product, const std::string& name);

// Waits until no msiexec process runs in the prefix; false when one still runs after the time.
bool WaitForInstallerToEnd(DWORD milliseconds = 120000);

}  // namespace upgrade_tests
