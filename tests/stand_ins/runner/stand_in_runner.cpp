// A small GUI program that uses the stand-in embedder and plugins through its import table, as
// the real program does: it registers the plugins, answers every call on the control channel with
// "echo:<method>", and ends when its window is destroyed. Started through Wine, it shows that the
// UI side's transcript reaches the standard output of a GUI program.

#include <windows.h>

#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "channels/standard_method_codec.h"
#include "shell/embedder/embedder_api.h"
#include "shell/plugin_libraries.h"
#include "tests/stand_ins/host_window.h"

namespace {

void Echo(FlutterDesktopMessengerRef messenger, const FlutterDesktopMessage* message, void*) {
  const auto& codec = flutter::StandardMethodCodec::GetInstance();
  const auto call = codec.DecodeMethodCall(message->message, message->message_size);
  const flutter::EncodableValue answer("echo:" + (call ? call->MethodName() : std::string("?")));
  const auto bytes = codec.EncodeSuccessEnvelope(&answer);
  FlutterDesktopMessengerSendResponse(messenger, message->response_handle, bytes->data(),
                                      bytes->size());
}

struct Plugin {
  const char* name;
  void (*registration)(FlutterDesktopPluginRegistrarRef);  // null: a plugin without a library
};

constexpr Plugin kPlugins[] = {
    {"ConnectivityPlusWindowsPlugin", &ConnectivityPlusWindowsPluginRegisterWithRegistrar},
    {"FlutterPlatformAlertPlugin", &FlutterPlatformAlertPluginRegisterWithRegistrar},
    {"RivePlugin", &RivePluginRegisterWithRegistrar},
    {"ScreenRetrieverWindowsPluginCApi", &ScreenRetrieverWindowsPluginCApiRegisterWithRegistrar},
    {"SentryFlutterPlugin", nullptr},
    {"TrayManagerPlugin", &TrayManagerPluginRegisterWithRegistrar},
    {"UrlLauncherWindows", &UrlLauncherWindowsRegisterWithRegistrar},
    {"WindowManagerPlugin", &WindowManagerPluginRegisterWithRegistrar},
    {"WindowsSingleInstancePlugin", &WindowsSingleInstancePluginRegisterWithRegistrar},
};

// All registrars are looked up first and the plugins registered in reverse, so that each plugin's
// line shows the registrar it was really given.
void RegisterPlugins(FlutterDesktopEngineRef engine) {
  std::vector<FlutterDesktopPluginRegistrarRef> registrars;
  for (const Plugin& plugin : kPlugins) {
    registrars.push_back(FlutterDesktopEngineGetPluginRegistrar(engine, plugin.name));
  }
  for (size_t i = std::size(kPlugins); i-- > 0;) {
    if (kPlugins[i].registration != nullptr) kPlugins[i].registration(registrars[i]);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  std::vector<const char*> argv(__argv + 1, __argv + __argc);
  FlutterDesktopEngineProperties properties{};
  properties.assets_path = L"data\\flutter_assets";
  properties.dart_entrypoint_argc = static_cast<int>(argv.size());
  properties.dart_entrypoint_argv = argv.data();
  FlutterDesktopEngineRef engine = FlutterDesktopEngineCreate(&properties);

  testing_support::HostWindow window(10, 10, 360, 280);
  // A fixed view size keeps the transcript the same whatever the frame's metrics.
  if (window.Host(engine, SIZE{300, 200}) == nullptr) return 1;
  RegisterPlugins(engine);
  FlutterDesktopMessengerSetCallback(FlutterDesktopEngineGetMessenger(engine),
                                     "quorvanta/channeling", &Echo, nullptr);

  MSG message;
  while (window.hwnd() != nullptr && GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
