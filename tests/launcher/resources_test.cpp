// The launcher's icon and manifest, read back from the built program's resources.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

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

}  // namespace
}  // namespace launcher_tests
