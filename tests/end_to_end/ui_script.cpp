#include "tests/end_to_end/ui_script.h"

#include <utility>

namespace end_to_end {
namespace {

// Generous: a child under Wine may take a few seconds to start on a loaded machine.
constexpr int64_t kEventTimeoutMs = 20000;

}  // namespace

UiScript& UiScript::Listen(std::string_view channel) {
  return Add({{"do", "listen"}, {"channel", channel}, {"expect", nullptr}});
}

UiScript& UiScript::Call(std::string_view method, const nlohmann::json& arguments,
                         const nlohmann::json& expected) {
  nlohmann::json command = {{"do", "call"}, {"method", method}, {"expect", expected}};
  if (!arguments.is_null()) command["args"] = arguments;
  return Add(std::move(command));
}

UiScript& UiScript::ToggleOpenConnect(std::string_view server, std::string_view user_name,
                                      std::string_view password) {
  return Call("toggleOpenConnect", {server, user_name, password}, 0);
}

UiScript& UiScript::ToggleXray(std::string_view configuration) {
  return Call("toggleV2ray", {"", configuration}, 0);
}

UiScript& UiScript::ExpectEvent(std::string_view channel, int32_t value) {
  return Add({{"do", "expect_event"},
              {"channel", channel},
              {"value", value},
              {"timeout_ms", kEventTimeoutMs}});
}

UiScript& UiScript::ExpectWindow(const nlohmann::json& fields, int64_t timeout_ms) {
  return Add({{"do", "window"}, {"expect", fields}, {"timeout_ms", timeout_ms}});
}

UiScript& UiScript::Act(std::string_view action) { return Add({{"do", action}}); }

UiScript& UiScript::Add(nlohmann::json command) {
  commands_.push_back(std::move(command));
  return *this;
}

std::string UiScript::Text() const {
  std::string text;
  for (const nlohmann::json& command : commands_) text += command.dump() + "\n";
  return text;
}

}  // namespace end_to_end
