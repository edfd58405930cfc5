#include "vpn/control_channel.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/log.h"
#include "vpn/openconnect_worker.h"
#include "vpn/screen_size.h"
#include "vpn/vpn_state.h"
#include "vpn/worker_thread.h"
#include "vpn/xray_worker.h"

namespace vpn {
namespace {

using flutter::EncodableList;
using flutter::EncodableValue;
using Result = std::unique_ptr<flutter::MethodResult<>>;

// The first `count` elements of `arguments`, when it is a list of at least that many elements
// that are all strings.
std::optional<std::vector<std::string>> LeadingStrings(const EncodableValue* arguments,
                                                       size_t count) {
  const auto* list = arguments != nullptr ? std::get_if<EncodableList>(arguments) : nullptr;
  if (list == nullptr || list->size() < count) {
    return std::nullopt;
  }
  std::vector<std::string> strings;
  for (size_t i = 0; i < count; ++i) {
    const auto* text = std::get_if<std::string>(&(*list)[i]);
    if (text == nullptr) {
      return std::nullopt;
    }
    strings.push_back(*text);
  }
  return strings;
}

bool HasLineBreak(const std::string& text) {
  return text.find_first_of("\r\n") != std::string::npos;
}

void AnswerError(const Result& result, const std::string& code, const std::string& message) {
  logging::Err(message);
  result->Error(code, message, nullptr);
}

void AnswerToggleStarted(const Result& result, std::function<void()> worker) {
  if (!StartWorker(std::move(worker))) {
    AnswerError(result, "thread_failed", "Could not start a connection worker thread.");
    return;
  }
  const EncodableValue started(int32_t{0});
  result->Success(&started);
  logging::Out("toggleVPN END");
}

void ToggleOpenConnect(const EncodableValue* arguments, const Result& result) {
  std::optional<std::vector<std::string>> strings = LeadingStrings(arguments, 3);
  if (!strings) {
    AnswerError(result, "bad_arguments",
                "toggleOpenConnect expects a list of server, user name and password strings.");
    return;
  }
  std::string& server = (*strings)[0];
  std::string& user_name = (*strings)[1];
  std::string& password = (*strings)[2];
  // Each answer ends at its line end: a line break inside would answer the child's next prompt.
  if (HasLineBreak(user_name) || HasLineBreak(password)) {
    AnswerError(result, "bad_arguments",
                "toggleOpenConnect: the user name and password must not contain line breaks.");
    return;
  }
  // A command line ends at a zero byte: the server would reach the child cut.
  if (server.find('\0') != std::string::npos) {
    AnswerError(result, "bad_arguments", "toggleOpenConnect: the server must not hold zero bytes.");
    return;
  }
  AnswerToggleStarted(result, [user_name = std::move(user_name), password = std::move(password),
                               server = std::move(server)]() mutable {
    RunOpenConnect(std::move(user_name), std::move(password), std::move(server));
  });
}

void ToggleXray(const EncodableValue* arguments, const Result& result) {
  std::optional<std::vector<std::string>> strings = LeadingStrings(arguments, 2);
  if (!strings) {
    AnswerError(result, "bad_arguments",
                "toggleV2ray expects a list of two strings, the second the configuration.");
    return;
  }
  AnswerToggleStarted(result, [configuration = std::move((*strings)[1])]() mutable {
    RunXray(std::move(configuration));
  });
}

void AnswerScreenSize(const Result& result) {
  const std::string size = ScreenSizeText(MeasureDesktop());
  logging::Out("Screen size: " + size);
  const EncodableValue answer(size);
  result->Success(&answer);
}

void AnswerVpnConnected(const Result& result) {
  const bool connected = GetVpnState().connected;
  logging::Err(connected ? "vpnConnected TRUE" : "vpnConnected FALSE");
  const EncodableValue answer(connected ? "1" : "0");
  result->Success(&answer);
}

}  // namespace

void HandleControlMethodCall(const flutter::MethodCall<>& call,
                             std::unique_ptr<flutter::MethodResult<>> result) {
  const std::string& name = call.MethodName();
  if (name == "toggleOpenConnect") {
    ToggleOpenConnect(call.Arguments(), result);
  } else if (name == "screen_size") {
    AnswerScreenSize(result);
  } else if (name == "toggleV2ray") {
    ToggleXray(call.Arguments(), result);
  } else if (name == "vpnConnected") {
    AnswerVpnConnected(result);
  }
}

}  // namespace vpn
