// The launcher's parent started where Wine may take a stand-in msi.dll for its own, with the stand-in
// told which certificate to report and where to record its calls.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "launcher_fixture.h"
#include "launcher_lines.h"
#include "test_packages.h"

namespace upgrade_tests {

// Whether this program runs under the override that lets Wine load a native msi.dll; CTest sets it.
inline bool NativeMsiAllowed() {
  char overrides[64] = {};
  GetEnvironmentVariableA("WINEDLLOVERRIDES", overrides, sizeof overrides);
  return std::string(overrides) == "msi=n,b";
}

// Runs the parent with the stand-in's settings; returns its exit code.
inline DWORD RunWithFakeMsi(const launcher_tests::LauncherInstall& install, const std::string& record) {
  testing_support::ProcessOptions options = install.ProcessOptionsFor();
  options.env["FAKE_MSI_CERTIFICATE"] = PackagePath("quillon-ab.der");
  options.env["FAKE_MSI_RECORD"] = record;
  return testing_support::RunProcess(install.CommandLine(""), options);
}

// The parent's whole log when the package found at start-up does not verify, with what the
// verification logged between "Verifying installer" and the rejection.
inline std::vector<std::string> RejectedAtStartLog(const launcher_tests::LauncherInstall& install,
                                                   const std::vector<std::string>& verification) {
  using launcher_tests::Concat;
  const std::vector<std::string> rejection = {
      "WARN | Upgrade did not verify. Skipping and deleting it!",
      "ERROR | Failed to remove used installer:", "ERROR | " + install.installerPath(),
      "ERROR | Last error:", "ERROR | File not found. (0x2)"};
  return Concat(
      Concat(Concat(Concat({launcher_tests::kStartBanner, "INFO | Verifying installer"}, verification), rejection),
             launcher_tests::SupervisionLines(install)),
      {"INFO | JVM terminated with exit code: 0", launcher_tests::kStopBanner});
}

}  // namespace upgrade_tests
