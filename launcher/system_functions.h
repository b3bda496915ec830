// Platform functions the launcher resolves when it needs them rather than importing them: loading
// shlwapi.dll, user32.dll or crypt32.dll (which imports user32.dll) at start-up initialises the window system, which
// costs every launch (both processes) far more than the launcher's own work. Called from the launcher's one thread.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <wincrypt.h>

namespace launcher {

// A platform DLL from the system directory only: a DLL of the same name beside the program or in
// the working directory is never loaded instead. Where the platform refuses the search flag for the
// system directory (Windows 7 without its updates), by the DLL's full path there.
HMODULE LoadSystemLibrary(const char* name);

// An export of a loaded module as a typed function pointer; null for no module or no such export.
template <typename Function>
Function ResolveFunction(HMODULE module, const char* name) {
  return module == nullptr ? nullptr
                           : reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// PathRemoveFileSpecA: from kernelbase.dll where it lives there (Windows 8 and later), else from
// shlwapi.dll. FALSE when nothing was removed or the function is not available.
BOOL RemoveFileSpec(char* path);

// MessageBoxA from user32.dll; 0 when it cannot be shown.
int ShowMessageBox(const char* text, const char* title, UINT type);

// CertGetNameStringW and CertFreeCertificateContext from crypt32.dll; 0 and FALSE when it is missing.
DWORD CertGetNameStringLate(PCCERT_CONTEXT certificate, DWORD type, DWORD flags, void* typeParameter, wchar_t* name,
                            DWORD size);
BOOL CertFreeCertificateContextLate(PCCERT_CONTEXT certificate);

}  // namespace launcher
