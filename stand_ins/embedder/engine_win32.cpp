#include "stand_ins/embedder/engine_win32.h"

#include <filesystem>
#include <mutex>
#include <set>
#include <string_view>
#include <system_error>
#include <type_traits>
#include <utility>
#include <variant>

#include <nlohmann/json.hpp>

#include "base/log.h"
#include "stand_ins/embedder/files.h"
#include "stand_ins/embedder/value_json.h"
#include "stand_ins/embedder/view_window_win32.h"
#include "stand_ins/embedder/window_ops_win32.h"

namespace stand_in {
namespace {

constexpr size_t kPaintedLines = 60;
constexpr std::string_view kScriptFlag = "--ui-script=";
constexpr std::string_view kTranscriptFlag = "--ui-transcript=";

// Registrars of all live engines, so that a plugin's record finds its engine.
std::mutex& RegistrarsLock() {
  static std::mutex lock;
  return lock;
}
std::set<const FlutterDesktopPluginRegistrar*>& LiveRegistrars() {
  static std::set<const FlutterDesktopPluginRegistrar*> registrars;
  return registrars;
}

std::wstring CopyWide(const wchar_t* text) { return text != nullptr ? text : L""; }

std::vector<std::string> CopyArguments(const FlutterDesktopEngineProperties& properties) {
  std::vector<std::string> arguments;
  if (properties.dart_entrypoint_argv == nullptr) return arguments;
  for (int i = 0; i < properties.dart_entrypoint_argc; ++i) {
    const char* argument = properties.dart_entrypoint_argv[i];
    arguments.emplace_back(argument != nullptr ? argument : "");
  }
  return arguments;
}

std::wstring ExecutableDirectory() {
  std::wstring path(MAX_PATH, L'\0');
  while (true) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return std::filesystem::path(path).parent_path().wstring();
}

}  // namespace

Engine::Engine(const FlutterDesktopEngineProperties& properties)
    : assets_path_(CopyWide(properties.assets_path)),
      arguments_(CopyArguments(properties)),
      transcript_(kPaintedLines),
      messenger_(new FlutterDesktopMessenger) {
  messenger_->engine = this;
  std::string transcript_path;
  for (const std::string& argument : arguments_) {
    if (argument.rfind(kScriptFlag, 0) == 0) script_path_ = argument.substr(kScriptFlag.size());
    if (argument.rfind(kTranscriptFlag, 0) == 0) {
      transcript_path = argument.substr(kTranscriptFlag.size());
    }
  }
  if (!transcript_path.empty()) {
    Transcript::FileOwner copy = CreateTextFile(transcript_path);
    if (!copy) logging::Err("flutter_windows stand-in: cannot create " + transcript_path);
    transcript_.SetCopy(std::move(copy));
  }
  transcript_.Add("arguments " + JsonText(nlohmann::json(arguments_)));
}

Engine::~Engine() {
  Stop();
  {
    std::lock_guard<std::mutex> hold(RegistrarsLock());
    for (const auto& entry : registrars_) LiveRegistrars().erase(entry.second.get());
  }
  if (--messenger_->references == 0) delete messenger_;
}

bool Engine::AssetsPresent() const {
  if (assets_path_.empty()) return false;
  std::filesystem::path path(assets_path_);
  if (path.is_relative()) path = std::filesystem::path(ExecutableDirectory()) / path;
  std::error_code failure;
  return std::filesystem::is_directory(path, failure);
}

FlutterDesktopPluginRegistrarRef Engine::Registrar(const std::string& name) {
  std::unique_ptr<FlutterDesktopPluginRegistrar>& registrar = registrars_[name];
  if (!registrar) {
    registrar = std::make_unique<FlutterDesktopPluginRegistrar>(
        FlutterDesktopPluginRegistrar{this, name, static_cast<int>(registrars_.size())});
    std::lock_guard<std::mutex> hold(RegistrarsLock());
    LiveRegistrars().insert(registrar.get());
  }
  transcript_.Add("registrar " + std::to_string(registrar->number) + " " + name);
  return registrar.get();
}

void Engine::ReloadSystemFonts() {
  if (view_ != nullptr) view_->ReloadFont();
  transcript_.Add("fonts reloaded");
}

void Engine::Run(ViewWindow* view, int width, int height) {
  view_ = view;
  running_ = true;
  transcript_.Add("engine running view=" + std::to_string(width) + "x" + std::to_string(height));
  view_->Connect(this, host_queue_);
  ui_side_ =
      std::make_unique<UiSide>(&transcript_, &status_, &inbox_, host_queue_.get(), script_path_);
  ui_side_->Start();
  host_queue_->Push(StartUi{});
}

void Engine::Stop() {
  if (stopped_) return;
  stopped_ = true;
  {
    std::lock_guard<std::recursive_mutex> hold(messenger_->lock);
    messenger_->engine = nullptr;
  }
  // Nothing reaches the engine any more: the UI side can end, and what is still queued in either
  // direction is dropped here, on the platform thread, where unanswered replies are answered.
  ui_side_.reset();
  host_queue_->Close();
  inbox_.TakeAll();
  if (running_) transcript_.Add("engine stopped");
}

void Engine::SetCallback(const std::string& channel, FlutterDesktopMessageCallback callback,
                         void* user_data) {
  if (callback == nullptr) {
    callbacks_.erase(channel);
    transcript_.Add("handler " + channel + " removed");
  } else {
    callbacks_[channel] = Callback{callback, user_data};
    transcript_.Add("handler " + channel);
  }
}

void Engine::SendToUi(std::string channel, std::vector<uint8_t> bytes, HostReply reply) {
  inbox_.Push(HostMessage{std::move(channel), std::move(bytes), std::move(reply)});
}

void Engine::RespondToUi(uint64_t call_id, std::vector<uint8_t> bytes) {
  inbox_.Push(CallResponse{call_id, std::move(bytes)});
}

void Engine::Deliver(HostItem item) {
  std::visit(
      [this](auto&& held) {
        using Held = std::decay_t<decltype(held)>;
        if constexpr (std::is_same_v<Held, StartUi>) {
          Start();
        } else if constexpr (std::is_same_v<Held, IncomingCall>) {
          DeliverCall(std::move(held));
        } else if constexpr (std::is_same_v<Held, WindowRequest>) {
          DeliverWindowRequest(held);
        } else {
          held.reply.Send(nullptr, 0);
        }
      },
      std::move(item));
}

void Engine::Start() {
  const HWND top = view_->TopLevel();
  if (top != nullptr) transcript_.Add("show");
  inbox_.Push(Started{});
  // As the UI does once it is up: the program creates its window hidden and leaves showing it to
  // the UI.
  if (top != nullptr) {
    ShowWindow(top, SW_SHOW);
    SetForegroundWindow(top);
  }
}

void Engine::DeliverCall(IncomingCall call) {
  auto found = callbacks_.find(call.channel);
  if (found == callbacks_.end()) {
    // Nobody listens on this channel: the caller gets an empty answer at once.
    inbox_.Push(CallResponse{call.call_id, {}});
    return;
  }
  const Callback callback = found->second;
  FlutterDesktopMessenger* messenger = messenger_;
  const FlutterDesktopMessageResponseHandle* handle = nullptr;
  {
    std::lock_guard<std::recursive_mutex> hold(messenger->lock);
    handle = OpenResponse(messenger, call.call_id);
  }
  const FlutterDesktopMessage message{sizeof(FlutterDesktopMessage), call.channel.c_str(),
                                      call.bytes.data(), call.bytes.size(), handle};
  callback.function(messenger, &message, callback.user_data);
}

void Engine::DeliverWindowRequest(const WindowRequest& request) {
  const HWND top = view_->TopLevel();
  WindowResult result;
  result.request_id = request.request_id;
  if (top == nullptr) {
    result.error = "no top-level window";
    inbox_.Push(std::move(result));
    return;
  }
  switch (request.action) {
    case WindowAction::kReport:
      result.state = ReadWindowState(top);
      inbox_.Push(std::move(result));
      return;
    case WindowAction::kCapture:
      if (!CaptureWindow(top, &result.image, &result.error)) result.image = BgrImage();
      inbox_.Push(std::move(result));
      return;
    default:
      break;
  }
  // The program's window procedure may end the engine while it handles these, so the answer goes
  // first and the window call is the last thing done here.
  inbox_.Push(std::move(result));
  switch (request.action) {
    case WindowAction::kShow:
      ShowWindow(top, SW_SHOW);
      SetForegroundWindow(top);
      break;
    case WindowAction::kClose:
      SendMessageW(top, WM_CLOSE, 0, 0);
      break;
    case WindowAction::kMinimize:
      ShowWindow(top, SW_MINIMIZE);
      break;
    case WindowAction::kDestroy:
      DestroyWindow(top);
      break;
    default:
      break;
  }
}

void RecordPluginRegistration(const char* library, const char* function,
                              FlutterDesktopPluginRegistrarRef registrar) {
  const std::string call = std::string("plugin ") + (library != nullptr ? library : "?") + " " +
                           (function != nullptr ? function : "?") + " registrar ";
  std::lock_guard<std::mutex> hold(RegistrarsLock());
  if (registrar == nullptr) {
    logging::Out(call + "null");
  } else if (LiveRegistrars().count(registrar) == 0) {
    logging::Out(call + "unknown");
  } else {
    registrar->engine->transcript().Add(call + std::to_string(registrar->number));
  }
}

}  // namespace stand_in
