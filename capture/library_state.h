// The library's process-wide state, zero at load. Touched only by the exports, one call at a time.
#pragma once

#include "qmr_dshow.h"
#include "qmr_linkedlist.h"

#ifdef __cplusplus
extern "C" {
#endif

extern unsigned char ds_initialized;
extern ds_log_callback* ds_logger;
extern ll_entry_t* pOpenDevices;

#ifdef __cplusplus
}
#endif
