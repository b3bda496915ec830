#include "library_state.h"

unsigned char ds_initialized;
unsigned char ds_com_initialized;
ds_log_callback* ds_logger;
ll_entry_t* pOpenDevices;
