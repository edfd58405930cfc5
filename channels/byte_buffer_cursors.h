#ifndef QUORVANTA_CHANNELS_BYTE_BUFFER_CURSORS_H_
#define QUORVANTA_CHANNELS_BYTE_BUFFER_CURSORS_H_

// The codec's walk (standard_codec_walk.h) straight over the buffer streams, for the standard
// serializer itself: nested values are walked here without going back through the virtual
// serializer, and bytes are read and written in place. Only for streams and serializers of
// exactly the standard classes, whose virtual operations would do the same.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "channels/byte_buffer_streams.h"
#include "channels/encodable_value.h"
#include "channels/standard_codec_walk.h"

namespace flutter::internal {

// Appends to a ByteBufferStreamWriter's vector. The bytes go through a cursor into a scratch
// area that the thread keeps from message to message, and reach the vector in one copy when the
// cursor goes: the vector is then allocated once, at its final size, instead of being copied and
// zero-filled as it grows. A type byte, its size, its padding and a scalar or short payload go in
// after one check for room. Long payloads go straight to the vector.
class BufferOutput {
 public:
  explicit BufferOutput(ByteBufferStreamWriter& writer);
  ~BufferOutput();

  BufferOutput(const BufferOutput&) = delete;
  BufferOutput& operator=(const BufferOutput&) = delete;

  // Scratch memory, owned by a thread or, while that is busy, by one output.
  struct Scratch {
    std::unique_ptr<uint8_t[]> bytes;
    size_t capacity = 0;
    bool busy = false;
  };

  void Byte(uint8_t byte) {
    *Room(1) = byte;
    ++cursor_;
  }

  template <typename Scalar>
  void TypeAndScalar(uint8_t type, Scalar value) {
    uint8_t* out = Room(1 + sizeof(value));
    out[0] = type;
    std::memcpy(out + 1, &value, sizeof(value));
    cursor_ = out + 1 + sizeof(value);
  }

  void TypeAndDouble(uint8_t type, double value) {
    uint8_t* out = Room(1 + kMaxPadding + sizeof(value));
    *out++ = type;
    out = Pad(out, 8);
    std::memcpy(out, &value, sizeof(value));
    cursor_ = out + sizeof(value);
  }

  void TypeAndSize(uint8_t type, size_t size) {
    uint8_t* out = Room(1 + kMaxSizeBytes);
    *out++ = type;
    cursor_ = out + EncodeSize(size, out);
  }

  void TypeAndSequence(uint8_t type, size_t size, uint8_t alignment, const void* data,
                       size_t length) {
    // Short strings and lists, the common case, with one check; the rest out of line.
    if (size < 254 && length <= kShortPayload && alignment <= 1 &&
        static_cast<size_t>(limit_ - cursor_) >= 2 + kShortPayload) {
      uint8_t* out = cursor_;
      out[0] = type;
      out[1] = static_cast<uint8_t>(size);
      CopyShort(out + 2, static_cast<const uint8_t*>(data), length);
      cursor_ = out + 2 + length;
      return;
    }
    AnySequence(type, size, alignment, data, length);
  }

  // Scalars and strings are written here, in the loop of their list or map, rather than in a
  // call: each loop then has a branch of its own for the types it holds. A map's list values
  // (the usual shape of a record) are written here too.
  void Nested(const EncodableValue& value) {
    if (EncodeScalarOrString(value, *this)) {
      return;
    }
    if (const auto* list = std::get_if<EncodableList>(&value)) {
      EncodeList(*list, *this);
      return;
    }
    EncodeValue(value, *this);
  }

  void Element(const EncodableValue& value) {
    if (!EncodeScalarOrString(value, *this)) {
      EncodeValue(value, *this);
    }
  }

 private:
  static constexpr size_t kShortPayload = 32;
  // Payloads longer than this are copied once, straight into the vector.
  static constexpr size_t kLongPayload = 1024;

  // Copies up to kShortPayload bytes without a library call: two fixed-size copies that overlap
  // cover every length from their size to twice it, and read and write nothing outside.
  static void CopyShort(uint8_t* to, const uint8_t* from, size_t length) {
    if (length >= 16) {
      CopyEnds<16>(to, from, length);
    } else if (length >= 8) {
      CopyEnds<8>(to, from, length);
    } else if (length >= 4) {
      CopyEnds<4>(to, from, length);
    } else if (length > 0) {
      to[0] = from[0];
      to[length / 2] = from[length / 2];
      to[length - 1] = from[length - 1];
    }
  }

  template <size_t kSize>
  static void CopyEnds(uint8_t* to, const uint8_t* from, size_t length) {
    uint8_t head[kSize];
    uint8_t tail[kSize];
    std::memcpy(head, from, kSize);
    std::memcpy(tail, from + length - kSize, kSize);
    std::memcpy(to, head, kSize);
    std::memcpy(to + length - kSize, tail, kSize);
  }

  // At least `length` writable bytes at the cursor.
  uint8_t* Room(size_t length) {
    if (static_cast<size_t>(limit_ - cursor_) < length) {
      Grow(length);
    }
    return cursor_;
  }

  // Zero bytes up to the next multiple of `alignment` from the start of the message; needs
  // kMaxPadding bytes of room.
  uint8_t* Pad(uint8_t* out, uint8_t alignment) {
    const size_t misalignment = (base_ + static_cast<size_t>(out - start_)) % alignment;
    std::memset(out, 0, kMaxPadding);
    return misalignment == 0 ? out : out + (alignment - misalignment);
  }

  void Grow(size_t length);
  void AnySequence(uint8_t type, size_t size, uint8_t alignment, const void* data, size_t length);
  // Moves the written bytes to the vector, with capacity for `more` bytes after them.
  void Flush(size_t more);

  std::vector<uint8_t>& buffer_;
  Scratch own_;
  Scratch* scratch_;
  // The message position of the scratch area's first byte.
  size_t base_;
  uint8_t* start_;
  uint8_t* cursor_;
  uint8_t* limit_;
};

// Reads through a ByteBufferStreamReader without virtual calls, and builds strings and lists
// from the message bytes in one copy.
class BufferInput {
 public:
  explicit BufferInput(ByteBufferStreamReader& reader) : reader_(reader) {}

  uint8_t Byte() { return reader_.ByteBufferStreamReader::ReadByte(); }

  template <typename T>
  T Scalar() {
    T value{};
    reader_.ByteBufferStreamReader::ReadBytes(reinterpret_cast<uint8_t*>(&value), sizeof(value));
    return value;
  }

  void Align(uint8_t alignment) { reader_.ByteBufferStreamReader::ReadAlignment(alignment); }

  size_t Remaining() const { return reader_.ByteBufferStreamReader::BytesRemaining(); }

  // `count` elements read from the message, or zeros when the bytes are not all there.
  template <typename Sequence>
  Sequence Take(size_t count) {
    using Element = typename Sequence::value_type;
    const size_t length = count * sizeof(Element);
    if (!reader_.Fits(length)) {
      ReportInvalidRead();
      return Sequence(count, Element{});
    }
    const uint8_t* bytes = reader_.bytes_ + reader_.position_;
    reader_.position_ += length;
    if (reinterpret_cast<uintptr_t>(bytes) % alignof(Element) == 0) {
      const auto* first = reinterpret_cast<const Element*>(bytes);
      return Sequence(first, first + count);
    }
    // Misaligned in memory (the message itself starts at an odd address): zero-filled first.
    Sequence sequence(count, Element{});
    std::memcpy(sequence.data(), bytes, length);
    return sequence;
  }

  EncodableValue Nested() { return DecodeValueOfType(Byte(), *this); }

 private:
  ByteBufferStreamReader& reader_;
};

}  // namespace flutter::internal

#endif  // QUORVANTA_CHANNELS_BYTE_BUFFER_CURSORS_H_
