/* A native library of the runtime's own (as awt.dll or net.dll are), which the runtime loads by full
   path while the application runs. It imports a second C library that exists only in jre\bin. */
#include "runtime_library.h"

__declspec(dllexport) const char* qmr_native_runtime_library(void) { return qmr_runtime_library_path(); }
