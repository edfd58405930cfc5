#ifndef QUORVANTA_SHELL_WIN32_WINDOW_H_
#define QUORVANTA_SHELL_WIN32_WINDOW_H_

#include <windows.h>

#include <cstdint>
#include <string>

// The base of the program's top-level window. It keeps the program to one running instance,
// registers the window class once per process (and unregisters it with the last window object),
// creates the native window hidden and scaled for the DPI of its monitor, routes every message of
// that window to the owning object, and hosts one child window that fills its client area.
//
// Closing the window from its frame only hides it; destroying the native window posts the quit
// message when quit-on-destroy is set. Everything here runs on the thread of the message loop.
class Win32Window {
 public:
  // Logical units of a 96-DPI display.
  struct Point {
    int32_t x;
    int32_t y;
  };
  struct Size {
    int32_t width;
    int32_t height;
  };

  Win32Window();
  virtual ~Win32Window();

  Win32Window(const Win32Window&) = delete;
  Win32Window& operator=(const Win32Window&) = delete;

  // Creates the hidden native window titled `title` at `origin` with `size`, scaled for the DPI of
  // the monitor nearest to `origin`, then runs OnCreate. Returns true when the window exists and
  // OnCreate succeeded. When another instance of the program is running, creates nothing, shows
  // and raises that instance's window instead, and returns false.
  [[nodiscard]] bool Create(const std::wstring& title, const Point& origin, const Size& size);

  // Runs OnDestroy, destroys the native window if there is one, and unregisters the window class
  // when no window object remains.
  void Destroy();

  // When set, the destruction of the native window ends the message loop with exit code 0.
  void SetQuitOnDestroy(bool quit_on_destroy);

  // Makes `content` the child that fills the client area, and gives it the keyboard focus.
  void AttachContent(HWND content);

  // The client rectangle of the native window; all zero when there is none.
  RECT ClientArea() const;

  // The native window; null before Create and after its destruction.
  HWND GetHandle() const { return window_handle_; }

 protected:
  // Handles the messages of the native window that the program treats itself and gives every
  // other message the default processing.
  virtual LRESULT HandleMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  // Called once the native window exists; a false result makes Create fail.
  virtual bool OnCreate();

  // Called when the native window is being destroyed, and by every Destroy (Create runs one
  // before it makes the native window), so it must tolerate being called again.
  virtual void OnDestroy();

 private:
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  bool quit_on_destroy_ = false;
  HWND window_handle_ = nullptr;
  HWND child_content_ = nullptr;
};

#endif  // QUORVANTA_SHELL_WIN32_WINDOW_H_
