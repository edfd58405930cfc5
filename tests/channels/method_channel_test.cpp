#include <memory>
#include <optional>
#include <string>

#include "channels/method_channel.h"
#include "tests/channels/messenger_fixture.h"

namespace channels_test {
namespace {

using flutter::EncodableValue;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

using Result = std::unique_ptr<flutter::MethodResult<>>;
using Handler = flutter::MethodCallHandler<>;

constexpr char kChannel[] = "quorvanta/channeling";
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
  void Install(Handler handler) {
    flutter::MethodChannel<>(&messenger_, kChannel, &flutter::StandardMethodCodec::GetInstance())
        .SetMethodCallHandler(std::move(handler));
  }
};

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

TEST_F(MethodChannelResults, SuccessWithAValueSendsOneSuccessEnvelope) {
  Install([](const flutter::MethodCall<>&, Result result) {
    const EncodableValue value("1");
    result->Success(&value);
  });

  const auto response = Call("vpnConnected");

  ASSERT_TRUE(response.has_value());
  EXPECT_EQ(response->bytes, (Bytes{0x00, 0x07, 0x01, '1'}));
  EXPECT_EQ(embedder_.CountOf(MessengerFunction::kSendResponse), 1u);
  EXPECT_THAT(log_.Err(), IsEmpty());
}

TEST_F(MethodChannelResults, SuccessWithoutAValueSendsANullResult) {
  Install([](const flutter::MethodCall<>&, Result result) { result->Success(nullptr); });

  EXPECT_EQ(Call("vpnConnected")->bytes, (Bytes{0x00, 0x00}));
}

TEST_F(MethodChannelResults, ErrorEnvelopesCarryCodeMessageAndDetails) {
  struct Case {
    std::string message;
    std::optional<EncodableValue> details;
    Bytes expected;
  };
  const Case cases[] = {
      {"", std::nullopt, {0x01, 0x07, 0x01, 'E', 0x00, 0x00}},
      {"m", std::nullopt, {0x01, 0x07, 0x01, 'E', 0x07, 0x01, 'm', 0x00}},
      {"m",
       EncodableValue(int32_t{7}),
       {0x01, 0x07, 0x01, 'E', 0x07, 0x01, 'm', 0x03, 0x07, 0x00, 0x00, 0x00}},
  };
  for (const Case& c : cases) {
    Install([&c](const flutter::MethodCall<>&, Result result) {
      result->Error("E", c.message, c.details ? &*c.details : nullptr);
    });
    EXPECT_EQ(Call("screen_size")->bytes, c.expected) << "message \"" << c.message << "\"";
  }
}

TEST_F(MethodChannelResults, NotImplementedAnswersWithNullDataAndSizeZero) {
  Install([](const flutter::MethodCall<>&, Result result) { result->NotImplemented(); });

  const auto response = Call("noSuchMethod");

  ASSERT_TRUE(response.has_value());
  EXPECT_TRUE(response->null_data);
  EXPECT_EQ(embedder_.CallsTo(MessengerFunction::kSendResponse)[0].size, 0u);
  EXPECT_THAT(log_.Err(), IsEmpty());
}

TEST_F(MethodChannelResults, EveryFurtherAnswerSendsNothingAndWritesTheLineOnce) {
  Install([](const flutter::MethodCall<>&, Result result) {
    const EncodableValue value(int32_t{0});
    result->Success(&value);
    result->Error("E", "m", nullptr);
    result->NotImplemented();
  });

  const auto response = Call("toggleV2ray");

  EXPECT_EQ(response->bytes, (Bytes{0x00, 0x03, 0x00, 0x00, 0x00, 0x00}));
  EXPECT_EQ(embedder_.CountOf(MessengerFunction::kSendResponse), 1u);
  EXPECT_EQ(log_.Err(), std::string(kDuplicateResult) + kDuplicateResult);
}

TEST_F(MethodChannelResults, DuplicateAnswerLineIsWrittenInTwoPieces) {
  Result kept;
  Install([&kept](const flutter::MethodCall<>&, Result result) { kept = std::move(result); });
  Call("vpnConnected");
  kept->NotImplemented();

  PieceLog pieces;
  kept->NotImplemented();

  EXPECT_THAT(pieces.pieces,
              ElementsAre("Error: Only one of Success, Error, or NotImplemented can be called,",
                          " and it can be called exactly once. Ignoring duplicate result.\n"));
}

TEST_F(MethodChannelResults, ResultLeftUnansweredWarnsWhenTheHandlerReturns) {
  Install([](const flutter::MethodCall<>&, Result) {});

  EXPECT_EQ(Call("vpnConnected"), std::nullopt);
  EXPECT_EQ(log_.Err(), kUnanswered);
  EXPECT_EQ(embedder_.CountOf(MessengerFunction::kSendResponse), 0u);
}

TEST_F(MethodChannelResults, KeptResultAnswersLaterAndIsThenDestroyedSilently) {
  Result kept;
  Install([&kept](const flutter::MethodCall<>&, Result result) { kept = std::move(result); });
  const auto* handle = embedder_.Deliver(kChannel, EncodedCall("toggleOpenConnect"));
  EXPECT_EQ(embedder_.ResponseTo(handle), std::nullopt);

  const EncodableValue value(int32_t{0});
  kept->Success(&value);
  kept.reset();

  EXPECT_EQ(embedder_.ResponseTo(handle)->bytes, (Bytes{0x00, 0x03, 0x00, 0x00, 0x00, 0x00}));
  EXPECT_THAT(log_.Err(), IsEmpty());
}

TEST_F(MethodChannelResults, KeptResultNeverAnsweredWarnsWhenFinallyDestroyed) {
  Result kept;
  Install([&kept](const flutter::MethodCall<>&, Result result) { kept = std::move(result); });
  Call("vpnConnected");
  EXPECT_THAT(log_.Err(), IsEmpty());

  kept.reset();

  EXPECT_EQ(log_.Err(), kUnanswered);
  EXPECT_EQ(embedder_.CountOf(MessengerFunction::kSendResponse), 0u);
}

TEST_F(MethodChannelResults, AnswerAfterTheEngineWentAwayIsDroppedWithoutALine) {
  Result kept;
  Install([&kept](const flutter::MethodCall<>&, Result result) { kept = std::move(result); });
  Call("vpnConnected");
  embedder_.SetAvailable(false);

  kept->Success(nullptr);
  kept.reset();

  EXPECT_EQ(embedder_.CountOf(MessengerFunction::kSendResponse), 0u);
  EXPECT_THAT(log_.Err(), IsEmpty());
}

TEST_F(MethodChannelResults, UndecodableMessageAnswersWithNoDataAndNeverCallsTheHandler) {
  int handled = 0;
  Install([&handled](const flutter::MethodCall<>&, Result) { ++handled; });

  const auto response =
      embedder_.ResponseTo(embedder_.Deliver(kChannel, {0x03, 0x01, 0x00, 0x00, 0x00}));

  EXPECT_EQ(handled, 0);
  ASSERT_TRUE(response.has_value());
  EXPECT_TRUE(response->null_data);
  EXPECT_EQ(log_.Err(),
            "Invalid method call; method name is not a string.\n"
            "Unable to construct method call from message on channel quorvanta/channeling\n");
}

TEST_F(MethodChannelResults, EmptyHandlerRemovesTheRegistration) {
  Install([](const flutter::MethodCall<>&, Result result) { result->Success(nullptr); });
  Install(nullptr);

  EXPECT_EQ(embedder_.Registration(kChannel), std::nullopt);
  EXPECT_EQ(embedder_.CallsTo(MessengerFunction::kSetCallback).back().callback, nullptr);
}

TEST_F(MethodChannelResults, SecondHandlerReplacesTheFirst) {
  std::vector<std::string> handled_by;
  Install([&](const flutter::MethodCall<>&, Result result) {
    handled_by.push_back("first");
    result->NotImplemented();
  });
  Install([&](const flutter::MethodCall<>&, Result result) {
    handled_by.push_back("second");
    result->NotImplemented();
  });

  Call("vpnConnected");
  Call("screen_size");

  EXPECT_THAT(handled_by, ElementsAre("second", "second"));
}

}  // namespace
}  // namespace channels_test
