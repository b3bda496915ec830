/* Stand-in for a C library that a current Java runtime ships in jre\bin (vcruntime140.dll and the
   like), under a name the platform does not ship itself, so that the copy found is always this one. */
#include <windows.h>

static char own_path[MAX_PATH];

/* The path this library was loaded from, so that its importer can tell which copy it got. */
__declspec(dllexport) const char* qmr_runtime_library_path(void) {
  HMODULE self = NULL;
  if (own_path[0] == '\0' &&
      GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         (LPCSTR)&qmr_runtime_library_path, &self)) {
    GetModuleFileNameA(self, own_path, MAX_PATH);
  }
  return own_path;
}
