#ifndef QUORVANTA_VPN_OPENCONNECT_PHRASES_H_
#define QUORVANTA_VPN_OPENCONNECT_PHRASES_H_

#include <optional>
#include <string_view>

#include "vpn/event_streams.h"

namespace vpn {

// One row of the OpenConnect phrase table: what a chunk of the client's output that holds the
// row's phrases does. The worker logs the line, changes the flags and posts the event, in that
// order, when the row has an event; then it writes the reply.
struct OpenConnectPhraseRow {
  enum class FlagChange { kUnchanged, kConnected, kBothCleared };
  enum class Reply { kNone, kYes, kUserName, kPassword };

  std::string_view phrase;
  std::string_view also_needed;  // a second phrase the chunk must hold as well, when not empty
  std::string_view log_line;
  std::optional<OpenConnectEvent> event;
  FlagChange flags;
  Reply reply;
};

// The row that acts on `chunk`, or null: the first in the table's order whose phrases the chunk
// holds. Each chunk is classified alone, so a phrase cut by a read boundary matches in neither
// part. Any thread.
const OpenConnectPhraseRow* MatchOpenConnectPhrase(std::string_view chunk);

}  // namespace vpn

#endif  // QUORVANTA_VPN_OPENCONNECT_PHRASES_H_
