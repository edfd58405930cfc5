#ifndef QUORVANTA_STAND_INS_EMBEDDER_DPI_WIN32_H_
#define QUORVANTA_STAND_INS_EMBEDDER_DPI_WIN32_H_

#include <windows.h>

#include <cstdint>

namespace stand_in {

// The monitor's effective DPI as the system reports it (shcore's GetDpiForMonitor); 96 where the
// system has no such function or cannot tell for this monitor.
uint32_t MonitorDpi(HMONITOR monitor);

}  // namespace stand_in

#endif  // QUORVANTA_STAND_INS_EMBEDDER_DPI_WIN32_H_
