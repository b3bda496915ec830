// The launcher's icon and manifest, read back from the built program's resources.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <objbase.h>

#include <cstddef>
#include <set>
#include <vector>

#include "launcher_fixture.h"

namespace launcher_tests {
namespace {

#pragma pack(push, 2)
struct IconDirEntry {
  BYTE width, height, colors, reserved;
  WORD planes, bitCount;
  DWORD bytes;
  WORD id;
};
struct IconDir {
  WORD reserved, type, count;
  IconDirEntry entries[1];
};
#pragma pack(pop)

class LauncherResources : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryExA(BuiltFile("AttendantLauncher.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module_);
  }
  void TearDown() override { FreeLibrary(module_); }
  std::string Resource(LPCSTR name, LPCSTR type) {
    HRSRC found = FindResourceA(module_, name, type);
    if (found == nullptr) return {};
    const char* data = static_cast<const char*>(LockResource(LoadResource(module_, found)));
    return std::string(data, SizeofResource(module_, found));
  }
  HMODULE module_ = nullptr;
};

TEST_F(LauncherResources, IconHasSixSizesOf32Bits) {
  const std::string group = Resource(MAKEINTRESOURCEA(1), RT_GROUP_ICON);
  ASSERT_GE(group.size(), sizeof(IconDir));
  const auto* dir = reinterpret_cast<const IconDir*>(group.data());
  std::set<int> sizes;
  for (WORD i = 0; i < dir->count; ++i) {
    const IconDirEntry& entry = dir->entries[i];
    EXPECT_EQ(32, entry.bitCount);
    EXPECT_EQ(entry.width, entry.height);
    sizes.insert(entry.width == 0 ? 256 : entry.width);
    const std::string image = Resource(MAKEINTRESOURCEA(entry.id), RT_ICON);
    EXPECT_EQ(entry.bytes, image.size());
    // 256 px as PNG, the others as 32 bpp bitmaps.
    if (entry.width == 0) {
      EXPECT_EQ("\x89PNG", image.substr(0, 4));
    } else {
      ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER));
      const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(image.data());
      EXPECT_EQ(entry.width, header->biWidth);
      EXPECT_EQ(32, header->biBitCount);
    }
  }
  EXPECT_EQ((std::set<int>{16, 32, 48, 64, 128, 256}), sizes);
}

TEST_F(LauncherResources, ManifestAsksForNoElevationAndCommonControls6) {
  const std::string manifest = Resource(MAKEINTRESOURCEA(1), RT_MANIFEST);
  EXPECT_THAT(manifest, ::testing::HasSubstr("level=\"asInvoker\""));
  EXPECT_THAT(manifest, ::testing::HasSubstr("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""));
}

// The program's identity and its common controls are of its own architecture: an x64 launcher that
// named x86 ones got the 32-bit common controls bound for every DLL that imports them, so msi.dll
// failed to load (0x7e) and no message box appeared.
TEST_F(LauncherResources, ManifestNamesTheProgramsOwnArchitecture) {
  const std::string manifest = Resource(MAKEINTRESOURCEA(1), RT_MANIFEST);
  const std::string own = sizeof(void*) == 8 ? "amd64" : "x86";
  size_t named = 0;
  for (size_t at = manifest.find("processorArchitecture=\""); at != std::string::npos;
       at = manifest.find("processorArchitecture=\"", at + 1)) {
    const size_t value = at + std::string("processorArchitecture=\"").size();
    EXPECT_EQ(own, manifest.substr(value, manifest.find('"', value) - value));
    ++named;
  }
  EXPECT_EQ(2u, named);  // the program's identity and its dependency
}

// The compatibility section as the platform returns it today: the Windows 10 SDK added the highest
// version tested to each element, which the headers here still lack.
struct CompatibilityElement {
  GUID id;
  ACTCTX_COMPATIBILITY_ELEMENT_TYPE type;
  ULONGLONG maxVersionTested;
};
struct CompatibilityInformation {
  DWORD count;
  CompatibilityElement elements[1];
};
static_assert(sizeof(CompatibilityElement) == 32, "element as the platform lays it out");
static_assert(offsetof(CompatibilityInformation, elements) == 8, "elements after the count, 8-aligned");

// The manifest as the platform's loader reads it: an activation context made from the program's
// resource reports the Windows versions and the DPI awareness the program declares.
class LauncherActivationContext : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = BuiltFile("AttendantLauncher.exe");
    ACTCTXA context = {};
    context.cbSize = sizeof context;
    context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.lpSource = path_.c_str();
    context.lpResourceName = MAKEINTRESOURCEA(1);
    context_ = CreateActCtxA(&context);
    ASSERT_NE(INVALID_HANDLE_VALUE, context_) << "the manifest does not parse, error " << GetLastError();
  }
  void TearDown() override {
    if (context_ != INVALID_HANDLE_VALUE) ReleaseActCtx(context_);
  }
  std::wstring Setting(const wchar_t* nameSpace, const wchar_t* name) {
    wchar_t value[128] = {};
    SIZE_T written = 0;
    if (!QueryActCtxSettingsW(0, context_, nameSpace, name, value, sizeof value / sizeof value[0], &written)) {
      return L"<error " + std::to_wstring(GetLastError()) + L">";
    }
    return value;
  }
  std::string path_;
  HANDLE context_ = INVALID_HANDLE_VALUE;
};

TEST_F(LauncherActivationContext, DeclaresWindows7To11) {
  SIZE_T size = 0;
  QueryActCtxW(0, context_, nullptr, CompatibilityInformationInActivationContext, nullptr, 0, &size);
  ASSERT_GE(size, sizeof(DWORD)) << "no compatibility section, error " << GetLastError();
  std::vector<char> buffer(size);
  ASSERT_TRUE(
      QueryActCtxW(0, context_, nullptr, CompatibilityInformationInActivationContext, buffer.data(), size, &size));
  const auto* info = reinterpret_cast<const CompatibilityInformation*>(buffer.data());
  ASSERT_GE(size, offsetof(CompatibilityInformation, elements) + info->count * sizeof(CompatibilityElement));
  std::set<std::string> ids;
  for (DWORD i = 0; i < info->count; ++i) {
    EXPECT_EQ(ACTCTX_COMPATIBILITY_ELEMENT_TYPE_OS, info->elements[i].type);
    wchar_t text[40] = {};
    StringFromGUID2(info->elements[i].id, text, 40);
    ids.insert(std::string(text, text + wcslen(text)));
  }
  EXPECT_EQ((std::set<std::string>{"{35138B9A-5D96-4FBD-8E2D-A2440225F93A}",    // 7
                                   "{4A2F28E3-53B9-4441-BA9C-D69D4A4A6E38}",    // 8
                                   "{1F676C76-80E1-4239-95BB-83D0F6D0DA78}",    // 8.1
                                   "{8E0F7A12-BFB3-4FE8-B9A5-48FD50A15A9A}"}),  // 10 and 11
            ids);
}

TEST_F(LauncherActivationContext, IsPerMonitorDpiAware) {
  EXPECT_EQ(L"true/pm", Setting(nullptr, L"dpiAware"));
  EXPECT_EQ(L"PerMonitorV2, PerMonitor",
            Setting(L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness"));
}

TEST_F(LauncherActivationContext, KeepsNoElevation) {
  ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION level = {};
  ASSERT_TRUE(
      QueryActCtxW(0, context_, nullptr, RunlevelInformationInActivationContext, &level, sizeof level, nullptr));
  EXPECT_EQ(ACTCTX_RUN_LEVEL_AS_INVOKER, level.RunLevel);
  EXPECT_EQ(0u, level.UiAccess);
}

}  // namespace
}  // namespace launcher_tests
