// What a device's graph reported while it ran, read when the device closes: a device that was lost
// and a stream that aborted. Caller's thread, COM initialised.
#pragma once

#include <strmif.h>
// control.h needs strmif.h first.
#include <control.h>

// Reads the graph's event queue without waiting, logging what matters to the caller.
void LogGraphEvents(IMediaEvent* events);
