/* Built by the compiler of the other architecture: a DLL the launcher cannot load. */
#include <windows.h>

__declspec(dllexport) int JNI_CreateJavaVM(void* vm, void* env, void* args) {
  (void)vm;
  (void)env;
  (void)args;
  return 0;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance;
  (void)reason;
  (void)reserved;
  return TRUE;
}
