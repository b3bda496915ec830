// The library frame: COM set-up, the logger and the open-device queries.
#include <objbase.h>

#include "library_state.h"
#include "qmr_dshow.h"

extern "C" {

int QMR_CDECL ds_init(void) {
  if (ds_initialized) return -1;
  // A refusal (another apartment kind on this thread) shows only in later COM calls.
  CoInitialize(nullptr);
  ds_initialized = 1;
  return 0;
}

int QMR_CDECL ds_deinit(void) {
  if (!ds_initialized) return -2;
  ds_initialized = 0;
  CoUninitialize();
  return 0;
}

int QMR_CDECL ds_set_logger(ds_log_callback* logger) {
  ds_logger = logger;
  return 0;
}

int QMR_CDECL ds_is_open(ds_capture_device* device) { return ll_contains(&pOpenDevices, device); }

int QMR_CDECL ds_num_open_devices(void) { return ll_len(&pOpenDevices); }

}  // extern "C"
