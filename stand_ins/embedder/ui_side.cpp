#include "stand_ins/embedder/ui_side.h"

#include <memory>
#include <type_traits>
#include <utility>

#include "channels/method_call.h"
#include "channels/standard_method_codec.h"
#include "stand_ins/embedder/files.h"
#include "stand_ins/embedder/png_encoder.h"
#include "stand_ins/embedder/value_json.h"

namespace stand_in {
namespace {

constexpr std::chrono::milliseconds kWindowAnswerTimeout{5000};
constexpr std::chrono::milliseconds kWindowPollInterval{100};
// Waits without a time-out of their own are cut into slices of this length.
constexpr std::chrono::hours kIdleSlice{1};

std::string WindowStateText(const WindowState& state) {
  return "visible=" + std::to_string(state.visible ? 1 : 0) +
         " foreground=" + std::to_string(state.foreground ? 1 : 0) +
         " x=" + std::to_string(state.x) + " y=" + std::to_string(state.y) +
         " width=" + std::to_string(state.width) + " height=" + std::to_string(state.height) +
         " minimized=" + std::to_string(state.minimized ? 1 : 0);
}

int64_t WindowField(const WindowState& state, const std::string& name) {
  if (name == "visible") return state.visible ? 1 : 0;
  if (name == "foreground") return state.foreground ? 1 : 0;
  if (name == "minimized") return state.minimized ? 1 : 0;
  if (name == "x") return state.x;
  if (name == "y") return state.y;
  if (name == "width") return state.width;
  return state.height;
}

std::string FieldsText(const std::vector<std::pair<std::string, int64_t>>& fields) {
  std::string text;
  for (const auto& [name, value] : fields) {
    text += (text.empty() ? "" : " ") + name + "=" + std::to_string(value);
  }
  return text;
}

bool Matches(const WindowState& state, const std::vector<std::pair<std::string, int64_t>>& fields) {
  for (const auto& [name, value] : fields) {
    if (WindowField(state, name) != value) return false;
  }
  return true;
}

// The transcript name of a call: the method alone on the control channel, else channel/method.
std::string CallName(const Command& command) {
  return command.channel == kControlChannel ? command.method
                                            : command.channel + "/" + command.method;
}

}  // namespace

UiSide::UiSide(Transcript* transcript, StatusPanel* status, UiInbox* inbox, HostQueue* host,
               std::string script_path)
    : transcript_(transcript),
      status_(status),
      inbox_(inbox),
      host_(host),
      script_path_(std::move(script_path)) {}

UiSide::~UiSide() { Stop(); }

void UiSide::Start() {
  thread_ = std::thread([this] { Run(); });
}

void UiSide::Stop() {
  inbox_->RequestStop();
  if (thread_.joinable()) thread_.join();
}

void UiSide::Run() {
  while (!WaitUntil([this] { return started_; }, Clock::now() + kIdleSlice)) {
    if (inbox_->stop_requested()) return;
  }
  RunScript();
  while (!inbox_->stop_requested()) {
    WaitUntil([] { return false; }, Clock::now() + kIdleSlice);
  }
}

void UiSide::RunScript() {
  if (script_path_.empty()) {
    Line("script none");
    return;
  }
  Line("script " + script_path_);
  std::string text;
  if (!ReadWholeFile(script_path_, &text)) {
    Fail("script " + script_path_ + ": cannot be read");
  } else if (Script script = ParseScript(text); !script.errors.empty()) {
    for (const std::string& error : script.errors) Fail("script " + error);
  } else {
    for (const Command& command : script.commands) {
      if (inbox_->stop_requested()) {
        Fail("script line " + std::to_string(command.line) + " not run: the engine stopped");
        break;
      }
      RunCommand(command);
    }
  }
  Line("done failures=" + std::to_string(failures_));
}

void UiSide::RunCommand(const Command& command) {
  switch (command.kind) {
    case CommandKind::kListen:
      listening_[command.channel] = true;
      events_[command.channel].clear();
      Line("listen " + command.channel);
      Call(command);
      break;
    case CommandKind::kCancel:
      listening_[command.channel] = false;
      events_[command.channel].clear();
      Line("cancel " + command.channel);
      Call(command);
      break;
    case CommandKind::kCall:
      Line("call " + CallName(command) +
           (command.arguments.is_null() ? "" : " " + JsonText(command.arguments)));
      Call(command);
      break;
    case CommandKind::kExpectEvent:
      ExpectEvent(command);
      break;
    case CommandKind::kExpectNoEvent:
      ExpectNoEvent(command);
      break;
    case CommandKind::kWindow:
      CheckWindow(command);
      break;
    case CommandKind::kShow:
      ActOnWindow(WindowAction::kShow, "show");
      break;
    case CommandKind::kClose:
      ActOnWindow(WindowAction::kClose, "close");
      break;
    case CommandKind::kMinimize:
      ActOnWindow(WindowAction::kMinimize, "minimize");
      break;
    case CommandKind::kDestroy:
      ActOnWindow(WindowAction::kDestroy, "destroy");
      break;
    case CommandKind::kSleep:
      Line("sleep " + std::to_string(command.sleep_ms));
      WaitUntil([] { return false; }, Clock::now() + std::chrono::milliseconds(command.sleep_ms));
      break;
    case CommandKind::kScreenshot:
      Screenshot(command);
      break;
  }
}

bool UiSide::WaitUntil(const std::function<bool()>& done, Clock::time_point deadline) {
  for (UiItem& item : inbox_->TakeAll()) Handle(std::move(item));
  while (!done()) {
    if (inbox_->stop_requested() || Clock::now() >= deadline) return false;
    for (UiItem& item : inbox_->Wait(deadline)) Handle(std::move(item));
  }
  return true;
}

void UiSide::Handle(UiItem item) {
  std::visit(
      [this](auto&& held) {
        using Held = std::decay_t<decltype(held)>;
        if constexpr (std::is_same_v<Held, Started>) {
          started_ = true;
        } else if constexpr (std::is_same_v<Held, HostMessage>) {
          HandleHostMessage(std::move(held));
        } else if constexpr (std::is_same_v<Held, CallResponse>) {
          Answer answer = DecodeAnswer(held.bytes);
          // The panel first: the transcript's new line repaints the view.
          status_->RecordReply(call_names_[held.call_id], answer);
          Line("reply " + call_names_[held.call_id] + " " + answer.Text());
          replies_[held.call_id] = std::move(answer);
        } else {
          window_results_[held.request_id] = std::move(held);
        }
      },
      std::move(item));
}

void UiSide::HandleHostMessage(HostMessage message) {
  auto listening = listening_.find(message.channel);
  if (listening == listening_.end()) {
    Line("message " + message.channel + " " + HexText(message.bytes));
  } else {
    Answer event = DecodeAnswer(message.bytes);
    const std::string text = event.kind == Answer::Kind::kEmpty ? "end" : event.Text();
    if (listening->second) {
      status_->RecordEvent(message.channel, event);
      Line("event " + message.channel + " " + text);
      events_[message.channel].push_back(std::move(event));
    } else {
      Line("ignored event " + message.channel + " " + text);
    }
  }
  // The UI has no handlers of its own, so a message that wants a reply gets an empty one, as a
  // channel without a handler answers.
  if (message.reply) host_->Push(AnswerToHost{std::move(message.reply)});
}

void UiSide::Call(const Command& command) {
  const uint64_t id = next_id_++;
  const std::string name = CallName(command);
  call_names_[id] = name;
  auto arguments =
      command.arguments.is_null()
          ? nullptr
          : std::make_unique<flutter::EncodableValue>(ValueFromJson(command.arguments));
  std::unique_ptr<std::vector<uint8_t>> bytes =
      flutter::StandardMethodCodec::GetInstance().EncodeMethodCall(
          flutter::MethodCall<>(command.method, std::move(arguments)));
  host_->Push(IncomingCall{command.channel, std::move(*bytes), id});
  if (!command.wait) return;

  const auto timeout = std::chrono::milliseconds(command.timeout_ms);
  const bool answered = WaitUntil([&] { return replies_.count(id) != 0; }, Clock::now() + timeout);
  const std::string within = " within " + std::to_string(command.timeout_ms) + " ms";
  const ReplyCheck& check = command.reply;
  if (check.kind == ReplyCheck::Kind::kNoReply) {
    if (answered) {
      Fail("no reply " + name + ": got " + replies_[id].Text());
    } else {
      Ok("no reply " + name);
    }
    return;
  }
  if (!answered) {
    Fail("reply " + name + ": none" + within);
    return;
  }
  const Answer& answer = replies_[id];
  if (check.kind == ReplyCheck::Kind::kValue) {
    const std::string expected = "reply " + name + " " + JsonText(check.value);
    if (answer.kind == Answer::Kind::kSuccess && answer.value == check.value) {
      Ok(expected);
    } else {
      Fail(expected + ": got " + answer.Text());
    }
  } else if (check.kind == ReplyCheck::Kind::kError) {
    const std::string expected = "reply " + name + " error " + JsonText(check.error_code);
    if (answer.kind == Answer::Kind::kError && answer.code == check.error_code) {
      Ok(expected);
    } else {
      Fail(expected + ": got " + answer.Text());
    }
  }
}

void UiSide::ExpectEvent(const Command& command) {
  const std::string expected = "event " + command.channel + " " + JsonText(command.event);
  auto listening = listening_.find(command.channel);
  if (listening == listening_.end() || !listening->second) {
    Fail(expected + ": not listening on " + command.channel);
    return;
  }
  std::deque<Answer>& events = events_[command.channel];
  if (!WaitUntil([&] { return !events.empty(); },
                 Clock::now() + std::chrono::milliseconds(command.timeout_ms))) {
    Fail(expected + ": none within " + std::to_string(command.timeout_ms) + " ms");
    return;
  }
  Answer event = std::move(events.front());
  events.pop_front();
  if (event.kind == Answer::Kind::kSuccess && event.value == command.event) {
    Ok(expected);
  } else {
    Fail(expected + ": got " + (event.kind == Answer::Kind::kEmpty ? "end" : event.Text()));
  }
}

void UiSide::ExpectNoEvent(const Command& command) {
  const std::string expected = "no event " + command.channel;
  std::deque<Answer>& events = events_[command.channel];
  if (WaitUntil([&] { return !events.empty(); },
                Clock::now() + std::chrono::milliseconds(command.timeout_ms))) {
    Fail(expected + ": got " + events.front().Text());
    events.pop_front();
  } else {
    Ok(expected);
  }
}

void UiSide::CheckWindow(const Command& command) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(command.timeout_ms);
  std::optional<WindowResult> result;
  while (true) {
    result = AskWindow(WindowAction::kReport);
    if (!result || !result->error.empty()) {
      Fail("window: " + (result ? result->error : "no answer from the platform thread"));
      return;
    }
    if (Matches(result->state, command.window_fields) || Clock::now() >= deadline ||
        inbox_->stop_requested()) {
      break;
    }
    WaitUntil([] { return false; }, Clock::now() + kWindowPollInterval);
  }
  Line("window " + WindowStateText(result->state));
  if (command.window_fields.empty()) return;
  const std::string expected = "window " + FieldsText(command.window_fields);
  if (Matches(result->state, command.window_fields)) {
    Ok(expected);
  } else {
    Fail(expected + ": got " + WindowStateText(result->state));
  }
}

void UiSide::ActOnWindow(WindowAction action, const char* name) {
  Line(name);
  std::optional<WindowResult> result = AskWindow(action);
  if (!result) {
    Fail(std::string(name) + ": no answer from the platform thread");
  } else if (!result->error.empty()) {
    Fail(std::string(name) + ": " + result->error);
  }
}

void UiSide::Screenshot(const Command& command) {
  const std::string what = "screenshot " + command.path;
  std::optional<WindowResult> result = AskWindow(WindowAction::kCapture);
  if (!result || !result->error.empty()) {
    Fail(what + ": " + (result ? result->error : "no answer from the platform thread"));
    return;
  }
  std::vector<uint8_t> png;
  std::string error;
  if (!EncodePng(result->image, &png, &error) || !WriteWholeFile(command.path, png, &error)) {
    Fail(what + ": " + error);
    return;
  }
  Line(what + " " + std::to_string(result->image.width) + "x" +
       std::to_string(result->image.height));
}

std::optional<WindowResult> UiSide::AskWindow(WindowAction action) {
  const uint64_t id = next_id_++;
  if (!host_->Push(WindowRequest{id, action})) return std::nullopt;
  if (!WaitUntil([&] { return window_results_.count(id) != 0; },
                 Clock::now() + kWindowAnswerTimeout)) {
    return std::nullopt;
  }
  WindowResult result = std::move(window_results_[id]);
  window_results_.erase(id);
  return result;
}

void UiSide::Line(const std::string& text) { transcript_->Add(text); }

void UiSide::Ok(const std::string& text) { Line("ok " + text); }

void UiSide::Fail(const std::string& text) {
  ++failures_;
  Line("FAILED " + text);
}

}  // namespace stand_in
