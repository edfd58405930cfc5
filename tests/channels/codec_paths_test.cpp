// The serializer works on the bytes of the buffer streams directly when both it and the stream are
// of exactly the standard classes, and goes through the virtual operations otherwise. These tests
// hold the two paths to the same bytes, values and lines, and check that derived serializers and
// streams still see every nested value and every byte.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "channels/standard_method_codec.h"
#include "tests/channels/codec_test_util.h"
#include "tests/support/log_capture.h"

namespace flutter {
namespace {

using codec_test::Encode;
using codec_test::F64s;
using codec_test::Hex;
using codec_test::I32s;
using codec_test::I64s;
using codec_test::U8s;
using testing::ElementsAreArray;

// Buffer streams of a derived class, which the serializer treats as any other stream. They count
// the single bytes that pass through them.
class CountingWriter final : public ByteBufferStreamWriter {
 public:
  using ByteBufferStreamWriter::ByteBufferStreamWriter;
  void WriteByte(uint8_t byte) override {
    ++single_bytes;
    ByteBufferStreamWriter::WriteByte(byte);
  }
  int single_bytes = 0;
};

class CountingReader final : public ByteBufferStreamReader {
 public:
  using ByteBufferStreamReader::ByteBufferStreamReader;
  uint8_t ReadByte() override {
    ++single_bytes;
    return ByteBufferStreamReader::ReadByte();
  }
  int single_bytes = 0;
};

// What one decoding gave: the value's encoding (NaN never equals itself), what was left unread
// and the lines written.
struct Reading {
  std::vector<uint8_t> encoded;
  size_t unread;
  std::string log;
  bool operator==(const Reading&) const = default;
};

template <typename Reader>
Reading Read(const uint8_t* bytes, size_t size) {
  testing_support::LogCapture log;
  Reader reader(bytes, size);
  const EncodableValue value = StandardCodecSerializer::GetInstance().ReadValue(&reader);
  return {Encode(value), reader.BytesRemaining(), log.Err()};
}

const EncodableValue& SampleValue() {
  static const EncodableValue value(EncodableList{
      EncodableMap{{"b", EncodableList{int32_t{1}, 2.5, "x"}}, {"a", EncodableValue()}},
      int64_t{-3}, true, false, U8s{1, 2, 3}, I32s{4, 5}, I64s{6}, F64s{7.5},
      std::vector<float>{8.5f}, std::string(300, 's'), EncodableMap{{7.0, EncodableList{}}}});
  return value;
}

// Every prefix of a message that holds each kind of value decodes alike on both paths: the same
// value, the same bytes left over and the same lines; and what decoded encodes alike on both.
TEST(CodecPaths, DirectAndGeneralPathsReadAndWriteAlike) {
  const std::vector<uint8_t> message = Encode(SampleValue());
  for (size_t size = 0; size <= message.size(); ++size) {
    SCOPED_TRACE(testing::Message() << "first " << size << " bytes");
    const Reading direct = Read<ByteBufferStreamReader>(message.data(), size);
    EXPECT_EQ(direct, Read<CountingReader>(message.data(), size));

    std::vector<uint8_t> general;
    CountingWriter writer(&general);
    flutter::ByteBufferStreamReader reader(message.data(), size);
    testing_support::LogCapture log;
    StandardCodecSerializer::GetInstance().WriteValue(
        StandardCodecSerializer::GetInstance().ReadValue(&reader), &writer);
    EXPECT_EQ(general, direct.encoded);
  }
}

// A derived writer gets every type, size and padding byte through WriteByte; a derived reader
// every type and size byte through ReadByte.
TEST(CodecPaths, DerivedStreamsSeeEverySingleByte) {
  std::vector<uint8_t> bytes;
  CountingWriter writer(&bytes);
  const EncodableValue value(EncodableList{true, 1.0, I32s{1}});
  StandardCodecSerializer::GetInstance().WriteValue(value, &writer);
  EXPECT_THAT(bytes,
              ElementsAreArray(Hex("0C 03 01 06 00000000 000000000000F03F 09 01 0000 01000000")));
  EXPECT_EQ(writer.single_bytes, 12) << "4 type bytes, 2 sizes, 4 + 2 padding bytes";

  CountingReader reader(bytes.data(), bytes.size());
  EXPECT_EQ(StandardCodecSerializer::GetInstance().ReadValue(&reader), value);
  EXPECT_EQ(reader.single_bytes, 6);
}

// Records each value its virtual operations see, then does what the standard serializer does.
class RecordingSerializer : public StandardCodecSerializer {
 public:
  void WriteValue(const EncodableValue& value, ByteStreamWriter* stream) const override {
    written.push_back(value);
    StandardCodecSerializer::WriteValue(value, stream);
  }
  EncodableValue ReadValueOfType(uint8_t type, ByteStreamReader* stream) const override {
    EncodableValue value = StandardCodecSerializer::ReadValueOfType(type, stream);
    read.push_back(value);
    return value;
  }
  mutable std::vector<EncodableValue> written;
  mutable std::vector<EncodableValue> read;
};

TEST(CodecPaths, DerivedSerializerSeesEveryNestedValueOverBufferStreams) {
  const EncodableMap inner{{int32_t{2}, "x"}};
  const EncodableList pair{int32_t{1}, inner};
  const EncodableMap map{{"a", pair}, {"b", true}};
  const EncodableValue value(EncodableList{map, I32s{3}});
  const RecordingSerializer serializer;

  const std::vector<uint8_t> bytes = Encode(value, serializer);
  EXPECT_EQ(bytes, Encode(value));
  // Each value before its contents; map keys before their values.
  EXPECT_THAT(serializer.written,
              ElementsAreArray(std::vector<EncodableValue>{value, map, "a", pair, int32_t{1}, inner,
                                                           int32_t{2}, "x", "b", true, I32s{3}}));

  EXPECT_EQ(codec_test::Decode(bytes, serializer).value, value);
  // Each value once its contents are read.
  EXPECT_THAT(serializer.read,
              ElementsAreArray(std::vector<EncodableValue>{"a", int32_t{1}, int32_t{2}, "x", inner,
                                                           pair, "b", true, map, I32s{3}, value}));
}

// Payloads long enough to bypass the writer's scratch memory, between short values: the padding
// after them still counts from the start of the message, here one byte in.
TEST(CodecPaths, PaddingAfterLongPayloadsCountsFromTheMessageStart) {
  const EncodableValue value(
      EncodableList{std::string(1500, 'a'), 1.0, U8s(3001, 7), I64s{-1}, "b", I32s(2000, 5)});
  const auto message = StandardMethodCodec::GetInstance().EncodeSuccessEnvelope(&value);

  std::vector<uint8_t> general = {0};
  CountingWriter writer(&general);
  StandardCodecSerializer::GetInstance().WriteValue(value, &writer);
  EXPECT_EQ(*message, general);
}

// Typed lists in a message that starts at an odd address are read element by element from
// unaligned memory.
TEST(CodecPaths, TypedListsDecodeFromAMessageAtAnOddAddress) {
  const EncodableValue value(EncodableList{I32s{1, -2}, I64s{3}, F64s{4.5}, "z"});
  std::vector<uint8_t> bytes = Encode(value);
  bytes.insert(bytes.begin(), 0xEE);
  ByteBufferStreamReader reader(bytes.data() + 1, bytes.size() - 1);
  EXPECT_EQ(StandardCodecSerializer::GetInstance().ReadValue(&reader), value);
}

// Entries arrive in key order from any encoder of a map; in another order they still land where
// the ordering puts them, and a repeated key keeps the value that came first.
TEST(CodecPaths, MapEntriesInAnyOrderDecodeToTheSameMap) {
  const std::pair<const char*, EncodableMap> cases[] = {
      {"0D 03 070161 0301000000 070162 0302000000 070163 0303000000",
       {{"a", 1}, {"b", 2}, {"c", 3}}},
      {"0D 03 070163 0303000000 070161 0301000000 070162 0302000000",
       {{"a", 1}, {"b", 2}, {"c", 3}}},
      {"0D 03 070162 0302000000 070161 0301000000 070162 0309000000", {{"a", 1}, {"b", 2}}},
  };
  for (const auto& [hex, map] : cases) {
    EXPECT_EQ(codec_test::Decode(Hex(hex)).value, EncodableValue(map)) << hex;
  }
}

// A log destination that encodes a message while another is being written on the same thread.
class EncodingLog : public logging::Destination {
 public:
  EncodingLog() : previous_(logging::SetDestination(this)) {}
  ~EncodingLog() override { logging::SetDestination(previous_); }
  void Write(logging::Stream, std::string_view) override {
    encoded.push_back(Encode(EncodableValue(EncodableList{"logged", 2.0})));
  }
  std::vector<std::vector<uint8_t>> encoded;

 private:
  logging::Destination* previous_;
};

TEST(CodecPaths, AMessageWrittenWhileAnotherIsBeingWrittenKeepsBothApart) {
  EncodingLog log;
  const std::vector<uint8_t> bytes =
      Encode(EncodableValue(EncodableList{"before", CustomEncodableValue(1), "after"}));
  EXPECT_THAT(bytes, ElementsAreArray(Hex("0C 03 07 06 6265666F7265 00 07 05 6166746572")));
  ASSERT_EQ(log.encoded.size(), 1u);
  EXPECT_EQ(log.encoded[0], Encode(EncodableValue(EncodableList{"logged", 2.0})));
}

}  // namespace
}  // namespace flutter
