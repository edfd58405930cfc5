#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>

#include "vpn/openconnect_phrases.h"
#include "vpn/xray_phrases.h"

// How each worker classifies one chunk of its child's output: every row, the order in which the
// rows are tried, and phrases that must not match.
namespace {

using vpn::OpenConnectEvent;
using Flags = vpn::OpenConnectPhraseRow::FlagChange;
using Reply = vpn::OpenConnectPhraseRow::Reply;
using vpn::XrayChunk;

TEST(PhraseTableTest, OpenConnect) {
  const struct {
    std::string chunk;
    std::string_view log_line;
    std::optional<OpenConnectEvent> event;
    Flags flags;
    Reply reply;
  } rows[] = {
      // one chunk per row, in the table's order
      {"Using TAP-Windows device '{4D36E972}' index 7", "Server is done",
       OpenConnectEvent::Connected, Flags::kConnected, Reply::kNone},
      {"Connect failed: will try again.", "Reconnecting", OpenConnectEvent::Connecting,
       Flags::kBothCleared, Reply::kNone},
      {"SSL Read error; failed: x", "Faild to connection", OpenConnectEvent::Disconnected,
       Flags::kBothCleared, Reply::kNone},
      {"Failed to reconnect to host", "Faild to reconnection", OpenConnectEvent::Disconnected,
       Flags::kBothCleared, Reply::kNone},
      {"Server certificate verify failed: certificate does not match SNI", "Faild to reconnection",
       OpenConnectEvent::Disconnected, Flags::kBothCleared, Reply::kNone},
      {"Failed to complete authentication", "Faild to connect to the server",
       OpenConnectEvent::Disconnected, Flags::kBothCleared, Reply::kNone},
      {"Connection timeout", "Timeout to reconnection", OpenConnectEvent::Disconnected,
       Flags::kBothCleared, Reply::kNone},
      {"Certificate unknown.\nEnter 'yes' to accept, 'no' to abort", "", std::nullopt,
       Flags::kUnchanged, Reply::kYes},
      {"Username:", "", std::nullopt, Flags::kUnchanged, Reply::kUserName},
      {"Password:", "", std::nullopt, Flags::kUnchanged, Reply::kPassword},
  };
  std::string from_here_on;  // the chunks of this row and of all rows after it
  for (auto row = std::rbegin(rows); row != std::rend(rows); ++row) {
    SCOPED_TRACE(row->chunk);
    const vpn::OpenConnectPhraseRow* match = vpn::MatchOpenConnectPhrase(row->chunk);
    ASSERT_NE(match, nullptr);
    EXPECT_EQ(std::tie(match->log_line, match->event, match->flags, match->reply),
              std::tie(row->log_line, row->event, row->flags, row->reply));
    from_here_on = row->chunk + " " + from_here_on;
    EXPECT_EQ(vpn::MatchOpenConnectPhrase(from_here_on), match) << "the first row acts alone";
  }
  for (const char* none : {"Using TAP-Win", "dows device",  // a phrase cut by a read
                           "Timeout reached", "failed: for good", "try again.", "username:", ""}) {
    EXPECT_EQ(vpn::MatchOpenConnectPhrase(none), nullptr) << none;
  }
}

TEST(PhraseTableTest, Xray) {
  const std::pair<std::string, XrayChunk> rows[] = {
      // in the order they are tried
      {"Reading config: stdin:", XrayChunk::kAsksForConfiguration},
      {"[Warning] core: Xray 1.8.4 started", XrayChunk::kStarted},
      {"main: failed to load config files: [c.json] > invalid", XrayChunk::kConfigurationFailed},
  };
  std::string from_here_on;
  for (auto row = std::rbegin(rows); row != std::rend(rows); ++row) {
    EXPECT_EQ(vpn::ClassifyXrayChunk(row->first), row->second) << row->first;
    from_here_on = row->first + " " + from_here_on;
    EXPECT_EQ(vpn::ClassifyXrayChunk(from_here_on), row->second) << from_here_on;
  }
  for (const char* other : {"[Warning] core: Xray is starting", "started",  // cut by a read
                            "core: Xray started", "failed to load config", "stdin", ""}) {
    EXPECT_EQ(vpn::ClassifyXrayChunk(other), XrayChunk::kOther) << other;
  }
}

}  // namespace
