#include "stand_ins/embedder/view_window_win32.h"

#include <algorithm>
#include <string>
#include <vector>

#include "base/utf_conversion.h"
#include "stand_ins/embedder/engine_win32.h"

namespace stand_in {
namespace {

constexpr wchar_t kClassName[] = L"QuorvantaStandInFlutterView";
constexpr UINT kDeliverMessage = WM_APP + 1;
constexpr int kMargin = 8;
constexpr int kFontHeight = 14;
constexpr COLORREF kTextColour = RGB(0x20, 0x20, 0x20);
constexpr COLORREF kFailureColour = RGB(0xC0, 0x00, 0x00);
constexpr COLORREF kPanelColour = RGB(0xDD, 0xE6, 0xF0);

// This library's own module, which owns the window class.
HINSTANCE LibraryModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&LibraryModule), &module);
  return module;
}

}  // namespace

bool ViewWindow::RegisterClassOnce(HINSTANCE module) {
  static const bool registered = [module] {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = &ViewWindow::Procedure;
    window_class.hInstance = module;
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.lpszClassName = kClassName;
    return RegisterClassExW(&window_class) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  return registered;
}

namespace {

HGDIOBJ CreateViewFont() {
  return CreateFontW(-kFontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     FIXED_PITCH | FF_MODERN, nullptr);
}

}  // namespace

ViewWindow::ViewWindow(Transcript* transcript, StatusPanel* status)
    : transcript_(transcript), status_(status), font_(CreateViewFont()) {}

std::unique_ptr<ViewWindow> ViewWindow::Create(int width, int height, Transcript* transcript,
                                               StatusPanel* status) {
  const HINSTANCE module = LibraryModule();
  if (!RegisterClassOnce(module)) return nullptr;
  std::unique_ptr<ViewWindow> view(new ViewWindow(transcript, status));
  if (CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, width,
                      height, HWND_MESSAGE, nullptr, module, view.get()) == nullptr) {
    return nullptr;
  }
  return view;
}

ViewWindow::~ViewWindow() {
  Detach();
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

HWND ViewWindow::TopLevel() const {
  if (hwnd_ == nullptr) return nullptr;
  const HWND root = GetAncestor(hwnd_, GA_ROOT);
  // Under the message-only window the view is its own root.
  return root != nullptr && root != hwnd_ ? root : nullptr;
}

void ViewWindow::Connect(Engine* engine, std::shared_ptr<HostQueue> queue) {
  engine_ = engine;
  queue_ = std::move(queue);
  const HWND window = hwnd_;
  queue_->SetWake([window] { PostMessageW(window, kDeliverMessage, 0, 0); });
  transcript_->SetObserver([window] { InvalidateRect(window, nullptr, FALSE); });
}

void ViewWindow::ReloadFont() {
  font_.Reset(CreateViewFont());
  if (hwnd_ != nullptr) InvalidateRect(hwnd_, nullptr, FALSE);
}

void ViewWindow::Detach() {
  transcript_->SetObserver(nullptr);
  if (queue_) queue_->SetWake(nullptr);
}

LRESULT CALLBACK ViewWindow::Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* created = reinterpret_cast<CREATESTRUCTW*>(lparam);
    auto* view = static_cast<ViewWindow*>(created->lpCreateParams);
    view->hwnd_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(view));
    return DefWindowProcW(window, message, wparam, lparam);
  }
  auto* view = reinterpret_cast<ViewWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (view == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  switch (message) {
    case kDeliverMessage:
      view->DeliverQueued();
      return 0;
    case WM_PAINT:
      view->Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // Paint covers the whole client area
    case WM_SIZE:
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_NCDESTROY:
      // Destroyed with its parent before the engine ended: nothing is delivered any more.
      view->Detach();
      view->hwnd_ = nullptr;
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      break;
    default:
      break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

void ViewWindow::DeliverQueued() {
  if (!queue_) return;
  // A delivery may end the engine and destroy this window. Ending the engine closes the queue
  // first, so the loop keeps only its own reference and stops without touching either again.
  std::shared_ptr<HostQueue> queue = queue_;
  Engine* engine = engine_;
  while (std::optional<HostItem> item = queue->Pop()) {
    engine->Deliver(std::move(*item));
  }
}

void ViewWindow::Paint() {
  PAINTSTRUCT paint;
  const HDC dc = BeginPaint(hwnd_, &paint);
  DrawLines(dc);
  EndPaint(hwnd_, &paint);
}

void ViewWindow::DrawLines(HDC dc) {
  RECT client{};
  GetClientRect(hwnd_, &client);
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));

  const Selection font = SelectForScope(dc, font_.Get());
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  const int line_height = metrics.tmHeight > 0 ? metrics.tmHeight : kFontHeight;
  SetBkMode(dc, TRANSPARENT);

  // The status panel across the top.
  const std::vector<std::string> panel = status_->Lines();
  const RECT panel_area{0, 0, client.right,
                        2 * kMargin + static_cast<int>(panel.size()) * line_height};
  SetDCBrushColor(dc, kPanelColour);
  FillRect(dc, &panel_area, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
  int y = kMargin;
  for (const std::string& line : panel) {
    DrawLine(dc, y, line);
    y += line_height;
  }

  // Below it the newest transcript lines that fit, oldest first.
  y = panel_area.bottom + kMargin;
  const std::vector<std::string> lines = transcript_->Latest();
  const size_t fitting = static_cast<size_t>(
      std::max(0, static_cast<int>((client.bottom - y - kMargin) / line_height)));
  const size_t first = lines.size() > fitting ? lines.size() - fitting : 0;
  for (size_t i = first; i < lines.size(); ++i, y += line_height) DrawLine(dc, y, lines[i]);
}

void ViewWindow::DrawLine(HDC dc, int y, const std::string& line) {
  SetTextColor(dc, line.rfind("FAILED", 0) == 0 ? kFailureColour : kTextColour);
  const std::wstring text = base::Utf8ToWide(line);
  TextOutW(dc, kMargin, y, text.c_str(), static_cast<int>(text.size()));
}

}  // namespace stand_in
