#include "vpn/openconnect_worker.h"

#include <optional>

#include "base/log.h"
#include "vpn/child_dialogue.h"
#include "vpn/event_streams.h"
#include "vpn/executable_directory.h"
#include "vpn/vpn_state.h"
#include "vpn/windows_command_line.h"

namespace vpn {
namespace {

enum class FlagChange { kUnchanged, kConnected, kBothCleared };
enum class Reply { kNone, kYes, kUserName, kPassword };

struct PhraseRow {
  std::string_view phrase;
  std::string_view also_needed;  // a second phrase the chunk must hold as well, when not empty
  std::string_view log_line;
  std::optional<OpenConnectEvent> event;
  FlagChange flags;
  Reply reply;
};

// Tried in this order; the first row whose phrases the chunk holds acts alone.
constexpr PhraseRow kPhraseTable[] = {
    {"Using TAP-Windows device",
     {},
     "Server is done",
     OpenConnectEvent::Connected,
     FlagChange::kConnected,
     Reply::kNone},
    {"failed:", "try again.", "Reconnecting", OpenConnectEvent::Connecting,
     FlagChange::kBothCleared, Reply::kNone},
    {"Read error",
     {},
     "Faild to connection",
     OpenConnectEvent::Disconnected,
     FlagChange::kBothCleared,
     Reply::kNone},
    {"Failed to reconnect",
     {},
     "Faild to reconnection",
     OpenConnectEvent::Disconnected,
     FlagChange::kBothCleared,
     Reply::kNone},
    {"Server certificate verify failed: certificate does not match SNI",
     {},
     "Faild to reconnection",
     OpenConnectEvent::Disconnected,
     FlagChange::kBothCleared,
     Reply::kNone},
    {"Failed to complete",
     {},
     "Faild to connect to the server",
     OpenConnectEvent::Disconnected,
     FlagChange::kBothCleared,
     Reply::kNone},
    {"timeout",
     {},
     "Timeout to reconnection",
     OpenConnectEvent::Disconnected,
     FlagChange::kBothCleared,
     Reply::kNone},
    {"Enter 'yes' to accept, 'no'", {}, {}, std::nullopt, FlagChange::kUnchanged, Reply::kYes},
    {"Username:", {}, {}, std::nullopt, FlagChange::kUnchanged, Reply::kUserName},
    {"Password:", {}, {}, std::nullopt, FlagChange::kUnchanged, Reply::kPassword},
};

bool Holds(std::string_view chunk, std::string_view phrase) {
  return chunk.find(phrase) != std::string_view::npos;
}

const PhraseRow* MatchPhrase(std::string_view chunk) {
  for (const PhraseRow& row : kPhraseTable) {
    if (Holds(chunk, row.phrase) && (row.also_needed.empty() || Holds(chunk, row.also_needed))) {
      return &row;
    }
  }
  return nullptr;
}

class Dialogue {
 public:
  Dialogue(ChildPipes& pipes, const std::string& user_name, const std::string& password)
      : pipes_(pipes), user_name_(user_name), password_(password) {}

  void Classify(std::string_view chunk) {
    const PhraseRow* row = MatchPhrase(chunk);
    if (row == nullptr) {
      return;
    }
    if (!row->log_line.empty()) {
      logging::Err(row->log_line);
    }
    if (row->event) {
      PostEvent(*row->event);
    }
    ApplyFlags(row->flags);
    Answer(row->reply);
  }

 private:
  static void ApplyFlags(FlagChange change) {
    VpnState& state = GetVpnState();
    switch (change) {
      case FlagChange::kUnchanged:
        break;
      case FlagChange::kConnected:
        state.connected = true;
        state.connecting = false;
        break;
      case FlagChange::kBothCleared:
        state.connected = false;
        state.connecting = false;
        break;
    }
  }

  void Answer(Reply reply) {
    switch (reply) {
      case Reply::kNone:
        break;
      case Reply::kYes:
        AnswerChild(pipes_, "yes", "Error writing yes to process.");
        break;
      case Reply::kUserName:
        AnswerChild(pipes_, user_name_, "Error writing username to process.");
        break;
      case Reply::kPassword:
        AnswerChild(pipes_, password_, "Error writing password to process.");
        break;
    }
  }

  ChildPipes& pipes_;
  const std::string& user_name_;
  const std::string& password_;
};

void StopOpenConnect() {
  VpnState& state = GetVpnState();
  if (!state.openConnectProcess.TerminateChild()) {
    logging::Err("Terminate vpn was failed");
    return;
  }
  logging::Err("Terminate vpn was sucessfully");
  PostEvent(OpenConnectEvent::Disconnected);
  state.connected = false;
  state.connecting = false;
}

}  // namespace

NativeString OpenConnectCommandLine(std::string_view server) {
  return NativeFromUtf8("--allow-insecure-crypto " + QuoteWindowsArgument(server));
}

void RunOpenConnect(std::string user_name, std::string password, std::string server) {
  const NativeString directory = ExecutableDirectory();
  VpnState& state = GetVpnState();
  if (StopTestHolds(state.openConnectProcess)) {
    StopOpenConnect();
    return;
  }

  if (HasListener(EventStream::kOpenConnect)) {
    PostEvent(OpenConnectEvent::Connecting);
    state.connecting = true;
  }
  ChildPipes pipes;
  CreateChildPipes(pipes);
  const NativeString command_line = OpenConnectCommandLine(server);
  const NativeString application = ProgramPath(directory, "openconnect");
  logging::Out(NativeToUtf8(application));
  const std::shared_ptr<ChildProcess> child =
      LaunchChild(application, command_line, nullptr, pipes);
  if (child != nullptr) {
    state.openConnectProcess.Set(child);
  } else {
    PostEvent(OpenConnectEvent::Disconnected);
  }

  Dialogue dialogue(pipes, user_name, password);
  ReadChildOutput(pipes, [&dialogue](std::string_view chunk) { dialogue.Classify(chunk); });
  CloseChild(pipes, child.get());
}

}  // namespace vpn
