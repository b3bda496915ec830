// What Windows Installer knows about a package file and about the installed product. Used from the
// test's main thread.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace product_tests {

// A value of the package's Property table; empty when the package or the property is missing.
std::string PackageProperty(const std::string& package, const std::string& name);

// The package's platform and languages from its summary information ("Intel;1033", "x64;1033"); empty
// when it cannot be read.
std::string PackageTemplate(const std::string& package);

// Product codes of every installed version with this upgrade code.
std::vector<std::string> RelatedProducts(const std::string& upgradeCode);

// Installed version of a product ("x.y.z"), empty when it is not installed.
std::string InstalledVersion(const std::string& productCode);

// The product's entry in the list of installed programs (DisplayName, DisplayVersion, Publisher, ...),
// from the current user's or the machine's Uninstall key; empty when there is none.
std::map<std::string, std::string> UninstallEntry(const std::string& productCode);

}  // namespace product_tests
