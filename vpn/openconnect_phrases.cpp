#include "vpn/openconnect_phrases.h"

namespace vpn {
namespace {

using FlagChange = OpenConnectPhraseRow::FlagChange;
using Reply = OpenConnectPhraseRow::Reply;

// Tried in this order; the first row whose phrases the chunk holds acts alone.
// The log lines stay word for word, misspellings included: log readers match them as they are.
constexpr OpenConnectPhraseRow kPhraseTable[] = {
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

}  // namespace

const OpenConnectPhraseRow* MatchOpenConnectPhrase(std::string_view chunk) {
  for (const OpenConnectPhraseRow& row : kPhraseTable) {
    if (Holds(chunk, row.phrase) && (row.also_needed.empty() || Holds(chunk, row.also_needed))) {
      return &row;
    }
  }
  return nullptr;
}

}  // namespace vpn
