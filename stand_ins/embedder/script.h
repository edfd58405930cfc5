#ifndef QUORVANTA_STAND_INS_EMBEDDER_SCRIPT_H_
#define QUORVANTA_STAND_INS_EMBEDDER_SCRIPT_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace stand_in {

// The channel that `call` uses when a command names none.
inline constexpr char kControlChannel[] = "quorvanta/channeling";

enum class CommandKind {
  kListen,
  kCancel,
  kCall,
  kExpectEvent,
  kExpectNoEvent,
  kWindow,
  kShow,
  kClose,
  kMinimize,
  kDestroy,
  kSleep,
  kScreenshot,
};

// What a call (or a listen or cancel) checks about its reply.
struct ReplyCheck {
  enum class Kind {
    kAny,      // any reply within the time-out
    kValue,    // a success envelope holding `value`
    kError,    // an error envelope with `error_code`
    kNoReply,  // no reply within the time-out
  };
  Kind kind = Kind::kAny;
  nlohmann::json value;
  std::string error_code;
};

// One script line. Only the fields of its kind are set.
struct Command {
  CommandKind kind = CommandKind::kSleep;
  int line = 0;
  std::string channel;
  std::string method;
  nlohmann::json arguments;  // null: the call carries no arguments
  bool wait = true;          // wait for the reply before the next command
  ReplyCheck reply;
  nlohmann::json event;  // the expected event value
  // Expected, in the order of the transcript's window lines.
  std::vector<std::pair<std::string, int64_t>> window_fields;
  int64_t timeout_ms = 0;
  int64_t sleep_ms = 0;
  std::string path;
};

struct Script {
  std::vector<Command> commands;
  // One text per faulty line ("line 3: ..."); a script with errors is not run.
  std::vector<std::string> errors;
};

// Reads JSON lines: one object a line, naming its command with "do". Blank lines and lines
// starting with '#' are skipped.
Script ParseScript(std::string_view text);

}  // namespace stand_in

#endif  // QUORVANTA_STAND_INS_EMBEDDER_SCRIPT_H_
