// Helper process for the standard-output tests: logs through qmr_dshow.dll (or, for "levels", through the
// linked library core) and prints what its logger receives on the same stream.
//   capture_log_child logger|no-logger|removed|null-function|levels
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "qmr_dshow.h"
#include "qmr_log.h"

namespace {

void QMR_CDECL PrintCallback(int level, const char* message) {
  std::string line = "callback " + std::to_string(level) + " " + message + "\n";
  fputs(line.c_str(), stdout);
  fflush(stdout);
}

int LogEveryLevel() {
  ds_log_callback logger = {&PrintCallback};
  ds_set_logger(&logger);
  for (int level = 0; level <= 6; ++level) log_row(level, "level %d", level);
  log_row(3, "%s", std::string(300, 'x').c_str());
  ds_set_logger(nullptr);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string mode = argv[1];
  if (mode == "levels") return LogEveryLevel();

  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::strcpy(std::strrchr(path, '\\') + 1, "qmr_dshow.dll");
  HMODULE dll = LoadLibraryA(path);
  if (dll == nullptr) return 3;
  auto get = [dll](const char* name) { return reinterpret_cast<void*>(GetProcAddress(dll, name)); };
  auto init = reinterpret_cast<int(QMR_CDECL*)()>(get("ds_init"));
  auto deinit = reinterpret_cast<int(QMR_CDECL*)()>(get("ds_deinit"));
  auto set_logger = reinterpret_cast<int(QMR_CDECL*)(ds_log_callback*)>(get("ds_set_logger"));
  auto list = reinterpret_cast<int(QMR_CDECL*)(ds_capture_device*, uint32_t*)>(get("ds_list_devices"));
  if (!init || !deinit || !set_logger || !list) return 4;

  ds_log_callback logger = {&PrintCallback};
  ds_log_callback empty = {nullptr};
  if (mode == "logger") {
    set_logger(&logger);
  } else if (mode == "removed") {
    set_logger(&logger);
    set_logger(nullptr);
  } else if (mode == "null-function") {
    set_logger(&empty);
  } else if (mode != "no-logger") {
    return 2;
  }
  init();
  static ds_capture_device records[2];
  uint32_t count = 2;
  const int result = list(records, &count);
  deinit();
  std::printf("result %d count %u\n", result, count);
  return 0;
}
