#include "tests/fakes/recording_engine.h"

#include <algorithm>

#include "tests/fakes/fake_view_window.h"

// The embedder's opaque types, as this fake gives them out. Every handle stays allocated until
// the fake goes, so a handle used after its end is recognised instead of read.
struct FlutterDesktopEngine {
  bool taken_over = false;
  bool ended = false;
};

struct FlutterDesktopView {
  FlutterDesktopNativeWindow window{};
};

struct FlutterDesktopViewController {
  FlutterDesktopEngine* engine = nullptr;
  FlutterDesktopView view;
  bool ended = false;
};

struct FlutterDesktopPluginRegistrar {
  std::string plugin_name;
};

namespace testing_fakes {

struct RecordingEngine::State {
  uint32_t dpi = 96;
  bool fail_engine_creation = false;
  bool fail_view_controller_creation = false;
  FlutterDesktopMessengerRef messenger = nullptr;
  WindowProcHandler window_proc_handler;
  std::vector<EngineCall> calls;
  std::vector<std::unique_ptr<FlutterDesktopEngine>> engines;
  std::vector<std::unique_ptr<FlutterDesktopViewController>> controllers;
  std::vector<std::unique_ptr<FlutterDesktopPluginRegistrar>> registrars;
  int misused_handles = 0;

  EngineCall& Record(const char* function, const void* handle) {
    EngineCall& call = calls.emplace_back();
    call.function = function;
    call.handle = handle;
    return call;
  }

  // The item that `handle` names, through `address`, when this fake gave it out and it has not
  // ended; counts a misuse otherwise.
  template <typename Owned, typename Address>
  auto LiveItem(const std::vector<std::unique_ptr<Owned>>& items, const void* handle,
                Address address) -> decltype(address(*items.front())) {
    for (const auto& item : items) {
      if (address(*item) == handle && !item->ended) {
        return address(*item);
      }
    }
    ++misused_handles;
    return nullptr;
  }

  FlutterDesktopEngine* LiveEngine(FlutterDesktopEngineRef engine) {
    return LiveItem(engines, engine, [](FlutterDesktopEngine& item) { return &item; });
  }

  FlutterDesktopViewController* LiveController(FlutterDesktopViewControllerRef controller) {
    return LiveItem(controllers, controller,
                    [](FlutterDesktopViewController& item) { return &item; });
  }

  FlutterDesktopView* LiveView(FlutterDesktopViewRef view) {
    return LiveItem(controllers, view,
                    [](FlutterDesktopViewController& item) { return &item.view; });
  }

  void EndController(FlutterDesktopViewController& controller) {
    DestroyFakeViewWindow(controller.view.window);
    controller.engine->ended = true;
    controller.ended = true;
  }
};

namespace {

// Handed out as the engine's messenger unless a test supplies a real one; never dereferenced.
char placeholder_messenger;

RecordingEngine::State* installed = nullptr;

RecordingEngine::State& Current() {
  static RecordingEngine::State unrecorded;
  return installed != nullptr ? *installed : unrecorded;
}

RecordedEngineProperties CopyProperties(const FlutterDesktopEngineProperties& properties) {
  auto wide = [](const wchar_t* text) { return text != nullptr ? std::wstring(text) : L""; };
  RecordedEngineProperties copy;
  copy.assets_path = wide(properties.assets_path);
  copy.icu_data_path = wide(properties.icu_data_path);
  copy.aot_library_path = wide(properties.aot_library_path);
  copy.dart_entrypoint = properties.dart_entrypoint != nullptr ? properties.dart_entrypoint : "";
  copy.argument_count = properties.dart_entrypoint_argc;
  copy.argument_array_is_null = properties.dart_entrypoint_argv == nullptr;
  if (properties.dart_entrypoint_argv != nullptr) {
    for (int index = 0; index < properties.dart_entrypoint_argc; ++index) {
      copy.arguments.emplace_back(properties.dart_entrypoint_argv[index]);
    }
  }
  return copy;
}

}  // namespace

RecordingEngine::RecordingEngine() : state_(std::make_unique<State>()) {
  state_->messenger = reinterpret_cast<FlutterDesktopMessengerRef>(&placeholder_messenger);
  installed = state_.get();
}

RecordingEngine::~RecordingEngine() {
  for (const auto& controller : state_->controllers) {
    if (!controller->ended) {
      DestroyFakeViewWindow(controller->view.window);
    }
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
  for (const EngineCall& call : state_->calls) {
    names.push_back(call.function);
  }
  return names;
}

std::vector<std::string> RecordingEngine::FunctionNamesWithoutWindowMessages() const {
  std::vector<std::string> names = FunctionNames();
  std::erase(names, "FlutterDesktopViewControllerHandleTopLevelWindowProc");
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

extern "C" {

FlutterDesktopEngineRef FlutterDesktopEngineCreate(
    const FlutterDesktopEngineProperties* engine_properties) {
  auto& state = Current();
  auto& call = state.Record(__func__, nullptr);
  if (engine_properties != nullptr) {
    call.properties = testing_fakes::CopyProperties(*engine_properties);
  }
  if (state.fail_engine_creation) {
    return nullptr;
  }
  FlutterDesktopEngine* engine =
      state.engines.emplace_back(std::make_unique<FlutterDesktopEngine>()).get();
  call.returned = engine;
  return engine;
}

bool FlutterDesktopEngineDestroy(FlutterDesktopEngineRef engine) {
  auto& state = Current();
  state.Record(__func__, engine);
  FlutterDesktopEngine* live = state.LiveEngine(engine);
  if (live == nullptr) {
    return false;
  }
  if (live->taken_over) {
    ++state.misused_handles;
    return false;
  }
  live->ended = true;
  return true;
}

FlutterDesktopMessengerRef FlutterDesktopEngineGetMessenger(FlutterDesktopEngineRef engine) {
  auto& state = Current();
  auto& call = state.Record(__func__, engine);
  if (state.LiveEngine(engine) == nullptr) {
    return nullptr;
  }
  call.returned = state.messenger;
  return state.messenger;
}

FlutterDesktopPluginRegistrarRef FlutterDesktopEngineGetPluginRegistrar(
    FlutterDesktopEngineRef engine, const char* plugin_name) {
  auto& state = Current();
  auto& call = state.Record(__func__, engine);
  call.plugin_name = plugin_name != nullptr ? plugin_name : "";
  if (state.LiveEngine(engine) == nullptr) {
    return nullptr;
  }
  FlutterDesktopPluginRegistrar* registrar =
      state.registrars
          .emplace_back(std::make_unique<FlutterDesktopPluginRegistrar>(
              FlutterDesktopPluginRegistrar{call.plugin_name}))
          .get();
  call.returned = registrar;
  return registrar;
}

void FlutterDesktopEngineReloadSystemFonts(FlutterDesktopEngineRef engine) {
  auto& state = Current();
  state.Record(__func__, engine);
  static_cast<void>(state.LiveEngine(engine));
}

FlutterDesktopViewControllerRef FlutterDesktopViewControllerCreate(int width, int height,
                                                                   FlutterDesktopEngineRef engine) {
  auto& state = Current();
  auto& call = state.Record(__func__, engine);
  call.width = width;
  call.height = height;
  FlutterDesktopEngine* live = state.LiveEngine(engine);
  if (live == nullptr) {
    return nullptr;
  }
  if (live->taken_over) {
    ++state.misused_handles;
    return nullptr;
  }
  // The engine is taken over whatever the outcome; a failed creation ends it.
  live->taken_over = true;
  if (state.fail_view_controller_creation) {
    live->ended = true;
    return nullptr;
  }
  auto controller = std::make_unique<FlutterDesktopViewController>();
  controller->engine = live;
  controller->view.window = testing_fakes::CreateFakeViewWindow(width, height);
  FlutterDesktopViewController* created =
      state.controllers.emplace_back(std::move(controller)).get();
  call.returned = created;
  return created;
}

void FlutterDesktopViewControllerDestroy(FlutterDesktopViewControllerRef controller) {
  auto& state = Current();
  state.Record(__func__, controller);
  if (FlutterDesktopViewController* live = state.LiveController(controller)) {
    state.EndController(*live);
  }
}

FlutterDesktopViewRef FlutterDesktopViewControllerGetView(
    FlutterDesktopViewControllerRef controller) {
  auto& state = Current();
  auto& call = state.Record(__func__, controller);
  FlutterDesktopViewController* live = state.LiveController(controller);
  if (live == nullptr) {
    return nullptr;
  }
  call.returned = &live->view;
  return &live->view;
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
  if (state.LiveController(controller) == nullptr || !state.window_proc_handler) {
    return false;
  }
  const std::optional<FlutterDesktopLResult> answer = state.window_proc_handler(message);
  if (!answer.has_value() || result == nullptr) {
    return false;
  }
  *result = *answer;
  return true;
}

FlutterDesktopNativeWindow FlutterDesktopViewGetHWND(FlutterDesktopViewRef view) {
  auto& state = Current();
  auto& call = state.Record(__func__, view);
  FlutterDesktopView* live = state.LiveView(view);
  if (live == nullptr) {
    return FlutterDesktopNativeWindow{};
  }
  call.returned = live->window;
  return live->window;
}

uint32_t FlutterDesktopGetDpiForMonitor(FlutterDesktopMonitor monitor) {
  auto& state = Current();
  state.Record(__func__, monitor);
  return state.dpi;
}

void FlutterDesktopResyncOutputStreams(void) { Current().Record(__func__, nullptr); }

}  // extern "C"
