// A small GUI program that uses the stand-in embedder and plugins through its import table, as
// the real program does: it registers the plugins, answers every call on the control channel with
// "echo:<method>", and ends when its window is destroyed. Started through Wine, it shows that the
// UI side's transcript reaches the standard output of a GUI program.

#include <windows.h>

#include <shellapi.h>

#include <memory>
#include <string>
#include <vector>

#include "channels/standard_method_codec.h"
#include "shell/embedder/embedder_api.h"
#include "shell/plugin_libraries.h"
#include "tests/stand_ins/host_window.h"

namespace {

std::vector<std::string> Arguments() {
  std::vector<std::string> arguments;
  int count = 0;
  LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
  if (words == nullptr) return arguments;
  for (int i = 1; i < count; ++i) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, words[i], -1, nullptr, 0, nullptr, nullptr);
    std::string argument(length > 0 ? length - 1 : 0, '\0');
    if (length > 1) {
      WideCharToMultiByte(CP_UTF8, 0, words[i], -1, argument.data(), length, nullptr, nullptr);
    }
    arguments.push_back(argument);
  }
  LocalFree(words);
  return arguments;
}

void Echo(FlutterDesktopMessengerRef messenger, const FlutterDesktopMessage* message, void*) {
  const auto& codec = flutter::StandardMethodCodec::GetInstance();
  const auto call = codec.DecodeMethodCall(message->message, message->message_size);
  const flutter::EncodableValue answer("echo:" + (call ? call->MethodName() : std::string("?")));
  const auto bytes = codec.EncodeSuccessEnvelope(&answer);
  FlutterDesktopMessengerSendResponse(messenger, message->response_handle, bytes->data(),
                                      bytes->size());
}

void RegisterPlugins(FlutterDesktopEngineRef engine) {
  const auto registrar = [engine](const char* name) {
    return FlutterDesktopEngineGetPluginRegistrar(engine, name);
  };
  ConnectivityPlusWindowsPluginRegisterWithRegistrar(registrar("ConnectivityPlusWindowsPlugin"));
  FlutterPlatformAlertPluginRegisterWithRegistrar(registrar("FlutterPlatformAlertPlugin"));
  RivePluginRegisterWithRegistrar(registrar("RivePlugin"));
  ScreenRetrieverWindowsPluginCApiRegisterWithRegistrar(
      registrar("ScreenRetrieverWindowsPluginCApi"));
  registrar("SentryFlutterPlugin");
  TrayManagerPluginRegisterWithRegistrar(registrar("TrayManagerPlugin"));
  UrlLauncherWindowsRegisterWithRegistrar(registrar("UrlLauncherWindows"));
  WindowManagerPluginRegisterWithRegistrar(registrar("WindowManagerPlugin"));
  WindowsSingleInstancePluginRegisterWithRegistrar(registrar("WindowsSingleInstancePlugin"));
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const std::vector<std::string> arguments = Arguments();
  std::vector<const char*> argv;
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  FlutterDesktopEngineProperties properties{};
  properties.assets_path = L"data\\flutter_assets";
  properties.icu_data_path = L"data\\icudtl.dat";
  properties.aot_library_path = L"data\\app.so";
  properties.dart_entrypoint = "";
  properties.dart_entrypoint_argc = static_cast<int>(argv.size());
  properties.dart_entrypoint_argv = argv.empty() ? nullptr : argv.data();
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
