#include "msi_queries.h"

#include <windows.h>
//
#include <msi.h>
#include <msiquery.h>

namespace product_tests {

namespace {

class MsiHandle {
 public:
  MsiHandle() = default;
  ~MsiHandle() {
    if (handle_ != 0) MsiCloseHandle(handle_);
  }
  MsiHandle(const MsiHandle&) = delete;
  MsiHandle& operator=(const MsiHandle&) = delete;
  MSIHANDLE get() const { return handle_; }
  MSIHANDLE* out() { return &handle_; }

 private:
  MSIHANDLE handle_ = 0;
};

bool ReadRegistryValues(HKEY root, const std::string& key, std::map<std::string, std::string>* values) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD nameLength = sizeof name;
    char data[1024];
    DWORD dataLength = sizeof data - 1;
    DWORD type = 0;
    const LONG result =
        RegEnumValueA(opened, i, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataLength);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS) continue;
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
      data[dataLength] = '\0';
      (*values)[name] = data;
    } else if (type == REG_DWORD) {
      (*values)[name] = std::to_string(*reinterpret_cast<DWORD*>(data));
    }
  }
  RegCloseKey(opened);
  return true;
}

}  // namespace

std::string PackageProperty(const std::string& package, const std::string& name) {
  MsiHandle database;
  if (MsiOpenDatabaseA(package.c_str(), MSIDBOPEN_READONLY, database.out()) != ERROR_SUCCESS) return {};
  const std::string query = "SELECT `Value` FROM `Property` WHERE `Property` = '" + name + "'";
  MsiHandle view;
  if (MsiDatabaseOpenViewA(database.get(), query.c_str(), view.out()) != ERROR_SUCCESS) return {};
  MsiHandle record;
  if (MsiViewExecute(view.get(), 0) != ERROR_SUCCESS || MsiViewFetch(view.get(), record.out()) != ERROR_SUCCESS) {
    return {};
  }
  char value[512] = {};
  DWORD length = sizeof value;
  if (MsiRecordGetStringA(record.get(), 1, value, &length) != ERROR_SUCCESS) return {};
  return value;
}

std::string PackageTemplate(const std::string& package) {
  MsiHandle summary;
  if (MsiGetSummaryInformationA(0, package.c_str(), 0, summary.out()) != ERROR_SUCCESS) return {};
  UINT type = 0;
  INT number = 0;
  FILETIME time = {};
  char value[128] = {};
  DWORD length = sizeof value;
  if (MsiSummaryInfoGetPropertyA(summary.get(), PIDSI_TEMPLATE, &type, &number, &time, value, &length) !=
      ERROR_SUCCESS) {
    return {};
  }
  return value;
}

std::vector<std::string> RelatedProducts(const std::string& upgradeCode) {
  std::vector<std::string> products;
  char code[39];
  for (DWORD i = 0; MsiEnumRelatedProductsA(upgradeCode.c_str(), 0, i, code) == ERROR_SUCCESS; ++i) {
    products.push_back(code);
  }
  return products;
}

std::string InstalledVersion(const std::string& productCode) {
  char version[64] = {};
  DWORD length = sizeof version;
  if (MsiGetProductInfoA(productCode.c_str(), INSTALLPROPERTY_VERSIONSTRING, version, &length) != ERROR_SUCCESS) {
    return {};
  }
  return version;
}

std::map<std::string, std::string> UninstallEntry(const std::string& productCode) {
  const std::string key = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + productCode;
  std::map<std::string, std::string> values;
  if (!ReadRegistryValues(HKEY_CURRENT_USER, key, &values)) ReadRegistryValues(HKEY_LOCAL_MACHINE, key, &values);
  return values;
}

}  // namespace product_tests
