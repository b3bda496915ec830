/* Planted as cmd.exe or msiexec.exe where a search by bare name would find it before the system's:
 * it only leaves "<its own path>.ran" behind, so that a test sees whether it ran. */
#include <windows.h>

int main(void) {
  char path[MAX_PATH + 8];
  const DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 3;
  lstrcatA(path, ".ran");
  const HANDLE marker = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (marker == INVALID_HANDLE_VALUE) return 4;
  CloseHandle(marker);
  return 0;
}
