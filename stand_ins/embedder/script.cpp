#include "stand_ins/embedder/script.h"

#include <algorithm>
#include <array>
#include <optional>

namespace stand_in {
namespace {

using nlohmann::json;

constexpr int64_t kDefaultReplyTimeoutMs = 5000;
constexpr int64_t kDefaultEventTimeoutMs = 10000;
constexpr int64_t kDefaultQuietTimeoutMs = 1000;

struct CommandForm {
  std::string_view name;
  CommandKind kind;
  std::vector<std::string_view> keys;  // allowed besides "do"
};

const std::vector<CommandForm>& CommandForms() {
  static const std::vector<CommandForm> command_forms = {
      {"listen",
       CommandKind::kListen,
       {"channel", "expect", "expect_error", "expect_no_reply", "timeout_ms", "wait"}},
      {"cancel",
       CommandKind::kCancel,
       {"channel", "expect", "expect_error", "expect_no_reply", "timeout_ms", "wait"}},
      {"call",
       CommandKind::kCall,
       {"channel", "method", "args", "expect", "expect_error", "expect_no_reply", "timeout_ms",
        "wait"}},
      {"expect_event", CommandKind::kExpectEvent, {"channel", "value", "timeout_ms"}},
      {"expect_no_event", CommandKind::kExpectNoEvent, {"channel", "timeout_ms"}},
      {"window", CommandKind::kWindow, {"expect", "timeout_ms"}},
      {"show", CommandKind::kShow, {}},
      {"close", CommandKind::kClose, {}},
      {"minimize", CommandKind::kMinimize, {}},
      {"destroy", CommandKind::kDestroy, {}},
      {"sleep", CommandKind::kSleep, {"ms"}},
      {"screenshot", CommandKind::kScreenshot, {"path"}},
  };
  return command_forms;
}

// In the order of the transcript's window lines.
constexpr std::array<std::string_view, 7> kWindowFields = {"visible", "foreground", "x",        "y",
                                                           "width",   "height",     "minimized"};

size_t WindowFieldIndex(std::string_view name) {
  return static_cast<size_t>(std::find(kWindowFields.begin(), kWindowFields.end(), name) -
                             kWindowFields.begin());
}

// Collects the faults of one line; the first one is the line's error.
class LineReader {
 public:
  LineReader(const json& object, int line) : object_(object), line_(line) {}

  bool ok() const { return !error_; }
  std::string error() const { return "line " + std::to_string(line_) + ": " + *error_; }
  void Fail(std::string text) {
    if (!error_) error_ = std::move(text);
  }

  const json* Find(std::string_view key) const {
    auto found = object_.find(key);
    return found == object_.end() ? nullptr : &*found;
  }

  std::string RequiredString(std::string_view key) {
    const json* value = Find(key);
    if (value == nullptr || !value->is_string() || value->get<std::string>().empty()) {
      Fail("\"" + std::string(key) + "\" must be a non-empty string");
      return {};
    }
    return value->get<std::string>();
  }

  int64_t Milliseconds(std::string_view key, int64_t fallback) {
    const json* value = Find(key);
    if (value == nullptr) return fallback;
    if (!value->is_number_integer() || value->get<int64_t>() < 0) {
      Fail("\"" + std::string(key) + "\" must be a whole number of milliseconds, 0 or more");
      return fallback;
    }
    return value->get<int64_t>();
  }

  bool Flag(std::string_view key, bool fallback) {
    const json* value = Find(key);
    if (value == nullptr) return fallback;
    if (!value->is_boolean()) {
      Fail("\"" + std::string(key) + "\" must be true or false");
      return fallback;
    }
    return value->get<bool>();
  }

 private:
  const json& object_;
  int line_;
  std::optional<std::string> error_;
};

void ReadReplyCheck(LineReader& reader, Command* command) {
  int checks = 0;
  if (const json* value = reader.Find("expect")) {
    command->reply.kind = ReplyCheck::Kind::kValue;
    command->reply.value = *value;
    ++checks;
  }
  if (reader.Find("expect_error") != nullptr) {
    command->reply.kind = ReplyCheck::Kind::kError;
    command->reply.error_code = reader.RequiredString("expect_error");
    ++checks;
  }
  if (reader.Flag("expect_no_reply", false)) {
    command->reply.kind = ReplyCheck::Kind::kNoReply;
    ++checks;
  }
  if (checks > 1) {
    reader.Fail("\"expect\", \"expect_error\" and \"expect_no_reply\" exclude each other");
  }
  command->wait = reader.Flag("wait", true);
  if (!command->wait && checks > 0) {
    reader.Fail("a reply cannot be checked without waiting for it");
  }
  command->timeout_ms = reader.Milliseconds("timeout_ms", kDefaultReplyTimeoutMs);
}

void ReadWindowExpectation(LineReader& reader, Command* command) {
  const json* expect = reader.Find("expect");
  if (expect == nullptr) return;
  if (!expect->is_object()) {
    reader.Fail("\"expect\" must be an object");
    return;
  }
  for (const auto& [key, value] : expect->items()) {
    if (WindowFieldIndex(key) == kWindowFields.size()) {
      reader.Fail("unknown window field \"" + key + "\"");
      return;
    }
    if (value.is_boolean()) {
      command->window_fields.emplace_back(key, value.get<bool>() ? 1 : 0);
    } else if (value.is_number_integer()) {
      command->window_fields.emplace_back(key, value.get<int64_t>());
    } else {
      reader.Fail("window field \"" + key + "\" must be a whole number or a boolean");
      return;
    }
  }
  std::sort(command->window_fields.begin(), command->window_fields.end(),
            [](const auto& left, const auto& right) {
              return WindowFieldIndex(left.first) < WindowFieldIndex(right.first);
            });
}

std::optional<Command> ReadCommand(const json& object, int line, std::string* error) {
  LineReader reader(object, line);
  const json* name = reader.Find("do");
  if (name == nullptr || !name->is_string()) {
    *error = "line " + std::to_string(line) + ": \"do\" must name a command";
    return std::nullopt;
  }
  const auto& command_forms = CommandForms();
  auto command_form = std::find_if(
      command_forms.begin(), command_forms.end(),
      [&](const CommandForm& candidate) { return candidate.name == name->get<std::string>(); });
  if (command_form == command_forms.end()) {
    *error =
        "line " + std::to_string(line) + ": unknown command \"" + name->get<std::string>() + "\"";
    return std::nullopt;
  }
  for (const auto& item : object.items()) {
    if (item.key() != "do" && std::find(command_form->keys.begin(), command_form->keys.end(),
                                        item.key()) == command_form->keys.end()) {
      reader.Fail("\"" + std::string(command_form->name) + "\" takes no \"" + item.key() + "\"");
    }
  }

  Command command;
  command.kind = command_form->kind;
  command.line = line;
  switch (command_form->kind) {
    case CommandKind::kListen:
    case CommandKind::kCancel:
      command.channel = reader.RequiredString("channel");
      command.method = command_form->kind == CommandKind::kListen ? "listen" : "cancel";
      ReadReplyCheck(reader, &command);
      break;
    case CommandKind::kCall:
      command.channel = reader.Find("channel") != nullptr ? reader.RequiredString("channel")
                                                          : std::string(kControlChannel);
      command.method = reader.RequiredString("method");
      if (const json* arguments = reader.Find("args")) command.arguments = *arguments;
      ReadReplyCheck(reader, &command);
      break;
    case CommandKind::kExpectEvent:
      command.channel = reader.RequiredString("channel");
      if (const json* value = reader.Find("value")) {
        command.event = *value;
      } else {
        reader.Fail("\"value\" is missing");
      }
      command.timeout_ms = reader.Milliseconds("timeout_ms", kDefaultEventTimeoutMs);
      break;
    case CommandKind::kExpectNoEvent:
      command.channel = reader.RequiredString("channel");
      command.timeout_ms = reader.Milliseconds("timeout_ms", kDefaultQuietTimeoutMs);
      break;
    case CommandKind::kWindow:
      ReadWindowExpectation(reader, &command);
      command.timeout_ms = reader.Milliseconds("timeout_ms", 0);
      break;
    case CommandKind::kSleep:
      if (reader.Find("ms") == nullptr) reader.Fail("\"ms\" is missing");
      command.sleep_ms = reader.Milliseconds("ms", 0);
      break;
    case CommandKind::kScreenshot:
      command.path = reader.RequiredString("path");
      break;
    case CommandKind::kShow:
    case CommandKind::kClose:
    case CommandKind::kMinimize:
    case CommandKind::kDestroy:
      break;
  }
  if (!reader.ok()) {
    *error = reader.error();
    return std::nullopt;
  }
  return command;
}

}  // namespace

Script ParseScript(std::string_view text) {
  Script script;
  int line_number = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++line_number;

    const size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string_view::npos || line[first] == '#') continue;

    const json object = json::parse(line, nullptr, /*allow_exceptions=*/false);
    if (object.is_discarded() || !object.is_object()) {
      script.errors.push_back("line " + std::to_string(line_number) + ": not a JSON object");
      continue;
    }
    std::string error;
    if (std::optional<Command> command = ReadCommand(object, line_number, &error)) {
      script.commands.push_back(std::move(*command));
    } else {
      script.errors.push_back(std::move(error));
    }
  }
  return script;
}

}  // namespace stand_in
