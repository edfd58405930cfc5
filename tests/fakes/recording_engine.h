#ifndef QUORVANTA_TESTS_FAKES_RECORDING_ENGINE_H_
#define QUORVANTA_TESTS_FAKES_RECORDING_ENGINE_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "shell/embedder/embedder_api.h"

namespace testing_fakes {

// A recording stand-in for the embedder's engine, view-controller, view, display and console
// functions (not its messaging ones) and for the plugin libraries' registration functions. While
// an instance exists every call is appended to `calls` as one line, e.g.
// "ViewControllerCreate(e1, 360x690) = c1", in which the handles this fake gave out read as
// names: engines e1, e2 ..., view controllers c1 ..., views v1 ..., view windows w1 ...,
// registrars r1 .... One instance at a time, UI thread only.
class RecordingEngine {
 public:
  RecordingEngine();
  ~RecordingEngine();

  RecordingEngine(const RecordingEngine&) = delete;
  RecordingEngine& operator=(const RecordingEngine&) = delete;

  // The instance that exists; a recorded function called without one aborts the test program.
  static RecordingEngine& Current();

  // How `handle` reads in `calls`: the name this fake gave it, "null", or its address in decimal.
  std::string Name(const void* handle) const;

  std::vector<std::string> calls;
  uint32_t dpi = 96;
  bool fail_engine_creation = false;
  bool fail_view_controller_creation = false;
  // What FlutterDesktopEngineGetMessenger returns; never dereferenced here.
  FlutterDesktopMessengerRef messenger = nullptr;
  // What FlutterDesktopViewGetHWND returns (a test that hosts the view gives a real child window);
  // by default a token that is no window.
  FlutterDesktopNativeWindow view_window{};
  // Whether and how a view controller handles a top-level window message; by default it does not.
  std::function<std::optional<FlutterDesktopLResult>(FlutterDesktopWindowMessage)> window_proc;
};

}  // namespace testing_fakes

#endif  // QUORVANTA_TESTS_FAKES_RECORDING_ENGINE_H_
