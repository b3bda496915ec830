#include "library_state.h"

unsigned char ds_initialized;
ds_log_callback* ds_logger;
ll_entry_t* pOpenDevices;
