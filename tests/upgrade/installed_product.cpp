#include "installed_product.h"

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include "test_support.h"
#include "unique_handle.h"

namespace upgrade_tests {

namespace {

bool InstallerRuns() {
  const launcher::UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.valid()) {
    ADD_FAILURE() << "no process snapshot, error " << GetLastError();
    return false;
  }
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot.get(), &entry); more; more = Process32Next(snapshot.get(), &entry)) {
    if (lstrcmpiA(entry.szExeFile, "msiexec.exe") == 0) return true;
  }
  return false;
}

std::string ProgramFilesDir() {
  char dir[MAX_PATH] = {};
  const DWORD length = ExpandEnvironmentStringsA("%ProgramFiles%", dir, sizeof dir);
  if (length == 0 || length > sizeof dir || dir[0] == '%') ADD_FAILURE() << "no Program Files directory";
  return std::string(dir) + "\\";
}

}  // namespace

bool WaitForInstallerToEnd(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  while (InstallerRuns()) {
    if (GetTickCount() - start > milliseconds) return false;
    Sleep(100);
  }
  return true;
}

InstalledProduct::InstalledProduct(const std::string& name)
    : dir_(ProgramFilesDir() + "Quillon Upgrade Tests\\" + name + "\\") {
  EXPECT_TRUE(WaitForInstallerToEnd()) << "an installer of an earlier test still runs";
  testing_support::RemoveTree(dir_);
}

InstalledProduct::~InstalledProduct() { EXPECT_TRUE(WaitForInstallerToEnd()) << "the installer did not end"; }

bool InstalledProduct::WaitUntilInstalled(DWORD milliseconds) const {
  const DWORD start = GetTickCount();
  while (!testing_support::FileExists(payloadPath()) || !testing_support::FileExists(markerPath())) {
    if (GetTickCount() - start > milliseconds) return false;
    Sleep(100);
  }
  return WaitForInstallerToEnd(milliseconds);
}

void ExpectInstalled(const InstalledProduct& product, const std::string& name) {
  ASSERT_TRUE(product.WaitUntilInstalled()) << name << " was not installed";
  EXPECT_EQ("payload of " + name + "\r\n", testing_support::ReadFileBytes(product.payloadPath()));
  EXPECT_EQ("STARTAFTERINSTALL=1\r\n", testing_support::ReadFileBytes(product.markerPath()));
}

}  // namespace upgrade_tests
