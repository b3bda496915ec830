// The version the build gave each binary and the installer, read back through the platform: the
// version API for the binaries' resources, Windows Installer for the package.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "msi_queries.h"
#include "test_support.h"
#include "version_info.h"

namespace product_tests {
namespace {

struct BinaryCase {
  const char* path;  // under the test program's directory
  const char* version;
  const char* description;
  DWORD fileType;
};

void PrintTo(const BinaryCase& c, std::ostream* os) { *os << c.path; }

class BinaryVersion : public ::testing::TestWithParam<BinaryCase> {};

TEST_P(BinaryVersion, CarriesTheVersionItWasBuiltWith) {
  const BinaryCase& c = GetParam();
  const VersionInfo info = ReadVersionInfo(testing_support::ProgramDir() + c.path);
  ASSERT_TRUE(info.found) << c.path << " has no version resource";
  EXPECT_EQ(FourPartVersion(c.version), info.fileVersion);
  EXPECT_EQ(FourPartVersion(c.version), info.productVersion);
  EXPECT_EQ(c.fileType, info.fileType);
  const std::string name = std::string(c.path).substr(std::string(c.path).rfind('\\') + 1);
  const std::map<std::string, std::string> expected = {
      {"CompanyName", QMR_COMPANY},      {"FileDescription", c.description},
      {"FileVersion", c.version},        {"InternalName", name.substr(0, name.find('.'))},
      {"LegalCopyright", QMR_COPYRIGHT}, {"OriginalFilename", name},
      {"ProductName", QMR_PRODUCT_NAME}, {"ProductVersion", c.version}};
  EXPECT_EQ(expected, info.strings);
}

INSTANTIATE_TEST_SUITE_P(
    Shipped, BinaryVersion,
    ::testing::Values(
        BinaryCase{"AttendantLauncher.exe", QMR_VERSION, "Quillon Attendant launcher", VFT_APP},
        BinaryCase{"qmr_dshow.dll", QMR_VERSION, "Quillon Attendant video capture library", VFT_DLL},
        // What the upgrade tests install as version 2: only the version differs.
        BinaryCase{"next\\AttendantLauncher.exe", QMR_NEXT_VERSION, "Quillon Attendant launcher", VFT_APP},
        BinaryCase{"next\\qmr_dshow.dll", QMR_NEXT_VERSION, "Quillon Attendant video capture library", VFT_DLL}));

TEST(InstallerVersion, CarriesTheVersionItWasBuiltWith) {
  const std::string installer = testing_support::ProgramDir() + QMR_INSTALLER_NAME;
  ASSERT_TRUE(testing_support::FileExists(installer));
  EXPECT_EQ(QMR_VERSION, PackageProperty(installer, "ProductVersion"));
  EXPECT_EQ(QMR_PRODUCT_NAME, PackageProperty(installer, "ProductName"));
  EXPECT_EQ(QMR_COMPANY, PackageProperty(installer, "Manufacturer"));
  EXPECT_EQ(QMR_UPGRADE_CODE, PackageProperty(installer, "UpgradeCode"));
  // Installs the binaries of its own architecture; an x64 package refuses 32-bit Windows.
  EXPECT_EQ(sizeof(void*) == 8 ? "x64;1033" : "Intel;1033", PackageTemplate(installer));
}

}  // namespace
}  // namespace product_tests
