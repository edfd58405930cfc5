#include "tests/fakes/recording_engine.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <string_view>

namespace {

using testing_fakes::RecordingEngine;

// A handle given out, and its name. A view controller's item is followed by its view's, and
// that by its window's.
struct Item {
  void* address = nullptr;
  std::string name;
};

RecordingEngine* installed = nullptr;
std::deque<Item> items;

// Names the next handle of `kind` ('e', 'c', ...); `address` defaults to the item's own.
Item& New(char kind, void* address = nullptr) {
  const auto count = std::count_if(items.begin(), items.end(),
                                   [kind](const Item& item) { return item.name[0] == kind; });
  Item& item = items.emplace_back(Item{address, kind + std::to_string(count + 1)});
  if (address == nullptr) item.address = &item;
  return item;
}

// What a view controller or a view handle leads to: its view or its window.
const Item* Next(const void* handle) {
  const auto found = std::find_if(items.begin(), items.end(),
                                  [handle](const Item& item) { return item.address == handle; });
  return found != items.end() && found + 1 != items.end() ? &*(found + 1) : nullptr;
}

// Appends "<function>(<arguments>)" to the calls, without the functions' common prefix
// "FlutterDesktop"; returns the line for a result to be added.
std::string& Record(std::string_view function, const std::string& arguments) {
  function.remove_prefix(std::string_view("FlutterDesktop").size());
  return RecordingEngine::Current().calls.emplace_back(std::string(function) + "(" + arguments +
                                                       ")");
}

// Adds " = <name>" to `call` and returns the item's handle, null for no item.
template <typename Handle>
Handle Returned(std::string& call, const Item* item) {
  call += " = " + (item != nullptr ? item->name : std::string("null"));
  return item != nullptr ? static_cast<Handle>(item->address) : nullptr;
}

std::string Name(const void* handle) { return RecordingEngine::Current().Name(handle); }

}  // namespace

namespace testing_fakes {

RecordingEngine::RecordingEngine() { installed = this; }

RecordingEngine::~RecordingEngine() {
  items.clear();
  installed = nullptr;
}

RecordingEngine& RecordingEngine::Current() {
  // An embedder function called without a fake: a test that forgot one.
  if (installed == nullptr) std::abort();
  return *installed;
}

std::string RecordingEngine::Name(const void* handle) const {
  for (const Item& item : items) {
    if (item.address == handle) return item.name;
  }
  return handle != nullptr ? std::to_string(reinterpret_cast<uintptr_t>(handle)) : "null";
}

}  // namespace testing_fakes

extern "C" {

FlutterDesktopEngineRef FlutterDesktopEngineCreate(const FlutterDesktopEngineProperties* p) {
  // The tests' paths are plain ASCII.
  auto narrow = [](std::wstring_view text) { return std::string(text.begin(), text.end()); };
  // Copied into the line during the call, as the embedder copies what it keeps.
  std::string arguments = p->dart_entrypoint_argv != nullptr ? "[" : "null";
  for (int index = 0; p->dart_entrypoint_argv != nullptr && index < p->dart_entrypoint_argc;
       ++index) {
    arguments += (index > 0 ? ", " : "") + std::string(p->dart_entrypoint_argv[index]);
  }
  if (p->dart_entrypoint_argv != nullptr) arguments += "]";
  std::string& call =
      Record(__func__, narrow(p->assets_path) + ", " + narrow(p->icu_data_path) + ", " +
                           narrow(p->aot_library_path) + ", \"" + p->dart_entrypoint + "\", " +
                           std::to_string(p->dart_entrypoint_argc) + ", " + arguments);
  return Returned<FlutterDesktopEngineRef>(
      call, RecordingEngine::Current().fail_engine_creation ? nullptr : &New('e'));
}

bool FlutterDesktopEngineDestroy(FlutterDesktopEngineRef engine) {
  Record(__func__, Name(engine));
  return true;
}

FlutterDesktopMessengerRef FlutterDesktopEngineGetMessenger(FlutterDesktopEngineRef engine) {
  Record(__func__, Name(engine));
  return RecordingEngine::Current().messenger;
}

FlutterDesktopPluginRegistrarRef FlutterDesktopEngineGetPluginRegistrar(
    FlutterDesktopEngineRef engine, const char* plugin_name) {
  return Returned<FlutterDesktopPluginRegistrarRef>(
      Record(__func__, Name(engine) + ", " + plugin_name), &New('r'));
}

void FlutterDesktopEngineReloadSystemFonts(FlutterDesktopEngineRef engine) {
  Record(__func__, Name(engine));
}

FlutterDesktopViewControllerRef FlutterDesktopViewControllerCreate(int width, int height,
                                                                   FlutterDesktopEngineRef engine) {
  std::string& call =
      Record(__func__, Name(engine) + ", " + std::to_string(width) + "x" + std::to_string(height));
  if (RecordingEngine::Current().fail_view_controller_creation) {
    return Returned<FlutterDesktopViewControllerRef>(call, nullptr);
  }
  Item& controller = New('c');
  New('v');
  New('w', RecordingEngine::Current().view_window);
  return Returned<FlutterDesktopViewControllerRef>(call, &controller);
}

void FlutterDesktopViewControllerDestroy(FlutterDesktopViewControllerRef controller) {
  Record(__func__, Name(controller));
}

FlutterDesktopViewRef FlutterDesktopViewControllerGetView(
    FlutterDesktopViewControllerRef controller) {
  return Returned<FlutterDesktopViewRef>(Record(__func__, Name(controller)), Next(controller));
}

bool FlutterDesktopViewControllerHandleTopLevelWindowProc(
    FlutterDesktopViewControllerRef controller, FlutterDesktopNativeWindow window,
    FlutterDesktopWindowMessage message, FlutterDesktopWParam wparam, FlutterDesktopLParam lparam,
    FlutterDesktopLResult* result) {
  Record(__func__, Name(controller) + ", " + Name(window) + ", " + std::to_string(message) + ", " +
                       std::to_string(wparam) + ", " + std::to_string(lparam));
  const RecordingEngine& fake = RecordingEngine::Current();
  const std::optional<FlutterDesktopLResult> answer =
      fake.window_proc ? fake.window_proc(message) : std::nullopt;
  if (answer.has_value()) *result = *answer;
  return answer.has_value();
}

FlutterDesktopNativeWindow FlutterDesktopViewGetHWND(FlutterDesktopViewRef view) {
  return Returned<FlutterDesktopNativeWindow>(Record(__func__, Name(view)), Next(view));
}

uint32_t FlutterDesktopGetDpiForMonitor(FlutterDesktopMonitor monitor) {
  Record(__func__, Name(monitor));
  return RecordingEngine::Current().dpi;
}

void FlutterDesktopResyncOutputStreams(void) { Record(__func__, ""); }

}  // extern "C"
