#ifndef QUORVANTA_TESTS_FAKES_RECORDING_ENGINE_H_
#define QUORVANTA_TESTS_FAKES_RECORDING_ENGINE_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "shell/embedder/embedder_api.h"

namespace testing_fakes {

// Copies of what FlutterDesktopEngineCreate was given, taken during the call (the caller frees
// the argument array right after it).
struct RecordedEngineProperties {
  std::wstring assets_path;
  std::wstring icu_data_path;
  std::wstring aot_library_path;
  std::string dart_entrypoint;
  int argument_count = 0;
  bool argument_array_is_null = true;
  std::vector<std::string> arguments;
};

// One call of an embedder function. Only the fields that the function takes are filled in.
struct EngineCall {
  std::string function;
  // The engine, view controller, view or monitor the function was called with.
  const void* handle = nullptr;
  // The handle, window or messenger the call returned.
  const void* returned = nullptr;
  // Empty when FlutterDesktopEngineCreate was given no properties at all.
  std::optional<RecordedEngineProperties> properties;
  std::string plugin_name;
  int width = 0;
  int height = 0;
  FlutterDesktopNativeWindow window{};
  FlutterDesktopWindowMessage message = 0;
  FlutterDesktopWParam wparam = 0;
  FlutterDesktopLParam lparam = 0;
};

// A recording stand-in for the embedder's engine, view-controller, view, display and console
// functions (not its messaging functions). While an instance exists the embedder functions record
// every call on it, in order, and answer as configured; the views it creates are real child
// windows that can be re-parented. One instance at a time, used from the UI thread.
class RecordingEngine {
 public:
  RecordingEngine();
  ~RecordingEngine();

  RecordingEngine(const RecordingEngine&) = delete;
  RecordingEngine& operator=(const RecordingEngine&) = delete;

  // What FlutterDesktopGetDpiForMonitor reports; 96 by default.
  void SetDpi(uint32_t dpi);
  void FailEngineCreation();
  // FlutterDesktopViewControllerCreate returns null; it still takes the engine over and ends it.
  void FailViewControllerCreation();
  // What FlutterDesktopEngineGetMessenger returns; a placeholder by default.
  void SetMessenger(FlutterDesktopMessengerRef messenger);
  // Decides for each top-level window message whether the view controller handles it, and with
  // which result. By default it handles none.
  using WindowProcHandler =
      std::function<std::optional<FlutterDesktopLResult>(FlutterDesktopWindowMessage message)>;
  void SetWindowProcHandler(WindowProcHandler handler);

  std::vector<EngineCall> Calls() const;
  std::vector<std::string> FunctionNames() const;
  // Without FlutterDesktopViewControllerHandleTopLevelWindowProc, which every window message
  // reaches.
  std::vector<std::string> FunctionNamesWithoutWindowMessages() const;
  void ClearCalls();

  // Engines created and not yet ended (destroyed, or ended with their view controller).
  int LiveEngines() const;
  // Calls that passed a handle this fake never gave out (null too) or had already ended, or
  // destroyed or handed over again an engine that a view controller had taken over.
  int MisusedHandles() const;

  struct State;

 private:
  std::unique_ptr<State> state_;
};

// The native window of a fake view: on Windows a real child window, parked until someone
// re-parents it; elsewhere an opaque token. Destroying it is a no-op once it is gone (with a
// parent it was re-parented into).
FlutterDesktopNativeWindow CreateFakeViewWindow(int width, int height);
void DestroyFakeViewWindow(FlutterDesktopNativeWindow window);

// One call of a plugin library's registration function.
struct PluginRegistration {
  std::string function;
  FlutterDesktopPluginRegistrarRef registrar = nullptr;
};

// The calls, in order, of the registration functions that the fake plugin libraries define. UI
// thread only.
std::vector<PluginRegistration> PluginRegistrations();
void ClearPluginRegistrations();

}  // namespace testing_fakes

#endif  // QUORVANTA_TESTS_FAKES_RECORDING_ENGINE_H_
