// LoadSystemLibrary: platform DLLs from the system directory only, also on a Windows that refuses the
// search flag for it (Windows 7 without update KB2533623), made here by refusing the flag in-process.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "import_override.h"
#include "system_functions.h"

namespace launcher_tests {
namespace {

using ::testing::ElementsAre;

std::vector<std::string> g_loads;  // each load the launcher asked for: "name flags"
DWORD g_refusal = 0;
void* g_platformLoad = nullptr;

HMODULE WINAPI RefuseSystemSearch(LPCSTR name, HANDLE file, DWORD flags) {
  char flagText[16];
  std::snprintf(flagText, sizeof flagText, " 0x%lx", static_cast<unsigned long>(flags));
  g_loads.push_back(std::string(name) + flagText);
  if ((flags & LOAD_LIBRARY_SEARCH_SYSTEM32) != 0) {
    SetLastError(g_refusal);
    return nullptr;
  }
  return reinterpret_cast<decltype(&LoadLibraryExA)>(g_platformLoad)(name, file, flags);
}

std::string SystemDirectory() {
  char dir[MAX_PATH] = {};
  GetSystemDirectoryA(dir, MAX_PATH);
  return dir;
}

std::string ModulePath(HMODULE module) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(module, path, MAX_PATH);
  return path;
}

bool SamePath(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

TEST(SystemLibrary, ComesFromTheSystemDirectory) {
  const HMODULE msi = launcher::LoadSystemLibrary("msi.dll");
  ASSERT_NE(nullptr, msi);
  EXPECT_PRED2(SamePath, SystemDirectory() + "\\msi.dll", ModulePath(msi));
}

// The launcher's loads go through RefuseSystemSearch while a test of this suite runs.
class SystemLibraryRefused : public ::testing::Test {
 protected:
  void SetUp() override {
    g_platformLoad = load_.original();
    ASSERT_NE(nullptr, g_platformLoad);
    g_loads.clear();
  }

  ImportOverride load_{"KERNEL32.dll", "LoadLibraryExA", reinterpret_cast<void*>(&RefuseSystemSearch)};
};

TEST_F(SystemLibraryRefused, IsLoadedByItsFullSystemPathWhereTheSearchFlagIsRefused) {
  g_refusal = ERROR_INVALID_PARAMETER;
  const HMODULE crypt32 = launcher::LoadSystemLibrary("crypt32.dll");
  ASSERT_NE(nullptr, crypt32);
  EXPECT_PRED2(SamePath, SystemDirectory() + "\\crypt32.dll", ModulePath(crypt32));
  EXPECT_THAT(g_loads, ElementsAre("crypt32.dll 0x800", SystemDirectory() + "\\crypt32.dll 0x8"));
}

TEST_F(SystemLibraryRefused, IsNotLookedForElsewhereWhenTheSystemDirectoryLacksIt) {
  g_refusal = ERROR_MOD_NOT_FOUND;
  EXPECT_EQ(nullptr, launcher::LoadSystemLibrary("no-such-library.dll"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
  EXPECT_THAT(g_loads, ElementsAre("no-such-library.dll 0x800"));
}

}  // namespace
}  // namespace launcher_tests
