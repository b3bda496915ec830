/* Built by the x86-64 compiler: a 64-bit DLL that a 32-bit launcher cannot load. */
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
