#include "test_packages.h"

#include "test_support.h"

namespace upgrade_tests {

std::string PackagePath(const std::string& name) {
  const std::string path = testing_support::ProgramDir() + "packages\\" + name;
  if (!testing_support::FileExists(path)) ADD_FAILURE() << path << " is missing: run the packages.build test first";
  return path;
}

void CopyPackage(const std::string& name, const std::string& target) {
  testing_support::CopyFileOrFail(PackagePath(name), target);
}

::testing::AssertionResult HoldsPackage(const std::string& path, const std::string& name) {
  if (!testing_support::FileExists(path)) return ::testing::AssertionFailure() << path << " does not exist";
  const std::string held = testing_support::ReadFileBytes(path);
  const std::string package = testing_support::ReadFileBytes(PackagePath(name));
  if (held == package) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << path << " holds " << held.size() << " bytes that are not those of " << name
                                       << " (" << package.size() << " bytes)";
}

}  // namespace upgrade_tests
