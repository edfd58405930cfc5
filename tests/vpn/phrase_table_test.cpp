#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "vpn/openconnect_phrases.h"
#include "vpn/xray_phrases.h"

// How each worker classifies one chunk of its child's output: every row, the order in which the
// rows are tried, and chunks that match none, a phrase cut by a read among them.
namespace {

using vpn::XrayChunk;

// "<log line>,<event code or ->,<flag change>,<reply>", or "none".
std::string Describe(const vpn::OpenConnectPhraseRow* row) {
  if (row == nullptr) return "none";
  const char* flags[] = {"unchanged", "connected", "cleared"};
  const char* replies[] = {"-", "yes", "user name", "password"};
  return std::string(row->log_line) + "," +
         (row->event ? std::to_string(static_cast<int>(*row->event)) : "-") + "," +
         flags[static_cast<int>(row->flags)] + "," + replies[static_cast<int>(row->reply)];
}

TEST(PhraseTableTest, OpenConnect) {
  const std::pair<std::string, std::string> rows[] = {
      // one chunk per row, in the table's order
      {"Using TAP-Windows device '{4D36E972}' index 7", "Server is done,5,connected,-"},
      {"Connect failed: will try again.", "Reconnecting,4,cleared,-"},
      {"SSL Read error; failed: x", "Faild to connection,6,cleared,-"},
      {"Failed to reconnect to host", "Faild to reconnection,6,cleared,-"},
      {"Server certificate verify failed: certificate does not match SNI",
       "Faild to reconnection,6,cleared,-"},
      {"Failed to complete authentication", "Faild to connect to the server,6,cleared,-"},
      {"Connection timeout", "Timeout to reconnection,6,cleared,-"},
      {"Certificate unknown.\nEnter 'yes' to accept, 'no' to abort", ",-,unchanged,yes"},
      {"Username:", ",-,unchanged,user name"},
      {"Password:", ",-,unchanged,password"},
  };
  std::string from_here_on;  // the chunks of this row and of every row after it
  for (auto row = std::rbegin(rows); row != std::rend(rows); ++row) {
    EXPECT_EQ(Describe(vpn::MatchOpenConnectPhrase(row->first)), row->second) << row->first;
    from_here_on = row->first + " " + from_here_on;
    EXPECT_EQ(Describe(vpn::MatchOpenConnectPhrase(from_here_on)), row->second) << from_here_on;
  }
  for (const char* none : {"Using TAP-Win", "dows device", "Timeout reached", "failed: for good",
                           "try again.", "username:", ""}) {
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
  for (const char* other : {"[Warning] core: Xray is starting", "started", "core: Xray started",
                            "failed to load config", "stdin", ""}) {
    EXPECT_EQ(vpn::ClassifyXrayChunk(other), XrayChunk::kOther) << other;
  }
}

}  // namespace
