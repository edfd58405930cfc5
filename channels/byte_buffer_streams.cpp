#include "channels/byte_buffer_streams.h"

#include <typeinfo>

#include "base/log.h"

namespace flutter {

void ReportInvalidRead() { logging::Err("Invalid read in StandardCodecByteStreamReader"); }

void ByteBufferStreamWriter::WriteByte(uint8_t byte) { buffer_->push_back(byte); }

void ByteBufferStreamWriter::WriteBytes(const uint8_t* bytes, size_t length) {
  buffer_->insert(buffer_->end(), bytes, bytes + length);
}

void ByteBufferStreamWriter::WriteAlignment(uint8_t alignment) {
  if (alignment == 0) {
    return;
  }
  size_t misalignment = buffer_->size() % alignment;
  if (misalignment == 0) {
    return;
  }
  size_t padding = alignment - misalignment;
  // A derived writer sees each padding byte through its WriteByte, as the format describes it;
  // this class itself appends them in one step.
  if (typeid(*this) == typeid(ByteBufferStreamWriter)) {
    buffer_->resize(buffer_->size() + padding);
    return;
  }
  for (size_t i = 0; i < padding; ++i) {
    WriteByte(0);
  }
}

}  // namespace flutter
