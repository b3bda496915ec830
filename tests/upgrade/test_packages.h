// The packages that the packages fixture builds beside the tests, looked up by file name
// ("install-cycle.msi", "signed-by-quillon.msi", "unsigned.msi", "quillon-ab.der", ...).
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace upgrade_tests {

// Full path of a built package; fails the test when the fixture has not built it.
std::string PackagePath(const std::string& name);

// Copies a built package to target, failing the test when that does not work.
void CopyPackage(const std::string& name, const std::string& target);

// Whether the file at path holds exactly the bytes of a built package; says how it differs without
// printing either file.
::testing::AssertionResult HoldsPackage(const std::string& path, const std::string& name);

}  // namespace upgrade_tests
