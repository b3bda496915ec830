#include "system_functions.h"

#include "bounded_text.h"
#include "system_paths.h"

namespace launcher {

namespace {

HMODULE Crypt32() {
  static const HMODULE module = LoadSystemLibrary("crypt32.dll");
  return module;
}

}  // namespace

HMODULE LoadSystemLibrary(const char* name) {
  const HMODULE module = LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module != nullptr || GetLastError() != ERROR_INVALID_PARAMETER) return module;
  // Windows 7 without update KB2533623 knows no such flag: the full path in the system directory,
  // whose own imports are then looked for there first too.
  char systemDir[kPathCapacity] = {};
  char path[kPathCapacity] = {};
  if (!GetSystemDirectoryPath(systemDir, sizeof systemDir) ||
      FormatStrict(path, sizeof path, "%s\\%s", systemDir, name) < 0) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return nullptr;
  }
  return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

BOOL RemoveFileSpec(char* path) {
  using Function = BOOL(WINAPI*)(char*);
  // Resolved once; the modules stay loaded for the life of the process.
  static const Function removeFileSpec = [] {
    const Function own = ResolveFunction<Function>(LoadSystemLibrary("kernelbase.dll"), "PathRemoveFileSpecA");
    return own != nullptr ? own : ResolveFunction<Function>(LoadSystemLibrary("shlwapi.dll"), "PathRemoveFileSpecA");
  }();
  return removeFileSpec != nullptr && removeFileSpec(path);
}

int ShowMessageBox(const char* text, const char* title, UINT type) {
  using Function = int(WINAPI*)(HWND, const char*, const char*, UINT);
  const Function messageBox = ResolveFunction<Function>(LoadSystemLibrary("user32.dll"), "MessageBoxA");
  return messageBox == nullptr ? 0 : messageBox(nullptr, text, title, type);
}

DWORD CertGetNameStringLate(PCCERT_CONTEXT certificate, DWORD type, DWORD flags, void* typeParameter, wchar_t* name,
                            DWORD size) {
  using Function = DWORD(WINAPI*)(PCCERT_CONTEXT, DWORD, DWORD, void*, wchar_t*, DWORD);
  const Function getName = ResolveFunction<Function>(Crypt32(), "CertGetNameStringW");
  return getName == nullptr ? 0 : getName(certificate, type, flags, typeParameter, name, size);
}

BOOL CertFreeCertificateContextLate(PCCERT_CONTEXT certificate) {
  using Function = BOOL(WINAPI*)(PCCERT_CONTEXT);
  const Function freeContext = ResolveFunction<Function>(Crypt32(), "CertFreeCertificateContext");
  return freeContext != nullptr && freeContext(certificate);
}

}  // namespace launcher
