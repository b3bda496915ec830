#include <windows.h>
// After windows.h, which they need.
#include <msi.h>
#include <wincrypt.h>

#include <cstring>
#include <cwchar>
#include <memory>
#include <new>

#include "bounded_text.h"
#include "launcher_log.h"
#include "system_functions.h"
#include "system_paths.h"
#include "unique_handle.h"

namespace launcher {

namespace {

// Compared as UTF-16 code units, whole: the ANSI name would be a best-fit conversion of the
// certificate's Unicode text (fullwidth letters become plain ones), and a terminated-string comparison
// stops at a NUL inside the name.
constexpr wchar_t kExpectedSigner[] = L"Quillon AB";
constexpr size_t kExpectedSignerUnits = sizeof kExpectedSigner / sizeof kExpectedSigner[0];  // with the terminator
constexpr size_t kCommandCapacity = 520;
constexpr WORD kFileSignatureOrdinal = 223;
// Without MSI_INVALID_HASH_IS_FATAL the signer certificate is delivered even for a package whose
// hash does not match.
constexpr DWORD kSignatureFlags = MSI_INVALID_HASH_IS_FATAL;

using FileSignatureFunction = decltype(&MsiGetFileSignatureInformationA);

bool IsPresent(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

// The name for the log, in the ANSI code page without best fit: what it cannot spell, and any NUL
// inside the name, shows as "?".
void SpellForLog(const wchar_t* name, DWORD units, char* buffer, size_t capacity) {
  // A long name is cut: no code unit takes more than three bytes.
  const int taken = static_cast<int>(units < (capacity - 1) / 3 ? units : (capacity - 1) / 3);
  const bool utf8 = GetACP() == CP_UTF8;  // spells everything, and takes neither flag nor default
  const int written = WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, name, taken, buffer,
                                          static_cast<int>(capacity - 1), utf8 ? nullptr : "?", nullptr);
  const size_t length = written > 0 ? static_cast<size_t>(written) : 0;
  for (size_t i = 0; i < length; ++i) {
    if (buffer[i] == '\0') buffer[i] = '?';
  }
  buffer[length] = '\0';
}

// The signer certificate that the file-signature function hands over, freed on every path out of the
// check; a failure to free it is logged after whatever the check logged.
class ScopedCertificate {
 public:
  explicit ScopedCertificate(LauncherLog* log) : log_(log) {}
  ~ScopedCertificate() {
    if (certificate_ != nullptr && !CertFreeCertificateContextLate(certificate_)) {
      log_->WriteLog("ERROR", "Failed to free certificate context");
    }
  }
  ScopedCertificate(const ScopedCertificate&) = delete;
  ScopedCertificate& operator=(const ScopedCertificate&) = delete;

  PCCERT_CONTEXT* out() { return &certificate_; }
  PCCERT_CONTEXT get() const { return certificate_; }

 private:
  LauncherLog* log_;
  PCCERT_CONTEXT certificate_ = nullptr;
};

struct ModuleFreer {
  using pointer = HMODULE;
  void operator()(HMODULE module) const {
    if (module != nullptr) FreeLibrary(module);
  }
};

}  // namespace

bool LauncherLog::InstallUpgrade(const char* pendingPath, const char* installerPath) {
  char command[kCommandCapacity] = {};
  if (!IsPresent(pendingPath)) {
    WriteLog("WARN", "Pending installation package was not found");
    WriteLog("WARN", pendingPath);
    return false;
  }
  // cmd.exe would still expand %...% inside the quotes; refused before anything moves, so the
  // pending package stays where the application left it.
  if (std::strchr(installerPath, '%') != nullptr) {
    WriteLog("ERROR", "Installer path contains '%', which the command interpreter would expand:");
    WriteLog("ERROR", installerPath);
    return false;
  }
  if (IsPresent(installerPath)) {
    WriteLog("INFO", "Found old installation package. Attempting to remove it:");
    WriteLog("INFO", installerPath);
    if (!DeleteFileA(installerPath)) {
      WriteLog("WARN", "Failed to delete old installer");
      WriteLog("WARN", installerPath);
    }
  }
  if (!MoveFileA(pendingPath, installerPath)) {
    WriteLog("WARN", "Failed to prepare new installer:");
    WriteLog("WARN", pendingPath);
    WriteLog("WARN", installerPath);
    return false;
  }
  if (IsPresent(pendingPath)) {
    WriteLog("WARN", "Pending installer was not removed as expected");
    WriteLog("WARN", pendingPath);
    return false;
  }
  if (!VerifyInstaller(installerPath)) {
    WriteLog("WARN", "Upgrade did not verify. Skipping and deleting it!");
    if (!DeleteFileA(installerPath)) WriteLog("WARN", "Failed to delete unverified installer");
    return false;
  }

  // Both programs by their full path in the system directory: by bare name a cmd.exe or msiexec.exe
  // beside the launcher or in the working directory would run instead. /D skips the interpreter's
  // AutoRun commands, /V:OFF keeps a "!" in the path from being expanded. The path is quoted against
  // blanks and metacharacters such as "&"; the empty title keeps start from taking the quoted
  // program as a window title.
  char systemDir[kPathCapacity] = {};
  char interpreter[kPathCapacity] = {};
  if (!GetSystemDirectoryPath(systemDir, sizeof systemDir) ||
      FormatBounded(interpreter, sizeof interpreter, "%s\\cmd.exe", systemDir) < 0 ||
      FormatBounded(command, sizeof command,
                    "\"%s\" /D /V:OFF /C start \"\" \"%s\\msiexec.exe\" /i \"%s\" /passive /norestart "
                    "INSTALLUILEVEL_HIDECANCEL=\"1\" STARTAFTERINSTALL=\"1\"",
                    interpreter, systemDir, installerPath) < 0) {
    WriteLog("ERROR", "Failed to construct install-command");
    return false;
  }
  WriteLog("INFO", "Starting upgrade using:");
  WriteLog("INFO", command);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(interpreter, command, nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr, nullptr, &startup,
                      &process)) {
    WriteLog("ERROR", "Failed to launch upgrade process:");
    LogLastError();
    return false;
  }
  // Not waited for: the installer runs on after the launcher has ended.
  const UniqueHandle thread(process.hThread);
  const UniqueHandle installer(process.hProcess);
  WriteLog("INFO", "Upgrade process was successfully started");
  return true;
}

bool LauncherLog::VerifyInstaller(const char* installerPath) {
  WriteLog("INFO", "Verifying installer");
  std::unique_ptr<void, ModuleFreer> msi(LoadSystemLibrary("msi.dll"));
  const auto getSignature = ResolveFunction<FileSignatureFunction>(msi.get(), MAKEINTRESOURCEA(kFileSignatureOrdinal));
  if (getSignature == nullptr) {
    WriteLog("ERROR", "Failed to load the Windows Installer's file-signature function");
    LogLastError();
    return false;
  }
  ScopedCertificate certificate(this);
  const HRESULT signature = getSignature(installerPath, kSignatureFlags, certificate.out(), nullptr, nullptr);
  char line[96];
  if (certificate.get() == nullptr) {
    FormatBounded(line, sizeof line, "No signer certificate in installer package (0x%08lx)",
                  static_cast<unsigned long>(signature));
    WriteLog("ERROR", line);
    return false;
  }
  if (FAILED(signature)) {
    FormatBounded(line, sizeof line, "Installer package signature is not valid (0x%08lx)",
                  static_cast<unsigned long>(signature));
    WriteLog("ERROR", line);
    return false;
  }
  const DWORD length = CertGetNameStringLate(certificate.get(), CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, nullptr, 0);
  if (length == 0) {
    WriteLog("ERROR", "Failed to get certificate issuer");
    return false;
  }
  std::unique_ptr<wchar_t[]> name(new (std::nothrow) wchar_t[length]);
  if (name == nullptr) {
    WriteLog("ERROR", "Failed to allocate memory for certificate issuer");
    return false;
  }
  const DWORD read =
      CertGetNameStringLate(certificate.get(), CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name.get(), length);
  if (read == 0 || read > length) {
    WriteLog("ERROR", "Failed to get certificate issuer");
    return false;
  }
  if (read == kExpectedSignerUnits && std::wmemcmp(name.get(), kExpectedSigner, kExpectedSignerUnits) == 0) return true;
  WriteLog("ERROR", "Incorrect certificate issuer!?");
  char spelled[kPathCapacity];
  SpellForLog(name.get(), read - 1, spelled, sizeof spelled);
  WriteLog("ERROR", spelled);
  return false;
}

bool LauncherLog::RemoveUsedInstaller(const char* installerPath) {
  if (DeleteFileA(installerPath)) return true;
  WriteLog("ERROR", "Failed to remove used installer:");
  WriteLog("ERROR", installerPath);
  WriteLog("ERROR", "Last error:");
  LogLastError();
  return false;
}

}  // namespace launcher
