// An installed x86 product moving to x64, as users must once their Java runtime is 64-bit only: the
// x86 version 1 (its launcher and its 32-bit VM, from the x86 build tree) leaves the x64 version 2's
// package and asks for the restart, and the ordinary self-upgrade replaces it. Built into the x64
// tree's tests only, whose prefix runs both; skipped when the tree was configured without an x86 tree.
#include "installed_attendant_fixture.h"

namespace product_tests {
namespace {

DWORD BinaryType(const std::string& path) {
  DWORD type = 0xFFFFFFFF;
  if (!GetBinaryTypeA(path.c_str(), &type)) ADD_FAILURE() << "no binary type for " << path;
  return type;
}

class ArchitectureMove : public InstalledAttendant {
 protected:
  void SetUp() override {
#ifndef QMR_X86_PACKAGE
    GTEST_SKIP() << "no x86 build tree was named (configure with -DQMR_X86_BUILD_DIR=<the x86 build tree>)";
#endif
    InstalledAttendant::SetUp();
  }
  void TearDown() override {
    if (!IsSkipped()) InstalledAttendant::TearDown();
  }
};

TEST_F(ArchitectureMove, AnX86InstallationMovesToX64ThroughItsOwnUpgrade) {
  const std::string version1 = InstallVersion1("product-1-x86.msi");
  ASSERT_EQ(static_cast<DWORD>(SCS_32BIT_BINARY), BinaryType(Launcher()));
  EXPECT_EQ(131415u, StartFromShortcut("copy-to-pending=" + ProductPackage("product-2.msi") + "\nmain=exit:131415\n"));
  const auto runs = RunsOf(kVersion1);
  ASSERT_THAT(runs, SizeIs(1));
  EXPECT_THAT(runs.front(), Contains("property os.arch=x86"));
  EXPECT_THAT(ParentLog(), Contains("INFO | Upgrade process was successfully started"));
  ExpectVersion2Replaced(version1);

  // Only the x64 product is left, and it came up on the 64-bit VM.
  EXPECT_EQ(static_cast<DWORD>(SCS_64BIT_BINARY), BinaryType(Launcher()));
  const auto upgraded = RunsOf(kVersion2);
  ASSERT_THAT(upgraded, SizeIs(1));
  EXPECT_THAT(upgraded.front(), Contains("property os.arch=x86_64"));
}

}  // namespace
}  // namespace product_tests
