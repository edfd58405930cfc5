#include "channels/standard_codec_serializer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "tests/channels/codec_test_util.h"
#include "tests/support/log_capture.h"

namespace flutter {
namespace {

using codec_test::Decode;
using codec_test::Encode;
using codec_test::F32s;
using codec_test::F64s;
using codec_test::Hex;
using codec_test::I32s;
using codec_test::I64s;
using codec_test::InvalidReads;
using codec_test::U8s;
using testing::ElementsAreArray;

// Encodes `value`, checks that the bytes decode back to it with nothing left over and nothing
// logged, and returns them.
std::vector<uint8_t> RoundTrip(const EncodableValue& value) {
  testing_support::LogCapture log;
  std::vector<uint8_t> bytes = Encode(value);
  codec_test::Decoded decoded = Decode(bytes);
  EXPECT_TRUE(decoded.value == value);
  EXPECT_EQ(decoded.unread, 0u);
  EXPECT_EQ(log.Err(), "");
  return bytes;
}

TEST(StandardCodecExactBytes, ValuesEncodeToTheirBytesAndBack) {
  const std::pair<EncodableValue, const char*> cases[] = {
      {EncodableValue(), "00"},
      {true, "01"},
      {false, "02"},
      {int32_t{1}, "03 01000000"},
      {int32_t{-1}, "03 FFFFFFFF"},
      {int64_t{1}, "04 0100000000000000"},
      {std::numeric_limits<int64_t>::min(), "04 0000000000000080"},
      {1.0, "06 00000000000000 000000000000F03F"},  // padded from position 1
      {-0.0, "06 00000000000000 0000000000000080"},
      {-std::numeric_limits<double>::infinity(), "06 00000000000000 000000000000F0FF"},
      {"abc", "07 03 616263"},
      {"", "07 00"},
      {U8s{255}, "08 01 FF"},  // never padded
      {I32s{1}, "09 01 0000 01000000"},
      {I32s{}, "09 00 0000"},  // padded even when empty
      {I64s{-2}, "0A 01 000000000000 FEFFFFFFFFFFFFFF"},
      {F64s{1.0}, "0B 01 000000000000 000000000000F03F"},
      {F64s{}, "0B 00 000000000000"},
      {F32s{1.0f}, "0E 01 0000 0000803F"},
      {EncodableList{1, EncodableValue()}, "0C 02 0301000000 00"},
      // A double inside a list is padded from the message start.
      {EncodableList{true, 1.0}, "0C 02 01 06 00000000 000000000000F03F"},
      // Entries in key order, not in the order given.
      {EncodableMap{{"b", 1}, {"a", 2}}, "0D 02 070161 0302000000 070162 0301000000"},
  };
  for (const auto& [value, hex] : cases) {
    SCOPED_TRACE(hex);
    EXPECT_THAT(RoundTrip(value), ElementsAreArray(Hex(hex)));
  }
}

// Sizes at the edges of the one-, three- and five-byte size forms, for every sized alternative.
TEST(StandardCodecSizes, SweepAcrossTheSizeForms) {
  const std::pair<size_t, const char*> forms[] = {{0, "00"},          {253, "FD"},
                                                  {254, "FE FE00"},   {255, "FE FF00"},
                                                  {65535, "FE FFFF"}, {65536, "FF 00000100"}};
  for (const auto& [size, hex] : forms) {
    const std::vector<uint8_t> size_bytes = Hex(hex);
    EncodableMap map;
    for (size_t i = 0; i < size; ++i) map.emplace(static_cast<int32_t>(i), EncodableValue());
    const std::vector<EncodableValue> values({std::string(size, 'x'), U8s(size, 7), I32s(size, -3),
                                              I64s(size, 1), F64s(size, 0.5), F32s(size, 0.25f),
                                              EncodableList(size, true), map});
    for (const EncodableValue& value : values) {
      SCOPED_TRACE(testing::Message() << "size " << size << ", alternative " << value.index());
      const std::vector<uint8_t> bytes = RoundTrip(value);
      ASSERT_GT(bytes.size(), size_bytes.size());
      EXPECT_TRUE(std::equal(size_bytes.begin(), size_bytes.end(), bytes.begin() + 1));
    }
  }
  std::vector<uint8_t> huge;
  ByteBufferStreamWriter writer(&huge);
  StandardCodecSerializer::GetInstance().WriteSize((uint64_t{1} << 32) + 5, &writer);
  EXPECT_THAT(huge, ElementsAreArray(Hex("FF 05000000"))) << "the low 32 bits of a huge size";
}

struct DecodeCase {
  const char* bytes;
  EncodableValue value;
  size_t unread;
  std::string log;
};

// Messages that only decode: odd, truncated, unknown or oversized input. Reads past the end yield
// zeros, one line per failed read, and do not move the position. A declared size beyond the
// message yields an empty value of its type, or the elements that were there, after bounded work.
TEST(StandardCodecDecoding, OddInputDecodesToTheseValuesWithTheseLines) {
  const std::string unknown = "Unknown type in StandardCodecSerializer::ReadValueOfType: ";
  const std::string read = InvalidReads();
  const DecodeCase cases[] = {
      // Well formed: type byte 5, bytes after the value, sizes that fit exactly, duplicate keys
      // (the first value stays), and a NaN key, which collides with the double key before it.
      {"05 02 3132", EncodableValue("12"), 0, ""},
      {"07 01 61 03 01000000", EncodableValue("a"), 5, ""},
      {"09 02 0000 01000000 02000000", I32s{1, 2}, 0, ""},
      {"0D 02 07016B 0301000000 07016B 0302000000", EncodableValue(EncodableMap{{"k", 1}}), 0, ""},
      {"0D 02 06 0000000000 000000000000F03F 00 06 000000000000 000000000000F87F 00",
       EncodableValue(EncodableMap{{1.0, EncodableValue()}}), 0, ""},
      // Unknown types are null; decoding goes on with the next byte.
      {"0F 01 02", EncodableValue(), 2, unknown + "15\n"},
      {"FF 01 02", EncodableValue(), 2, unknown + "255\n"},
      {"0C 02 0F 03 01000000", EncodableValue(EncodableList{EncodableValue(), 1}), 0,
       unknown + "15\n"},
      // Truncated: an empty buffer, scalars, a double before and after its padding, a size, an
      // empty list's padding, a map value, lists and maps cut short.
      {"", EncodableValue(), 0, read},
      {"03 01 00", EncodableValue(int32_t{0}), 2, read},
      {"04 01 02 03", EncodableValue(int64_t{0}), 3, read},
      {"06", EncodableValue(0.0), 0, read},
      {"06 00000000000000 0000", EncodableValue(0.0), 2, read},
      {"07 FE 01", EncodableValue(""), 1, read},
      {"09 00", I32s{}, 0, read},
      {"0D 01 070161", EncodableValue(EncodableMap{{"a", EncodableValue()}}), 0, read},
      {"0C 03 03 01000000", EncodableValue(EncodableList{1}), 0, read},
      {"0D 02 07016B 0301000000", EncodableValue(EncodableMap{{"k", 1}}), 0, read},
      // Sizes of 2^32-1, and sizes just past the end.
      {"0C FFFFFFFFFF", EncodableValue(EncodableList{}), 0, read},
      {"0D FFFFFFFFFF", EncodableValue(EncodableMap{}), 0, read},
      {"07 FFFFFFFFFF", EncodableValue(""), 0, read},
      {"08 FFFFFFFFFF", U8s{}, 0, read},
      {"09 FFFFFFFFFF", I32s{}, 0, read},
      {"0A FFFFFFFFFF", I64s{}, 0, read},
      {"0B FFFFFFFFFF", F64s{}, 0, read},
      {"0E FFFFFFFFFF", F32s{}, 0, read},
      {"0C FFFFFFFFFF 01 02", EncodableValue(EncodableList{true, false}), 0, read},
      {"07 03 6162", EncodableValue(""), 2, read},
      {"09 02 0000 01000000 020000", I32s{}, 7, read},
  };
  for (const DecodeCase& test : cases) {
    SCOPED_TRACE(test.bytes);
    testing_support::LogCapture log;
    codec_test::Decoded decoded = Decode(Hex(test.bytes));
    EXPECT_EQ(decoded.value, test.value);
    EXPECT_EQ(decoded.unread, test.unread);
    EXPECT_EQ(log.Err(), test.log);
  }
}

TEST(StandardCodecEncoding, CustomValueIsWrittenAsNullWithTheTwoPartLine) {
  testing_support::LogCapture log;
  EXPECT_THAT(Encode(EncodableValue(EncodableList{CustomEncodableValue(1), int32_t{2}})),
              ElementsAreArray(Hex("0C 02 00 0302000000")));
  EXPECT_EQ(log.Err(),
            "Unhandled custom type in StandardCodecSerializer::WriteValue. Custom types require "
            "codec extensions.\n");
}

// `depth` lists of one element around `innermost`.
EncodableValue Nested(int depth, EncodableValue innermost) {
  for (int i = 0; i < depth; ++i) {
    EncodableList outer;
    outer.push_back(std::move(innermost));
    innermost = std::move(outer);
  }
  return innermost;
}

TEST(StandardCodecDecoding, NestingIsBoundedAt512Levels) {
  constexpr int kLimit = StandardCodecSerializer::kMaxNesting;
  RoundTrip(Nested(kLimit, 7));

  testing_support::LogCapture log;
  codec_test::Decoded decoded = Decode(Encode(Nested(kLimit + 1, 7)));
  EXPECT_TRUE(decoded.value == Nested(kLimit, EncodableValue()));
  EXPECT_EQ(decoded.unread, 5u);  // the too-deep list's element is left unread
  EXPECT_EQ(log.Err(), "Nesting too deep in StandardCodecSerializer::ReadValueOfType\n");
}

// Writes a custom int as type byte 128 and then the int; nested values must reach it both ways.
class TaggedIntSerializer : public StandardCodecSerializer {
 public:
  void WriteValue(const EncodableValue& value, ByteStreamWriter* stream) const override {
    const auto* custom = std::get_if<CustomEncodableValue>(&value);
    if (custom == nullptr) return StandardCodecSerializer::WriteValue(value, stream);
    stream->WriteByte(128);
    WriteValue(EncodableValue(std::any_cast<int32_t>(custom->value())), stream);
  }

  EncodableValue ReadValueOfType(uint8_t type, ByteStreamReader* stream) const override {
    if (type != 128) return StandardCodecSerializer::ReadValueOfType(type, stream);
    return EncodableValue(CustomEncodableValue(std::get<int32_t>(ReadValue(stream))));
  }
};

TEST(StandardCodecExtension, NestedValuesGoThroughTheDerivedSerializer) {
  const TaggedIntSerializer serializer;
  testing_support::LogCapture log;
  const EncodableValue value(EncodableMap{{"tags", EncodableList{CustomEncodableValue(5), 3}}});
  const std::vector<uint8_t> bytes = Encode(value, serializer);
  EXPECT_THAT(bytes,
              ElementsAreArray(Hex("0D 01 07 04 74616773 0C 02 80 03 05000000 03 03000000")));
  const EncodableValue decoded = Decode(bytes, serializer).value;
  const auto& list = std::get<EncodableList>(std::get<EncodableMap>(decoded).at("tags"));
  EXPECT_EQ(std::any_cast<int32_t>(std::get<CustomEncodableValue>(list.at(0)).value()), 5);
  EXPECT_EQ(list.at(1), EncodableValue(3));
  EXPECT_EQ(log.Err(), "");
}

}  // namespace
}  // namespace flutter
