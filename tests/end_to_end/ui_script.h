#ifndef QUORVANTA_TESTS_END_TO_END_UI_SCRIPT_H_
#define QUORVANTA_TESTS_END_TO_END_UI_SCRIPT_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace end_to_end {

inline constexpr char kOpenConnectEvents[] = "openconnect_events";
inline constexpr char kXrayEvents[] = "v2ray_events";

// The script that the stand-in engine's UI side plays, one JSON object a line; see
// stand_ins/embedder/README.md for the commands. Every reply and event is checked as it comes.
class UiScript {
 public:
  UiScript& Listen(std::string_view channel);
  // A call on the control channel whose reply must be a success holding `expected`; a null
  // `arguments` sends none.
  UiScript& Call(std::string_view method, const nlohmann::json& arguments,
                 const nlohmann::json& expected);
  UiScript& ToggleOpenConnect(std::string_view server, std::string_view user_name,
                              std::string_view password);
  UiScript& ToggleXray(std::string_view configuration);
  UiScript& ExpectEvent(std::string_view channel, int32_t value);
  // Asks for the window until its fields match `fields` or the time is up.
  UiScript& ExpectWindow(const nlohmann::json& fields, int64_t timeout_ms = 5000);
  // "show", "close", "minimize" or "destroy".
  UiScript& Act(std::string_view action);
  UiScript& Add(nlohmann::json command);

  std::string Text() const;

 private:
  std::vector<nlohmann::json> commands_;
};

}  // namespace end_to_end

#endif  // QUORVANTA_TESTS_END_TO_END_UI_SCRIPT_H_
