#include "vpn/xray_worker.h"

#include <filesystem>
#include <system_error>

#include "base/log.h"
#include "vpn/child_dialogue.h"
#include "vpn/event_streams.h"
#include "vpn/executable_directory.h"
#include "vpn/system_proxy.h"
#include "vpn/vpn_state.h"

namespace vpn {
namespace {

bool Holds(std::string_view chunk, std::string_view phrase) {
  return chunk.find(phrase) != std::string_view::npos;
}

void RemoveConfigurationFile(const NativeString& path) {
  std::error_code error;
  if (std::filesystem::remove(std::filesystem::path(path), error)) {
    logging::Err("File Deleted: " + NativeToUtf8(path));
  } else {
    logging::Err("Failed to delete file: " + NativeToUtf8(path));
  }
}

void Classify(std::string_view chunk, ChildPipes& pipes, const std::string& configuration,
              const NativeString& configuration_path) {
  if (Holds(chunk, "stdin:")) {
    logging::Err("Writing config to stdin");
    logging::Err(configuration);
    AnswerChild(pipes, configuration, "Error writing yes to process.");
  } else if (Holds(chunk, "[Warning] core: Xray") && Holds(chunk, "started")) {
    PostEvent(XrayEvent::Started);
  } else if (Holds(chunk, "failed to load config files")) {
    PostEvent(XrayEvent::Stopped);
    RemoveConfigurationFile(configuration_path);
  }
}

void StopXray() {
  VpnState& state = GetVpnState();
  RequestSystemProxy(false);
  if (state.xrayProcess.TerminateChild()) {
    logging::Err("Terminate vpn was sucessfully");
  } else {
    logging::Err("Terminate vpn was failed");
  }
  PostEvent(XrayEvent::Stopped);
  state.connected = false;
  state.connecting = false;
}

}  // namespace

void RunXray(std::string configuration) {
  const NativeString directory = ExecutableDirectory();
  const NativeString application = ProgramPath(directory, "xray");
  const NativeString configuration_path = FilePath(directory, "c.json");
  VpnState& state = GetVpnState();
  if (StopTestHolds(state.xrayProcess)) {
    StopXray();
    return;
  }

  if (HasListener(EventStream::kXray)) {
    PostEvent(XrayEvent::Starting);
    state.connecting = true;
  }
  RequestSystemProxy(true);
  ChildPipes pipes;
  CreateChildPipes(pipes);
  const NativeString command_line = NativeFromUtf8(configuration);
  const std::shared_ptr<ChildProcess> child =
      LaunchChild(application, command_line, &directory, pipes);
  if (child != nullptr) {
    state.xrayProcess.Set(child);
  } else {
    PostEvent(XrayEvent::Stopped);
  }

  ReadChildOutput(pipes, [&](std::string_view chunk) {
    logging::Err(chunk);
    Classify(chunk, pipes, configuration, configuration_path);
  });
  CloseChild(pipes, child.get());
}

}  // namespace vpn
