// The library frame: COM set-up, the logger and the open-device queries.
#include <objbase.h>

#include "library_state.h"
#include "qmr_dshow.h"
#include "qmr_log.h"

extern "C" {

int QMR_CDECL ds_init(void) {
  if (ds_initialized) return -1;
  const HRESULT hr = CoInitialize(nullptr);
  // S_FALSE also counts: COM wants one CoUninitialize per successful CoInitialize. A refusal (the
  // thread is already in another apartment, as a Java thread often is) must not be undone later, or
  // ds_deinit would tear down the caller's own COM.
  ds_com_initialized = SUCCEEDED(hr) ? 1 : 0;
  if (FAILED(hr)) {
    log_row(DS_LEVEL_WARN, "CoInitialize refused (0x%08x): COM stays as the thread had it", static_cast<unsigned>(hr));
  }
  ds_initialized = 1;
  return 0;
}

int QMR_CDECL ds_deinit(void) {
  if (!ds_initialized) return -2;
  ds_initialized = 0;
  if (ds_com_initialized) {
    ds_com_initialized = 0;
    CoUninitialize();
  }
  return 0;
}

int QMR_CDECL ds_set_logger(ds_log_callback* logger) {
  ds_logger = logger;
  return 0;
}

int QMR_CDECL ds_is_open(ds_capture_device* device) { return ll_contains(&pOpenDevices, device); }

int QMR_CDECL ds_num_open_devices(void) { return ll_len(&pOpenDevices); }

}  // extern "C"
