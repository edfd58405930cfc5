// The embedder's C functions over the stand-in engine.

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/log.h"
#include "base/utf_conversion.h"
#include "shell/embedder/embedder_api.h"
#include "stand_ins/embedder/dpi_win32.h"
#include "stand_ins/embedder/engine_win32.h"
#include "stand_ins/embedder/stand_in_exports.h"
#include "stand_ins/embedder/view_window_win32.h"

struct FlutterDesktopEngine {
  std::unique_ptr<stand_in::Engine> engine;
  bool handed_over = false;  // a view controller owns this engine now
};

struct FlutterDesktopView {
  std::unique_ptr<stand_in::ViewWindow> window;
};

struct FlutterDesktopViewController {
  std::unique_ptr<FlutterDesktopEngine> engine;
  FlutterDesktopView view;
};

namespace {

void Complain(const std::string& text) { logging::Err("flutter_windows stand-in: " + text); }

}  // namespace

FlutterDesktopEngineRef FlutterDesktopEngineCreate(
    const FlutterDesktopEngineProperties* engine_properties) {
  if (engine_properties == nullptr) return nullptr;
  return new FlutterDesktopEngine{std::make_unique<stand_in::Engine>(*engine_properties)};
}

bool FlutterDesktopEngineDestroy(FlutterDesktopEngineRef engine) {
  if (engine == nullptr) return false;
  if (engine->handed_over) {
    Complain("an engine that a view controller owns is not destroyed");
    return false;
  }
  delete engine;
  return true;
}

FlutterDesktopMessengerRef FlutterDesktopEngineGetMessenger(FlutterDesktopEngineRef engine) {
  return engine != nullptr ? engine->engine->messenger() : nullptr;
}

FlutterDesktopPluginRegistrarRef FlutterDesktopEngineGetPluginRegistrar(
    FlutterDesktopEngineRef engine, const char* plugin_name) {
  if (engine == nullptr || plugin_name == nullptr) return nullptr;
  return engine->engine->Registrar(plugin_name);
}

void FlutterDesktopEngineReloadSystemFonts(FlutterDesktopEngineRef engine) {
  if (engine != nullptr) engine->engine->ReloadSystemFonts();
}

FlutterDesktopViewControllerRef FlutterDesktopViewControllerCreate(int width, int height,
                                                                   FlutterDesktopEngineRef engine) {
  if (engine == nullptr || engine->handed_over) return nullptr;
  // The controller takes the engine over whether or not it can be created.
  auto controller = std::make_unique<FlutterDesktopViewController>();
  controller->engine.reset(engine);
  engine->handed_over = true;
  stand_in::Engine& inner = *engine->engine;
  if (!inner.AssetsPresent()) {
    Complain("no assets folder at " + base::WideToUtf8(inner.assets_path()));
    return nullptr;
  }
  controller->view.window =
      stand_in::ViewWindow::Create(width, height, &inner.transcript(), &inner.status());
  if (!controller->view.window) {
    Complain("the view's window cannot be created");
    return nullptr;
  }
  inner.Run(controller->view.window.get(), width, height);
  return controller.release();
}

void FlutterDesktopViewControllerDestroy(FlutterDesktopViewControllerRef controller) {
  if (controller == nullptr) return;
  controller->engine->engine->Stop();
  delete controller;
}

FlutterDesktopViewRef FlutterDesktopViewControllerGetView(
    FlutterDesktopViewControllerRef controller) {
  return controller != nullptr ? &controller->view : nullptr;
}

bool FlutterDesktopViewControllerHandleTopLevelWindowProc(
    FlutterDesktopViewControllerRef controller, FlutterDesktopNativeWindow window,
    FlutterDesktopWindowMessage message, FlutterDesktopWParam wparam, FlutterDesktopLParam lparam,
    FlutterDesktopLResult* result) {
  // The stand-in view needs none of the top-level window's messages.
  (void)controller;
  (void)window;
  (void)message;
  (void)wparam;
  (void)lparam;
  (void)result;
  return false;
}

FlutterDesktopNativeWindow FlutterDesktopViewGetHWND(FlutterDesktopViewRef view) {
  return view != nullptr && view->window ? view->window->hwnd() : nullptr;
}

uint32_t FlutterDesktopGetDpiForMonitor(FlutterDesktopMonitor monitor) {
  return stand_in::MonitorDpi(monitor);
}

void FlutterDesktopResyncOutputStreams(void) {
  // This library writes through the C runtime that it shares with the program, so streams the
  // program has reopened are already this library's too; what is buffered goes out now.
  std::fflush(stdout);
  std::fflush(stderr);
}

bool FlutterDesktopMessengerSend(FlutterDesktopMessengerRef messenger, const char* channel,
                                 const uint8_t* message, size_t message_size) {
  return FlutterDesktopMessengerSendWithReply(messenger, channel, message, message_size, nullptr,
                                              nullptr);
}

bool FlutterDesktopMessengerSendWithReply(FlutterDesktopMessengerRef messenger, const char* channel,
                                          const uint8_t* message, size_t message_size,
                                          FlutterDesktopBinaryReply reply, void* user_data) {
  if (messenger == nullptr || channel == nullptr || (message == nullptr && message_size != 0)) {
    return false;
  }
  std::lock_guard<std::recursive_mutex> hold(messenger->lock);
  if (messenger->engine == nullptr) return false;
  std::vector<uint8_t> bytes(message, message + message_size);
  messenger->engine->SendToUi(channel, std::move(bytes), stand_in::HostReply(reply, user_data));
  return true;
}

void FlutterDesktopMessengerSendResponse(FlutterDesktopMessengerRef messenger,
                                         const FlutterDesktopMessageResponseHandle* handle,
                                         const uint8_t* data, size_t data_length) {
  if (messenger == nullptr || handle == nullptr || (data == nullptr && data_length != 0)) return;
  std::lock_guard<std::recursive_mutex> hold(messenger->lock);
  const std::optional<uint64_t> call_id = stand_in::CloseResponse(messenger, handle);
  if (!call_id) {
    Complain("a response to a message that is unknown or answered already is ignored");
    return;
  }
  if (messenger->engine != nullptr) {
    messenger->engine->RespondToUi(*call_id, std::vector<uint8_t>(data, data + data_length));
  }
}

void FlutterDesktopMessengerSetCallback(FlutterDesktopMessengerRef messenger, const char* channel,
                                        FlutterDesktopMessageCallback callback, void* user_data) {
  if (messenger == nullptr || channel == nullptr) return;
  std::lock_guard<std::recursive_mutex> hold(messenger->lock);
  if (messenger->engine != nullptr) messenger->engine->SetCallback(channel, callback, user_data);
}

FlutterDesktopMessengerRef FlutterDesktopMessengerAddRef(FlutterDesktopMessengerRef messenger) {
  if (messenger != nullptr) ++messenger->references;
  return messenger;
}

void FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef messenger) {
  if (messenger != nullptr && --messenger->references == 0) delete messenger;
}

bool FlutterDesktopMessengerIsAvailable(FlutterDesktopMessengerRef messenger) {
  if (messenger == nullptr) return false;
  std::lock_guard<std::recursive_mutex> hold(messenger->lock);
  return messenger->engine != nullptr;
}

FlutterDesktopMessengerRef FlutterDesktopMessengerLock(FlutterDesktopMessengerRef messenger) {
  if (messenger != nullptr) messenger->lock.lock();
  return messenger;
}

void FlutterDesktopMessengerUnlock(FlutterDesktopMessengerRef messenger) {
  if (messenger != nullptr) messenger->lock.unlock();
}

void QuorvantaStandInRecordPluginRegistration(const char* library, const char* function,
                                              FlutterDesktopPluginRegistrarRef registrar) {
  stand_in::RecordPluginRegistration(library, function, registrar);
}
