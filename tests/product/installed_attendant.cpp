#include "installed_attendant.h"

#include <shlobj.h>
#include <shobjidl.h>
#include <tlhelp32.h>
#include <wrl/client.h>

#include <algorithm>
#include <sstream>

#include <gtest/gtest.h>

#include "installed_product.h"
#include "msi_queries.h"
#include "unique_handle.h"

namespace product_tests {

using testing_support::FileExists;

namespace {

constexpr char kBrandingKey[] = "Software\\Quillon\\Quillon Attendant";

std::string Folder(int csidl) {
  char path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) {
    ADD_FAILURE() << "no folder for CSIDL " << csidl;
  }
  return path;
}

std::string SystemProgram(const char* name) {
  char dir[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryA(dir, sizeof dir);
  if (length == 0 || length >= sizeof dir) ADD_FAILURE() << "no system directory";
  return std::string(dir) + "\\" + name;
}

DWORD RunMsiexec(const std::string& arguments) {
  return testing_support::RunProcess(testing_support::Quote(SystemProgram("msiexec.exe")) + " " + arguments, {},
                                     300000);
}

std::string ProcessImage(DWORD pid) {
  const launcher::UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  if (!process) return {};
  char path[MAX_PATH] = {};
  DWORD length = sizeof path;
  if (!QueryFullProcessImageNameA(process.get(), 0, path, &length)) return {};
  return path;
}

bool ProgramRuns(const std::string& path) {
  const launcher::UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.valid()) return false;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot.get(), &entry); more; more = Process32Next(snapshot.get(), &entry)) {
    if (lstrcmpiA(ProcessImage(entry.th32ProcessID).c_str(), path.c_str()) == 0) return true;
  }
  return false;
}

}  // namespace

std::string InstallDir() { return Folder(CSIDL_LOCAL_APPDATA) + "\\Programs\\Quillon Attendant\\"; }

std::string ShortcutPath() { return Folder(CSIDL_PROGRAMS) + "\\Quillon Attendant.lnk"; }

std::string ProductPackage(const std::string& name) {
  const std::string path = testing_support::ProgramDir() + "product-packages\\" + name;
  if (!FileExists(path)) ADD_FAILURE() << path << " is missing: run the product.packages test first";
  return path;
}

DWORD InstallWithMsiexec(const std::string& package, const std::string& properties) {
  return RunMsiexec("/i " + testing_support::Quote(package) + " /qn " + properties);
}

void RemoveEveryVersion() {
  ASSERT_TRUE(upgrade_tests::WaitForInstallerToEnd()) << "an installer still runs";
  for (const std::string& code : RelatedProducts(QMR_UPGRADE_CODE)) {
    EXPECT_EQ(0u, RunMsiexec("/x " + code + " /qn")) << "could not uninstall " << code;
  }
  EXPECT_THAT(RelatedProducts(QMR_UPGRADE_CODE), ::testing::IsEmpty());
  testing_support::RemoveTree(InstallDir());
  DeleteFileA(ShortcutPath().c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, (std::string(kBrandingKey) + "\\Installer").c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, kBrandingKey);
}

std::string InstalledProductCode() {
  const std::vector<std::string> codes = RelatedProducts(QMR_UPGRADE_CODE);
  return codes.size() == 1 ? codes.front() : std::string();
}

ShortcutTarget ReadShortcut(const std::string& path) {
  ShortcutTarget target;
  const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  {
    Microsoft::WRL::ComPtr<IShellLinkA> link;
    Microsoft::WRL::ComPtr<IPersistFile> file;
    std::wstring widePath(path.begin(), path.end());
    char text[MAX_PATH] = {};
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link))) &&
        SUCCEEDED(link.As(&file)) && SUCCEEDED(file->Load(widePath.c_str(), STGM_READ)) &&
        SUCCEEDED(link->GetPath(text, sizeof text, nullptr, SLGP_RAWPATH))) {
      target.program = text;
      if (SUCCEEDED(link->GetArguments(text, sizeof text))) target.arguments = text;
      if (SUCCEEDED(link->GetWorkingDirectory(text, sizeof text))) target.workingDir = text;
      target.read = true;
    }
  }
  if (SUCCEEDED(init)) CoUninitialize();
  return target;
}

std::string BrandingValue() {
  char value[256] = {};
  DWORD size = sizeof value;
  if (RegGetValueA(HKEY_CURRENT_USER, kBrandingKey, "BrandingKey", RRF_RT_REG_SZ, nullptr, value, &size) !=
      ERROR_SUCCESS) {
    return "<none>";
  }
  return value;
}

bool WaitForProgramToEnd(const std::string& path, DWORD milliseconds) {
  const DWORD start = GetTickCount();
  while (ProgramRuns(path)) {
    if (GetTickCount() - start > milliseconds) return false;
    Sleep(200);
  }
  return true;
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::istringstream in(testing_support::ReadFileBytes(path));
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

bool WaitForLine(const std::string& path, const std::string& line, DWORD milliseconds) {
  const DWORD start = GetTickCount();
  for (;;) {
    const std::vector<std::string> lines = ReadLines(path);
    if (std::find(lines.begin(), lines.end(), line) != lines.end()) return true;
    if (GetTickCount() - start > milliseconds) return false;
    Sleep(200);
  }
}

}  // namespace product_tests
