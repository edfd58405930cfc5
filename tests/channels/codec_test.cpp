// Values, the standard message codec and the standard method codec. The serializer works on the
// bytes of the buffer streams directly when both it and the stream are of exactly the standard
// classes, and through the virtual operations otherwise: the tables hold both paths to the same
// bytes, values and lines.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <any>
#include <limits>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "channels/standard_method_codec.h"
#include "tests/channels/channels_test_util.h"

namespace channels_test {
namespace {

using flutter::MethodCall;
using flutter::StandardCodecSerializer;
using flutter::StandardMethodCodec;

std::string PathName(Path path) { return path == Path::kDirect ? "direct path" : "general path"; }

// Each row is strictly ordered: first < second, and not the reverse.
TEST(EncodableValue, OrderingAsTheMapKeysNeedIt) {
  const std::pair<EncodableValue, EncodableValue> rows[] = {
      // The alternative index decides first, whatever the content.
      {EncodableValue(), false},
      {false, true},
      {int32_t{100}, int64_t{-100}},
      {CustomEncodableValue(1), F32s{}},
      // Numbers numerically.
      {int32_t{-2}, int32_t{1}},
      {int64_t{1}, int64_t{1} << 32},
      {-0.5, 0.25},
      // Strings and byte lists by unsigned bytes, then length.
      {"B", "a"},
      {"a", "\x80"},
      {"ab", "abc"},
      {Bytes{1, 0}, Bytes{0xFF}},
      // Sequences lexicographically, a proper prefix first.
      {I32s{1, 2}, I32s{1, 2, 0}},
      {I64s{-1}, I64s{0}},
      {F64s{1, -1}, F64s{1, 0}},
      {EncodableList{int32_t{9}}, EncodableList{int64_t{0}}},
      {EncodableList{1}, EncodableList{1, EncodableValue()}},
      // Maps entry by entry in key order: equal keys, smaller value; smaller key; proper prefix.
      {EncodableMap{{1, "a"}}, EncodableMap{{1, "b"}}},
      {EncodableMap{{1, "b"}}, EncodableMap{{2, ""}}},
      {EncodableMap{{1, "a"}}, EncodableMap{{1, "a"}, {2, ""}}}};
  for (const auto& [smaller, larger] : rows) {
    SCOPED_TRACE(testing::PrintToString(smaller) + " < " + testing::PrintToString(larger));
    EXPECT_TRUE(smaller < larger);
    EXPECT_FALSE(larger < smaller);
    EXPECT_FALSE(smaller < smaller);
    EXPECT_NE(smaller, larger);
  }
  const EncodableValue nan(std::numeric_limits<double>::quiet_NaN());
  EXPECT_FALSE(nan < EncodableValue(1.0));
  EXPECT_FALSE(EncodableValue(1.0) < nan);
  // Custom values by identity: two distinct ones are never equivalent, whatever they hold.
  const EncodableValue first(CustomEncodableValue(5));
  const EncodableValue second(CustomEncodableValue(5));
  EXPECT_NE(first < second, second < first);
  EXPECT_NE(first, second);
}

// Counts how often it is copied.
struct CopyCounter {
  explicit CopyCounter(int* copies) : copies(copies) {}
  CopyCounter(const CopyCounter& other) : copies(other.copies) { ++*copies; }
  CopyCounter& operator=(const CopyCounter& other) = delete;
  int* copies;
};

// Moving a value that holds a custom object copies the object: the source keeps it.
TEST(EncodableValue, MovingACustomValueCopiesItsObject) {
  int copies = 0;
  EncodableValue source{CustomEncodableValue(CopyCounter(&copies))};
  copies = 0;
  const EncodableValue moved = std::move(source);
  EXPECT_EQ(copies, 1);
  // NOLINTNEXTLINE(bugprone-use-after-move): the moved-from value is checked on purpose.
  EXPECT_EQ(std::any_cast<CopyCounter>(std::get<CustomEncodableValue>(source).value()).copies,
            &copies);
  EXPECT_EQ(std::get<CustomEncodableValue>(moved).type(), typeid(CopyCounter));
}

// `hex` decodes to `value` with `unread` bytes left and `log` written, on both paths.
void ExpectDecodes(const std::string& hex, const EncodableValue& value, size_t unread,
                   const std::string& log) {
  for (Path path : kBothPaths) {
    const Decoded decoded = Decode(Hex(hex), path);
    EXPECT_EQ(decoded.value, value) << hex << ", " << PathName(path);
    EXPECT_EQ(decoded.unread, unread) << hex << ", " << PathName(path);
    EXPECT_EQ(decoded.log, log) << hex << ", " << PathName(path);
  }
}

TEST(StandardCodec, ValuesEncodeToExactlyTheseBytesAndDecodeBack) {
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
      {"", "07 00"},
      {"abc", "07 03 616263"},  // a text literal is a string
      {"abcdefghi", "07 09 616263646566676869"},
      {Bytes{255}, "08 01 FF"},  // never padded
      {I32s{1}, "09 01 0000 01000000"},
      {I32s{}, "09 00 0000"},  // padded even when empty
      {I64s{-2}, "0A 01 000000000000 FEFFFFFFFFFFFFFF"},
      {F64s{1.0}, "0B 01 000000000000 000000000000F03F"},
      {F64s{}, "0B 00 000000000000"},
      {F32s{1.0f}, "0E 01 0000 0000803F"},
      {EncodableList{1, EncodableValue()}, "0C 02 0301000000 00"},
      // Values inside a list are padded from the message start.
      {EncodableList{true, 1.0, I32s{1}},
       "0C 03 01 06 00000000 000000000000F03F 09 01 0000 01000000"},
      // Entries in key order, not in the order given.
      {EncodableMap{{"b", 1}, {"a", 2}}, "0D 02 070161 0302000000 070162 0301000000"}};
  for (const auto& [value, hex] : cases) {
    for (Path path : kBothPaths) {
      testing_support::LogCapture log;
      EXPECT_EQ(Encode(value, path), Hex(hex)) << PathName(path);
      EXPECT_EQ(log.Err(), "");
    }
    ExpectDecodes(hex, value, 0, "");
  }
}

// Sizes at the edges of the one-, three- and five-byte size forms; every alternative writes its
// size through the same two operations, and the general path is shown by strings alone.
TEST(StandardCodec, SizesAtTheEdgesOfEachForm) {
  const std::pair<size_t, const char*> forms[] = {
      {253, "FD"}, {254, "FE FE00"}, {255, "FE FF00"}, {65535, "FE FFFF"}, {65536, "FF 00000100"}};
  for (const auto& [size, hex] : forms) {
    EncodableMap map;
    for (size_t i = 0; i < size; ++i) map.emplace(static_cast<int32_t>(i), EncodableValue());
    const EncodableValue values[] = {std::string(size, 'x'), I64s(size, 1),
                                     EncodableList(size, true), map};
    for (const EncodableValue& value : values) {
      for (Path path : std::span<const Path>(kBothPaths, value.index() == 5 ? 2 : 1)) {
        SCOPED_TRACE(testing::Message() << "size " << size << ", alternative " << value.index()
                                        << ", " << PathName(path));
        const Bytes bytes = Encode(value, path);
        const Bytes size_bytes = Hex(hex);
        EXPECT_TRUE(std::equal(size_bytes.begin(), size_bytes.end(), bytes.begin() + 1));
        const Decoded decoded = Decode(bytes, path);
        EXPECT_TRUE(decoded.value == value && decoded.unread == 0 && decoded.log.empty());
      }
    }
  }
  Bytes huge;
  flutter::ByteBufferStreamWriter writer(&huge);
  Standard().WriteSize((uint64_t{1} << 32) + 5, &writer);
  EXPECT_EQ(huge, Hex("FF 05000000")) << "the low 32 bits of a huge size";
}

// Messages that only decode: odd, truncated, unknown or oversized input. Reads past the end yield
// zeros, one line per failed read, and do not move the position. A declared size beyond the
// message yields an empty value of its type, or the elements that were there, after bounded work.
TEST(StandardCodec, OddInputDecodesToTheseValuesWithTheseLines) {
  const std::string unknown = "Unknown type in StandardCodecSerializer::ReadValueOfType: ";
  const std::string read = InvalidReads();
  const std::tuple<const char*, EncodableValue, size_t, std::string> cases[] = {
      // Well formed: type byte 5, bytes after the value, sizes that fit exactly, map entries out
      // of key order, duplicate keys (the first value stays), and a NaN key, which collides with
      // the double key before it.
      {"05 02 3132", "12", 0, ""},
      {"07 01 61 03 01000000", "a", 5, ""},
      {"09 02 0000 01000000 02000000", I32s{1, 2}, 0, ""},
      {"0D 03 070163 0303000000 070161 0301000000 070162 0302000000",
       EncodableMap{{"a", 1}, {"b", 2}, {"c", 3}}, 0, ""},
      {"0D 02 07016B 0301000000 07016B 0302000000", EncodableMap{{"k", 1}}, 0, ""},
      {"0D 03 070162 0302000000 070161 0301000000 070162 0309000000",
       EncodableMap{{"a", 1}, {"b", 2}}, 0, ""},
      {"0D 02 06 0000000000 000000000000F03F 00 06 000000000000 000000000000F87F 00",
       EncodableMap{{1.0, EncodableValue()}}, 0, ""},
      // Unknown types are null; decoding goes on with the next byte.
      {"0F 01 02", EncodableValue(), 2, unknown + "15\n"},
      {"FF 01 02", EncodableValue(), 2, unknown + "255\n"},
      {"0C 02 0F 03 01000000", EncodableList{EncodableValue(), 1}, 0, unknown + "15\n"},
      // Truncated: an empty buffer, scalars, a double before and after its padding, a size, an
      // empty list's padding, a map value, lists and maps cut short.
      {"", EncodableValue(), 0, read},
      {"03 01 00", int32_t{0}, 2, read},
      {"04 01 02 03", int64_t{0}, 3, read},
      {"06", 0.0, 0, read},
      {"06 00000000000000 0000", 0.0, 2, read},
      {"07 FE 01", "", 1, read},
      {"09 00", I32s{}, 0, read},
      {"0D 01 070161", EncodableMap{{"a", EncodableValue()}}, 0, read},
      {"0C 03 03 01000000", EncodableList{1}, 0, read},
      {"0D 02 07016B 0301000000", EncodableMap{{"k", 1}}, 0, read},
      // Sizes of 2^32-1, and sizes just past the end.
      {"0C FFFFFFFFFF", EncodableList{}, 0, read},
      {"0D FFFFFFFFFF", EncodableMap{}, 0, read},
      {"07 FFFFFFFFFF", "", 0, read},
      {"08 FFFFFFFFFF", Bytes{}, 0, read},
      {"09 FFFFFFFFFF", I32s{}, 0, read},
      {"0A FFFFFFFFFF", I64s{}, 0, read},
      {"0B FFFFFFFFFF", F64s{}, 0, read},
      {"0E FFFFFFFFFF", F32s{}, 0, read},
      {"0C FFFFFFFFFF 01 02", EncodableList{true, false}, 0, read},
      {"07 03 6162", "", 2, read},
      {"09 02 0000 01000000 020000", I32s{}, 7, read}};
  for (const auto& [hex, value, unread, log] : cases) ExpectDecodes(hex, value, unread, log);
}

// The line is written while the value is; a message encoded meanwhile, on the same thread (by a
// log destination), keeps apart from it.
TEST(StandardCodec, CustomValueIsWrittenAsNullWithTheTwoPartLine) {
  for (Path path : kBothPaths) {
    Bytes logged;
    PieceLog log([&logged] { logged = Encode(EncodableList{"logged", 2.0}); });
    EXPECT_EQ(Encode(EncodableList{"before", CustomEncodableValue(1), "after"}, path),
              Hex("0C 03 07 06 6265666F7265 00 07 05 6166746572"));
    EXPECT_THAT(log.pieces, testing::ElementsAre("Unhandled custom type in StandardCodecSerializer"
                                                 "::WriteValue. Custom types require codec "
                                                 "extensions.\n"));
    EXPECT_EQ(logged, Hex("0C 02 07 06 6C6F67676564 06 0000000000 0000000000000040"));
  }
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

TEST(StandardCodec, NestingIsBoundedAt512Levels) {
  constexpr int kLimit = StandardCodecSerializer::kMaxNesting;
  for (Path path : kBothPaths) {
    const Decoded deepest = Decode(Encode(Nested(kLimit, 7)), path);
    EXPECT_TRUE(deepest.value == Nested(kLimit, 7) && deepest.log.empty()) << PathName(path);
    const Decoded too_deep = Decode(Encode(Nested(kLimit + 1, 7)), path);
    EXPECT_TRUE(too_deep.value == Nested(kLimit, EncodableValue())) << PathName(path);
    EXPECT_EQ(too_deep.unread, 5u);  // the too-deep list's element is left unread
    EXPECT_EQ(too_deep.log, "Nesting too deep in StandardCodecSerializer::ReadValueOfType\n");
  }
}

// Writes a custom int as type byte 128 and then the int; nested values must reach it both ways.
class TaggedIntSerializer : public StandardCodecSerializer {
 public:
  void WriteValue(const EncodableValue& value, flutter::ByteStreamWriter* stream) const override {
    const auto* custom = std::get_if<CustomEncodableValue>(&value);
    if (custom == nullptr) return StandardCodecSerializer::WriteValue(value, stream);
    stream->WriteByte(128);
    WriteValue(EncodableValue(std::any_cast<int32_t>(custom->value())), stream);
  }
  EncodableValue ReadValueOfType(uint8_t type, flutter::ByteStreamReader* stream) const override {
    if (type != 128) return StandardCodecSerializer::ReadValueOfType(type, stream);
    return EncodableValue(CustomEncodableValue(std::get<int32_t>(ReadValue(stream))));
  }
};

TEST(StandardCodec, NestedValuesGoThroughADerivedSerializer) {
  const TaggedIntSerializer serializer;
  const Bytes bytes = Encode(EncodableMap{{"tags", EncodableList{CustomEncodableValue(5), 3}}},
                             Path::kDirect, serializer);
  EXPECT_EQ(bytes, Hex("0D 01 07 04 74616773 0C 02 80 03 05000000 03 03000000"));
  const Decoded decoded = Decode(bytes, Path::kDirect, serializer);
  EXPECT_EQ(decoded.log, "");
  EXPECT_EQ(Encode(decoded.value, Path::kDirect, serializer), bytes);
}

// Every prefix of a message that holds each kind of value decodes alike on both paths, and what
// decoded encodes alike on both (compared as bytes: NaN never equals itself). Both paths also
// write alike after a leading byte, as in an envelope, and with payloads long enough to bypass
// the writer's scratch memory; typed lists decode from a message at an odd address.
TEST(StandardCodec, DirectAndGeneralPathsAgree) {
  const EncodableValue sample(EncodableList{
      EncodableMap{{"b", EncodableList{int32_t{1}, 2.5, "x"}}, {"a", EncodableValue()}},
      int64_t{-3}, true, false, Bytes{1, 2, 3}, I32s{4, 5}, I64s{6}, F64s{7.5}, F32s{8.5f},
      std::string(300, 's'), EncodableMap{{7.0, EncodableList{}}}});
  const Bytes message = Encode(sample);
  for (size_t size = 0; size <= message.size(); ++size) {
    const Decoded direct = Decode(std::span(message).first(size));
    const Decoded general = Decode(std::span(message).first(size), Path::kGeneral);
    EXPECT_EQ(Encode(direct.value), Encode(general.value, Path::kGeneral)) << size << " bytes";
    EXPECT_EQ(direct.unread, general.unread) << size << " bytes";
    EXPECT_EQ(direct.log, general.log) << size << " bytes";
  }

  const EncodableValue long_payloads(
      EncodableList{std::string(1500, 'a'), 1.0, Bytes(3001, 7), I64s{-1}, "b", I32s(2000, 5)});
  for (const EncodableValue* value : {&sample, &long_payloads}) {
    for (const Bytes& before : {Bytes{}, Bytes{0}}) {
      EXPECT_EQ(Encode(*value, Path::kDirect, Standard(), before),
                Encode(*value, Path::kGeneral, Standard(), before));
    }
  }

  Bytes shifted = message;
  shifted.insert(shifted.begin(), 0xEE);
  EXPECT_EQ(Decode(std::span(shifted).subspan(1)).value, sample);

  // A derived writer gets every type, size and padding byte through WriteByte; a derived reader
  // every type and size byte through ReadByte.
  Bytes bytes;
  CountingWriter writer(&bytes);
  Standard().WriteValue(EncodableList{true, 1.0, I32s{1}}, &writer);
  EXPECT_EQ(writer.single_bytes, 12) << "4 type bytes, 2 sizes, 4 + 2 padding bytes";
  CountingReader reader(bytes.data(), bytes.size());
  Standard().ReadValue(&reader);
  EXPECT_EQ(reader.single_bytes, 6);
}

const StandardMethodCodec& Codec() { return StandardMethodCodec::GetInstance(); }

TEST(StandardMethodCodec, CallsAndEnvelopesEncodeToTheseBytes) {
  const EncodableValue one("1");
  const EncodableValue number(1.0);
  const EncodableValue details(int32_t{7});
  const std::pair<std::unique_ptr<Bytes>, const char*> cases[] = {
      {Codec().EncodeMethodCall(MethodCall<>("abc", nullptr)), "07 03 616263 00"},
      {Codec().EncodeMethodCall(
           MethodCall<>("abc", std::make_unique<EncodableValue>(EncodableList{"x"}))),
       "07 03 616263 0C 01 07 01 78"},
      {Codec().EncodeSuccessEnvelope(&one), "00 07 01 31"},
      {Codec().EncodeSuccessEnvelope(), "00 00"},
      // The padding counts the flag byte.
      {Codec().EncodeSuccessEnvelope(&number), "00 06 000000000000 000000000000F03F"},
      {Codec().EncodeErrorEnvelope("E", ""), "01 070145 00 00"},
      {Codec().EncodeErrorEnvelope("E", "m"), "01 070145 07016D 00"},
      {Codec().EncodeErrorEnvelope("", "", &details), "01 0700 00 0307000000"}};
  for (const auto& [bytes, hex] : cases) EXPECT_EQ(*bytes, Hex(hex)) << hex;
}

// "name(arguments)", with "-" for an empty arguments pointer, or "no call".
std::string Describe(const std::unique_ptr<MethodCall<>>& call) {
  if (call == nullptr) return "no call";
  const EncodableValue* arguments = call->Arguments();
  return call->MethodName() + "(" + (arguments ? testing::PrintToString(*arguments) : "-") + ")";
}

TEST(StandardMethodCodec, CallsDecodeToTheirNameAndArgumentsOrToNoCall) {
  const std::string not_a_string = "Invalid method call; method name is not a string.\n";
  const std::tuple<const char*, const char*, std::string> cases[] = {
      {"07 03 616263 0C 01 07 01 78", "abc(<10>[<5>\"x\"])", ""},
      // Missing arguments are null, after the reader's line; bytes after them are ignored.
      {"07 03 616263", "abc(<0>null)", InvalidReads()},
      {"07 01 61 01 FF FF", "a(<1>true)", ""},
      {"03 01000000", "no call", not_a_string},
      {"", "no call", InvalidReads() + not_a_string},
      {"0F", "no call",
       "Unknown type in StandardCodecSerializer::ReadValueOfType: 15\n" + not_a_string}};
  for (const auto& [hex, call, lines] : cases) {
    testing_support::LogCapture log;
    const Bytes bytes = Hex(hex);
    EXPECT_EQ(Describe(Codec().DecodeMethodCall(bytes.data(), bytes.size())), call) << hex;
    EXPECT_EQ(log.Err(), lines) << hex;
  }
}

// Writes down every answer it is given: "success <value>", "error <code> <message> <details>",
// with "-" for an empty pointer.
class RecordingResult : public flutter::MethodResult<> {
 public:
  void Success(const EncodableValue* value) override {
    answers.push_back("success " + Text(value));
  }
  void Error(const std::string& code, const std::string& message,
             const EncodableValue* details) override {
    answers.push_back("error " + code + " " + message + " " + Text(details));
  }
  void NotImplemented() override { answers.push_back("not implemented"); }
  static std::string Text(const EncodableValue* value) {
    return value ? testing::PrintToString(*value) : "-";
  }

  std::vector<std::string> answers;
};

TEST(StandardMethodCodec, EachResponseEnvelopeCallsTheResultOnceOrNotAtAll) {
  const std::tuple<const char*, bool, std::vector<std::string>, std::string> cases[] = {
      {"00 07 01 31", true, {"success <5>\"1\""}, ""},
      {"00 00", true, {"success -"}, ""},  // a null result is no value
      {"", true, {"success -"}, InvalidReads(2)},
      {"01 070145 00 00", true, {"error E  -"}, ""},
      {"01 070145 07016D 0307000000", true, {"error E m <2>7"}, ""},
      {"01 070145", true, {"error E  -"}, InvalidReads(2)},
      {"02", false, {}, ""},
      {"FF 00", false, {}, ""},
      // A code that is not a string, a message that is neither null nor a string.
      {"01 0301000000 00 00", false, {}, ""},
      {"01 070145 0301000000 00", false, {}, ""}};
  for (const auto& [hex, understood, answers, lines] : cases) {
    testing_support::LogCapture log;
    RecordingResult result;
    const Bytes bytes = Hex(hex);
    EXPECT_EQ(Codec().DecodeResponseEnvelope(bytes.data(), bytes.size(), &result), understood)
        << hex;
    EXPECT_EQ(result.answers, answers) << hex;
    EXPECT_EQ(log.Err(), lines) << hex;
  }
}

TEST(StandardMethodCodec, OneCodecPerSerializerEvenForConcurrentFirstCalls) {
  EXPECT_EQ(&StandardMethodCodec::GetInstance(nullptr),
            &StandardMethodCodec::GetInstance(&Standard()));
  const StandardCodecSerializer serializer;
  std::vector<const StandardMethodCodec*> seen(8);
  std::vector<std::thread> threads;
  for (auto& codec : seen) {
    threads.emplace_back([&] { codec = &StandardMethodCodec::GetInstance(&serializer); });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(std::set<const StandardMethodCodec*>(seen.begin(), seen.end()).size(), 1u);
  EXPECT_NE(seen[0], &Codec());
}

}  // namespace
}  // namespace channels_test
