#include "tests/fakes/recording_engine.h"

#include <algorithm>

// The embedder's opaque types, as this fake gives them out.
struct FlutterDesktopEngine {
  bool taken_over = false;
  bool ended = false;
};

struct FlutterDesktopView {
  FlutterDesktopNativeWindow window{};
  bool ended = false;
};

struct FlutterDesktopViewController {
  FlutterDesktopEngine* engine = nullptr;
  FlutterDesktopView* view = nullptr;
  bool ended = false;
};

struct FlutterDesktopPluginRegistrar {};

namespace testing_fakes {
namespace {

constexpr char kWindowProc[] = "FlutterDesktopViewControllerHandleTopLevelWindowProc";

// Handed out as the engine's messenger unless a test supplies one; never dereferenced.
char placeholder_messenger;

template <typename T>
T Returned(EngineCall& call, T value) {
  call.returned = value;
  return value;
}

}  // namespace

struct RecordingEngine::State {
  EngineCall& Record(const char* function, const void* handle) {
    EngineCall& call = calls.emplace_back();
    call.function = function;
    call.handle = handle;
    return call;
  }

  // What `handle` names when this fake gave it out and it has not ended; otherwise null, and a
  // misuse.
  template <typename Item>
  Item* Live(const std::vector<std::unique_ptr<Item>>& items, const void* handle) {
    for (const auto& item : items) {
      if (item.get() == handle && !item->ended) return item.get();
    }
    ++misused_handles;
    return nullptr;
  }

  // A live engine that no view controller has taken over.
  FlutterDesktopEngine* OwnEngine(FlutterDesktopEngineRef handle) {
    FlutterDesktopEngine* engine = Live(engines, handle);
    if (engine == nullptr || !engine->taken_over) return engine;
    ++misused_handles;
    return nullptr;
  }

  template <typename Item>
  static Item* New(std::vector<std::unique_ptr<Item>>& items, Item item = {}) {
    return items.emplace_back(std::make_unique<Item>(std::move(item))).get();
  }

  uint32_t dpi = 96;
  bool fail_engine_creation = false;
  bool fail_view_controller_creation = false;
  FlutterDesktopMessengerRef messenger =
      reinterpret_cast<FlutterDesktopMessengerRef>(&placeholder_messenger);
  WindowProcHandler window_proc_handler;
  std::vector<EngineCall> calls;
  // Kept until the fake goes, so that a handle used after its end is recognised instead of read.
  std::vector<std::unique_ptr<FlutterDesktopEngine>> engines;
  std::vector<std::unique_ptr<FlutterDesktopViewController>> controllers;
  std::vector<std::unique_ptr<FlutterDesktopView>> views;
  std::vector<std::unique_ptr<FlutterDesktopPluginRegistrar>> registrars;
  int misused_handles = 0;
};

namespace {

RecordingEngine::State* installed = nullptr;

RecordingEngine::State& Current() {
  static RecordingEngine::State unrecorded;
  return installed != nullptr ? *installed : unrecorded;
}

RecordedEngineProperties CopyProperties(const FlutterDesktopEngineProperties& properties) {
  auto wide = [](const wchar_t* text) { return std::wstring(text != nullptr ? text : L""); };
  const char* const* argv = properties.dart_entrypoint_argv;
  return RecordedEngineProperties{
      .assets_path = wide(properties.assets_path),
      .icu_data_path = wide(properties.icu_data_path),
      .aot_library_path = wide(properties.aot_library_path),
      .dart_entrypoint = properties.dart_entrypoint != nullptr ? properties.dart_entrypoint : "",
      .argument_count = properties.dart_entrypoint_argc,
      .argument_array_is_null = argv == nullptr,
      .arguments = argv != nullptr ? std::vector<std::string>(
                                         argv, argv + std::max(0, properties.dart_entrypoint_argc))
                                   : std::vector<std::string>{}};
}

}  // namespace

RecordingEngine::RecordingEngine() : state_(std::make_unique<State>()) { installed = state_.get(); }

RecordingEngine::~RecordingEngine() {
  for (const auto& view : state_->views) {
    if (!view->ended) DestroyFakeViewWindow(view->window);
  }
  installed = nullptr;
}

void RecordingEngine::SetDpi(uint32_t dpi) { state_->dpi = dpi; }

void RecordingEngine::FailEngineCreation() { state_->fail_engine_creation = true; }

void RecordingEngine::FailViewControllerCreation() { state_->fail_view_controller_creation = true; }

void RecordingEngine::SetMessenger(FlutterDesktopMessengerRef messenger) {
  state_->messenger = messenger;
}

void RecordingEngine::SetWindowProcHandler(WindowProcHandler handler) {
  state_->window_proc_handler = std::move(handler);
}

std::vector<EngineCall> RecordingEngine::Calls() const { return state_->calls; }

std::vector<std::string> RecordingEngine::FunctionNames() const {
  std::vector<std::string> names;
  for (const EngineCall& call : state_->calls) names.push_back(call.function);
  return names;
}

std::vector<std::string> RecordingEngine::FunctionNamesWithoutWindowMessages() const {
  std::vector<std::string> names = FunctionNames();
  std::erase(names, kWindowProc);
  return names;
}

void RecordingEngine::ClearCalls() { state_->calls.clear(); }

int RecordingEngine::LiveEngines() const {
  return static_cast<int>(std::count_if(state_->engines.begin(), state_->engines.end(),
                                        [](const auto& engine) { return !engine->ended; }));
}

int RecordingEngine::MisusedHandles() const { return state_->misused_handles; }

}  // namespace testing_fakes

using testing_fakes::Current;
using testing_fakes::Returned;

extern "C" {

FlutterDesktopEngineRef FlutterDesktopEngineCreate(
    const FlutterDesktopEngineProperties* engine_properties) {
  auto& state = Current();
  auto& call = state.Record(__func__, nullptr);
  if (engine_properties != nullptr) {
    call.properties = testing_fakes::CopyProperties(*engine_properties);
  }
  return state.fail_engine_creation ? nullptr : Returned(call, state.New(state.engines));
}

bool FlutterDesktopEngineDestroy(FlutterDesktopEngineRef engine) {
  auto& state = Current();
  state.Record(__func__, engine);
  FlutterDesktopEngine* own = state.OwnEngine(engine);
  if (own != nullptr) own->ended = true;
  return own != nullptr;
}

FlutterDesktopMessengerRef FlutterDesktopEngineGetMessenger(FlutterDesktopEngineRef engine) {
  auto& state = Current();
  auto& call = state.Record(__func__, engine);
  return state.Live(state.engines, engine) ? Returned(call, state.messenger) : nullptr;
}

FlutterDesktopPluginRegistrarRef FlutterDesktopEngineGetPluginRegistrar(
    FlutterDesktopEngineRef engine, const char* plugin_name) {
  auto& state = Current();
  auto& call = state.Record(__func__, engine);
  call.plugin_name = plugin_name != nullptr ? plugin_name : "";
  return state.Live(state.engines, engine) ? Returned(call, state.New(state.registrars)) : nullptr;
}

void FlutterDesktopEngineReloadSystemFonts(FlutterDesktopEngineRef engine) {
  auto& state = Current();
  state.Record(__func__, engine);
  static_cast<void>(state.Live(state.engines, engine));
}

FlutterDesktopViewControllerRef FlutterDesktopViewControllerCreate(int width, int height,
                                                                   FlutterDesktopEngineRef engine) {
  auto& state = Current();
  auto& call = state.Record(__func__, engine);
  call.width = width;
  call.height = height;
  FlutterDesktopEngine* own = state.OwnEngine(engine);
  if (own == nullptr) return nullptr;
  // The engine is taken over whatever the outcome; a failed creation ends it.
  own->taken_over = true;
  if (state.fail_view_controller_creation) {
    own->ended = true;
    return nullptr;
  }
  FlutterDesktopView* view =
      state.New(state.views, {testing_fakes::CreateFakeViewWindow(width, height)});
  return Returned(call, state.New(state.controllers, {own, view}));
}

void FlutterDesktopViewControllerDestroy(FlutterDesktopViewControllerRef controller) {
  auto& state = Current();
  state.Record(__func__, controller);
  if (FlutterDesktopViewController* live = state.Live(state.controllers, controller)) {
    testing_fakes::DestroyFakeViewWindow(live->view->window);
    live->ended = live->view->ended = live->engine->ended = true;
  }
}

FlutterDesktopViewRef FlutterDesktopViewControllerGetView(
    FlutterDesktopViewControllerRef controller) {
  auto& state = Current();
  auto& call = state.Record(__func__, controller);
  FlutterDesktopViewController* live = state.Live(state.controllers, controller);
  return live != nullptr ? Returned(call, live->view) : nullptr;
}

bool FlutterDesktopViewControllerHandleTopLevelWindowProc(
    FlutterDesktopViewControllerRef controller, FlutterDesktopNativeWindow window,
    FlutterDesktopWindowMessage message, FlutterDesktopWParam wparam, FlutterDesktopLParam lparam,
    FlutterDesktopLResult* result) {
  auto& state = Current();
  auto& call = state.Record(__func__, controller);
  call.window = window;
  call.message = message;
  call.wparam = wparam;
  call.lparam = lparam;
  if (state.Live(state.controllers, controller) == nullptr || !state.window_proc_handler) {
    return false;
  }
  const std::optional<FlutterDesktopLResult> answer = state.window_proc_handler(message);
  if (!answer.has_value() || result == nullptr) return false;
  *result = *answer;
  return true;
}

FlutterDesktopNativeWindow FlutterDesktopViewGetHWND(FlutterDesktopViewRef view) {
  auto& state = Current();
  auto& call = state.Record(__func__, view);
  FlutterDesktopView* live = state.Live(state.views, view);
  return live != nullptr ? Returned(call, live->window) : FlutterDesktopNativeWindow{};
}

uint32_t FlutterDesktopGetDpiForMonitor(FlutterDesktopMonitor monitor) {
  auto& state = Current();
  state.Record(__func__, monitor);
  return state.dpi;
}

void FlutterDesktopResyncOutputStreams(void) { Current().Record(__func__, nullptr); }

}  // extern "C"
