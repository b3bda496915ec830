// The library's process-wide state, zero at load. Touched only by the exports, one call at a time.
#pragma once

#include "qmr_dshow.h"
#include "qmr_linkedlist.h"

#ifdef __cplusplus
extern "C" {
#endif

extern unsigned char ds_initialized;
// Whether ds_init's CoInitialize succeeded, so ds_deinit owes COM exactly one CoUninitialize.
extern unsigned char ds_com_initialized;
extern ds_log_callback* ds_logger;
extern ll_entry_t* pOpenDevices;

#ifdef __cplusplus
}
#endif
