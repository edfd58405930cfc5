#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "channels/method_channel.h"
#include "tests/channels/codec_test_util.h"
#include "tests/channels/messenger_fixture.h"

namespace channels_test {
namespace {

using flutter::EncodableValue;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

using Result = std::unique_ptr<flutter::MethodResult<>>;

constexpr char kDuplicateResult[] =
    "Error: Only one of Success, Error, or NotImplemented can be called, and it can be called "
    "exactly once. Ignoring duplicate result.\n";
constexpr char kUnanswered[] = "Warning: Failed to respond to a message. This is a memory leak.\n";

// Keeps each piece of text as it was written, to see how a line was put together.
class PieceLog : public logging::Destination {
 public:
  PieceLog() : previous_(logging::SetDestination(this)) {}
  ~PieceLog() override { logging::SetDestination(previous_); }
  void Write(logging::Stream, std::string_view text) override { pieces.emplace_back(text); }

  std::vector<std::string> pieces;

 private:
  logging::Destination* previous_;
};

class MethodChannelResults : public MessengerTest {
 protected:
  // Installs `handler` through a channel object that is gone right after.
  void Install(flutter::MethodCallHandler<> handler) {
    flutter::MethodChannel<>(&messenger_, channel_, &flutter::StandardMethodCodec::GetInstance())
        .SetMethodCallHandler(std::move(handler));
  }

  Result kept_;
};

// What the handler does with its result, what the test does after the handler returned (the
// kept result is in `kept_`), then the one response that came (none: no response; "": no data)
// and the lines written.
struct AnswerCase {
  const char* name;
  std::function<void(Result&)> in_handler;
  std::function<void()> afterwards;
  std::optional<const char*> response;
  std::string log;
};

TEST_F(MethodChannelResults, EveryWayOfAnsweringSendsItsResponseOnce) {
  const EncodableValue one("1");
  const EncodableValue zero(int32_t{0});
  auto keep = [this](Result& result) { kept_ = std::move(result); };
  const AnswerCase cases[] = {
      {"success with a value", [&](Result& r) { r->Success(&one); }, {}, "00 07 01 31", ""},
      {"success without a value", [](Result& r) { r->Success(nullptr); }, {}, "00 00", ""},
      {"error without details",
       [](Result& r) { r->Error("E", "", nullptr); },
       {},
       "01 070145 00 00",
       ""},
      {"not implemented", [](Result& r) { r->NotImplemented(); }, {}, "", ""},
      {"further answers",
       [&](Result& r) {
         r->Success(&zero);
         r->Error("E", "m", nullptr);
         r->NotImplemented();
       },
       {},
       "00 03 00000000",
       std::string(kDuplicateResult) + kDuplicateResult},
      {"no answer", [](Result&) {}, {}, std::nullopt, kUnanswered},
      {"kept, answered later", keep,
       [&] {
         kept_->Success(&zero);
         kept_.reset();
       },
       "00 03 00000000", ""},
      {"kept, never answered", keep, [this] { kept_.reset(); }, std::nullopt, kUnanswered},
  };
  for (const AnswerCase& test : cases) {
    SCOPED_TRACE(test.name);
    log_.Clear();
    Install([&test](const flutter::MethodCall<>&, Result result) { test.in_handler(result); });
    const size_t responses_before = embedder_.CallsTo(MessengerFunction::kSendResponse).size();
    const auto* handle = embedder_.Deliver(channel_, EncodedCall("vpnConnected"));
    if (test.afterwards) test.afterwards();

    const auto response = embedder_.ResponseTo(handle);
    EXPECT_EQ(embedder_.CallsTo(MessengerFunction::kSendResponse).size() - responses_before,
              test.response ? 1u : 0u);
    ASSERT_EQ(response.has_value(), test.response.has_value());
    if (response) {
      const Bytes expected = codec_test::Hex(*test.response);
      EXPECT_EQ(response->bytes, expected);
      EXPECT_EQ(response->null_data, expected.empty()) << "no data is a null pointer";
      EXPECT_EQ(embedder_.CallsTo(MessengerFunction::kSendResponse).back().size, expected.size());
    }
    EXPECT_EQ(log_.Err(), test.log);
  }
}

TEST_F(MethodChannelResults, HandlerReceivesTheDecodedCall) {
  std::string name;
  std::optional<EncodableValue> arguments;
  Install([&](const flutter::MethodCall<>& call, Result result) {
    name = call.MethodName();
    arguments = *call.Arguments();
    result->Success(nullptr);
  });

  Call("toggleOpenConnect", flutter::EncodableList{"vpn.example", "user", "secret"});

  EXPECT_EQ(name, "toggleOpenConnect");
  EXPECT_EQ(arguments, EncodableValue(flutter::EncodableList{"vpn.example", "user", "secret"}));
}

TEST_F(MethodChannelResults, DuplicateAnswerLineIsWrittenInTwoPieces) {
  Install([this](const flutter::MethodCall<>&, Result result) { kept_ = std::move(result); });
  Call("vpnConnected");
  kept_->NotImplemented();

  PieceLog pieces;
  kept_->NotImplemented();

  EXPECT_THAT(pieces.pieces,
              ElementsAre("Error: Only one of Success, Error, or NotImplemented can be called,",
                          " and it can be called exactly once. Ignoring duplicate result.\n"));
}

TEST_F(MethodChannelResults, UndecodableMessageAnswersWithNoDataAndNeverCallsTheHandler) {
  int handled = 0;
  Install([&handled](const flutter::MethodCall<>&, Result) { ++handled; });

  const auto response =
      embedder_.ResponseTo(embedder_.Deliver(channel_, {0x03, 0x01, 0x00, 0x00, 0x00}));

  EXPECT_EQ(handled, 0);
  ASSERT_TRUE(response.has_value());
  EXPECT_TRUE(response->null_data);
  EXPECT_EQ(log_.Err(),
            "Invalid method call; method name is not a string.\n"
            "Unable to construct method call from message on channel quorvanta/channeling\n");
}

TEST_F(MethodChannelResults, EmptyHandlerRemovesTheRegistration) {
  Install([](const flutter::MethodCall<>&, Result result) { result->NotImplemented(); });
  Install(nullptr);
  EXPECT_EQ(embedder_.Registration(channel_), std::nullopt);
}

}  // namespace
}  // namespace channels_test
