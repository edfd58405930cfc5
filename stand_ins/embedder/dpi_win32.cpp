#include "stand_ins/embedder/dpi_win32.h"

namespace stand_in {
namespace {

constexpr uint32_t kDefaultDpi = 96;
constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI

using GetDpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);

// shcore.dll, loaded on first use: older systems lack it. It stays loaded for the life of the
// process, because freeing a library while this one unloads is not safe.
class Shcore {
 public:
  Shcore() : module_(LoadLibraryW(L"shcore.dll")) {
    if (module_ != nullptr) {
      get_dpi_ = reinterpret_cast<GetDpiForMonitorFunction>(
          reinterpret_cast<void*>(GetProcAddress(module_, "GetDpiForMonitor")));
    }
  }
  Shcore(const Shcore&) = delete;
  Shcore& operator=(const Shcore&) = delete;

  GetDpiForMonitorFunction get_dpi() const { return get_dpi_; }

 private:
  HMODULE module_;
  GetDpiForMonitorFunction get_dpi_ = nullptr;
};

}  // namespace

uint32_t MonitorDpi(HMONITOR monitor) {
  static const Shcore shcore;
  if (monitor == nullptr || shcore.get_dpi() == nullptr) return kDefaultDpi;
  UINT dpi_x = 0;
  UINT dpi_y = 0;
  if (FAILED(shcore.get_dpi()(monitor, kEffectiveDpi, &dpi_x, &dpi_y)) || dpi_x == 0) {
    return kDefaultDpi;
  }
  return dpi_x;
}

}  // namespace stand_in
