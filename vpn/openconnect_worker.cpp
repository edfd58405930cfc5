#include "vpn/openconnect_worker.h"

#include <utility>

#include "base/log.h"
#include "vpn/child_dialogue.h"
#include "vpn/connection_worker.h"
#include "vpn/event_streams.h"
#include "vpn/executable_directory.h"
#include "vpn/openconnect_phrases.h"
#include "vpn/vpn_state.h"
#include "vpn/windows_command_line.h"

namespace vpn {
namespace {

using FlagChange = OpenConnectPhraseRow::FlagChange;
using Reply = OpenConnectPhraseRow::Reply;

void ApplyFlags(FlagChange change) {
  VpnState& state = GetVpnState();
  switch (change) {
    case FlagChange::kUnchanged:
      break;
    case FlagChange::kConnected:
      state.connected = true;
      state.connecting = false;
      break;
    case FlagChange::kBothCleared:
      ClearFlags();
      break;
  }
}

class OpenConnectKind : public ConnectionKind {
 public:
  OpenConnectKind(std::string user_name, std::string password, std::string server)
      : user_name_(std::move(user_name)),
        password_(std::move(password)),
        server_(std::move(server)) {}

  std::shared_ptr<Connection>& Record(VpnState& state) const override {
    return state.openConnectProcess;
  }
  EventStream Stream() const override { return EventStream::kOpenConnect; }

  void StopLocked(Connection* latest) override {
    if (latest == nullptr || !latest->Stop()) {
      logging::Err(kTerminateFailedLine);
      return;
    }
    logging::Err(kTerminatedLine);
    ClearFlags();
    latest->Post(static_cast<int32_t>(OpenConnectEvent::Disconnected));
  }

  void AnnounceLocked(Connection& connection) override {
    if (HasListener(EventStream::kOpenConnect)) {
      GetVpnState().connecting = true;
      connection.Post(static_cast<int32_t>(OpenConnectEvent::Connecting));
    }
  }

  void ReportLaunchFailureLocked(Connection& connection) override {
    connection.Post(static_cast<int32_t>(OpenConnectEvent::Disconnected));
  }

  void ReportEndLocked(Connection& connection) override {
    ClearFlags();
    const auto disconnected = static_cast<int32_t>(OpenConnectEvent::Disconnected);
    if (connection.LastEvent() != disconnected) {
      connection.Post(disconnected);
    }
  }

  Launch PrepareLaunch() override {
    Launch launch{ProgramPath(ExecutableDirectory(), "openconnect"),
                  OpenConnectCommandLine(server_), std::nullopt};
    logging::Out(NativeToUtf8(launch.application));
    return launch;
  }

  void Classify(std::string_view chunk, ChildPipes& pipes, Connection& connection) override {
    const OpenConnectPhraseRow* row = MatchOpenConnectPhrase(chunk);
    if (row == nullptr) {
      return;
    }
    if (row->event) {
      ActUnlessEnded(connection, [row, &connection] {
        logging::Err(row->log_line);
        ApplyFlags(row->flags);
        connection.Post(static_cast<int32_t>(*row->event));
      });
    }
    Answer(pipes, row->reply);
  }

 private:
  void Answer(ChildPipes& pipes, Reply reply) const {
    switch (reply) {
      case Reply::kNone:
        break;
      case Reply::kYes:
        AnswerChild(pipes, "yes", kWritingYesFailedLine);
        break;
      case Reply::kUserName:
        AnswerChild(pipes, user_name_, "Error writing username to process.");
        break;
      case Reply::kPassword:
        AnswerChild(pipes, password_, "Error writing password to process.");
        break;
    }
  }

  const std::string user_name_;
  const std::string password_;
  const std::string server_;
};

}  // namespace

NativeString OpenConnectCommandLine(std::string_view server) {
  return NativeFromUtf8("--allow-insecure-crypto " + QuoteWindowsArgument(server));
}

void RunOpenConnect(std::string user_name, std::string password, std::string server) {
  OpenConnectKind kind(std::move(user_name), std::move(password), std::move(server));
  RunConnectionWorker(kind);
}

}  // namespace vpn
