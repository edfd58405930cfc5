#ifndef QUORVANTA_STAND_INS_EMBEDDER_VIEW_WINDOW_WIN32_H_
#define QUORVANTA_STAND_INS_EMBEDDER_VIEW_WINDOW_WIN32_H_

#include <windows.h>

#include <memory>

#include "stand_ins/embedder/gdi_win32.h"
#include "stand_ins/embedder/queues.h"
#include "stand_ins/embedder/status_panel.h"
#include "stand_ins/embedder/transcript.h"

namespace stand_in {

class Engine;

// The view: a child window that paints the status panel and below it the transcript's latest
// lines. It starts under the
// message-only window until the program re-parents it, and it carries the platform thread's
// deliveries: every push to the host queue posts a message to it.
class ViewWindow {
 public:
  // Null when the window cannot be created. `transcript` and `status` outlive the window.
  static std::unique_ptr<ViewWindow> Create(int width, int height, Transcript* transcript,
                                            StatusPanel* status);
  ~ViewWindow();

  ViewWindow(const ViewWindow&) = delete;
  ViewWindow& operator=(const ViewWindow&) = delete;

  HWND hwnd() const { return hwnd_; }
  // The top-level window that holds the view; null while it has none.
  HWND TopLevel() const;

  // Hands the queue's items to `engine` on this window's thread, and repaints on each new
  // transcript line.
  void Connect(Engine* engine, std::shared_ptr<HostQueue> queue);
  void ReloadFont();

 private:
  ViewWindow(Transcript* transcript, StatusPanel* status);

  static bool RegisterClassOnce(HINSTANCE module);
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  void DeliverQueued();
  void Paint();
  void DrawLines(HDC dc);
  void DrawLine(HDC dc, int y, const std::string& line);
  void Detach();

  HWND hwnd_ = nullptr;
  Transcript* transcript_;
  StatusPanel* status_;
  Engine* engine_ = nullptr;
  std::shared_ptr<HostQueue> queue_;
  GdiObject font_;
};

}  // namespace stand_in

#endif  // QUORVANTA_STAND_INS_EMBEDDER_VIEW_WINDOW_WIN32_H_
