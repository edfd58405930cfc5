#include "vpn/xray_worker.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "base/log.h"
#include "vpn/child_dialogue.h"
#include "vpn/connection_worker.h"
#include "vpn/event_streams.h"
#include "vpn/executable_directory.h"
#include "vpn/system_proxy.h"
#include "vpn/vpn_state.h"
#include "vpn/xray_phrases.h"

namespace vpn {
namespace {

constexpr auto kProxyOff = static_cast<int32_t>(XrayEvent::ProxyOff);
constexpr auto kStopped = static_cast<int32_t>(XrayEvent::Stopped);

void RemoveConfigurationFile(const NativeString& path) {
  std::error_code error;
  if (std::filesystem::remove(std::filesystem::path(path), error)) {
    logging::Err("File Deleted: " + NativeToUtf8(path));
  } else {
    logging::Err("Failed to delete file: " + NativeToUtf8(path));
  }
}

void RequestProxyOff(Connection* connection) {
  RequestSystemProxy(false);
  if (connection != nullptr) {
    connection->NoteSent(kProxyOff);
  }
}

class XrayKind : public ConnectionKind {
 public:
  explicit XrayKind(std::string configuration)
      : configuration_(std::move(configuration)),
        directory_(ExecutableDirectory()),
        configuration_path_(FilePath(directory_, "c.json")) {}

  std::shared_ptr<Connection>& Record(VpnState& state) const override { return state.xrayProcess; }
  EventStream Stream() const override { return EventStream::kXray; }

  void StopLocked(Connection* latest) override {
    RequestProxyOff(latest);
    if (latest != nullptr && latest->Stop()) {
      logging::Err(kTerminatedLine);
    } else {
      logging::Err(kTerminateFailedLine);
    }
    ClearFlags();
    if (latest != nullptr) {
      latest->Post(kStopped);
    } else {
      PostEvent(XrayEvent::Stopped);
    }
  }

  void AnnounceLocked(Connection& connection) override {
    if (HasListener(EventStream::kXray)) {
      GetVpnState().connecting = true;
      connection.Post(static_cast<int32_t>(XrayEvent::Starting));
    }
    RequestSystemProxy(true);
    connection.NoteSent(static_cast<int32_t>(XrayEvent::ProxyOn));
  }

  void ReportLaunchFailureLocked(Connection& connection) override { connection.Post(kStopped); }

  void ReportEndLocked(Connection& connection) override {
    ClearFlags();
    if (!connection.HasSent(kProxyOff)) {
      RequestProxyOff(&connection);
    }
    if (!connection.HasSent(kStopped)) {
      connection.Post(kStopped);
    }
  }

  Launch PrepareLaunch() override {
    return Launch{ProgramPath(directory_, "xray"), NativeFromUtf8(configuration_), directory_};
  }

  void Classify(std::string_view chunk, ChildPipes& pipes, Connection& connection) override {
    logging::Err(chunk);
    switch (ClassifyXrayChunk(chunk)) {
      case XrayChunk::kOther:
        break;
      case XrayChunk::kAsksForConfiguration:
        logging::Err("Writing config to stdin");
        logging::Err(configuration_);
        AnswerChild(pipes, configuration_, kWritingYesFailedLine);
        break;
      case XrayChunk::kStarted:
        ActUnlessEnded(connection, [&connection] {
          connection.Post(static_cast<int32_t>(XrayEvent::Started));
        });
        break;
      case XrayChunk::kConfigurationFailed:
        if (ActUnlessEnded(connection, [&connection] { connection.Post(kStopped); })) {
          RemoveConfigurationFile(configuration_path_);
        }
        break;
    }
  }

 private:
  const std::string configuration_;
  const NativeString directory_;
  const NativeString configuration_path_;
};

}  // namespace

void RunXray(std::string configuration) {
  XrayKind kind(std::move(configuration));
  RunConnectionWorker(kind);
}

}  // namespace vpn
