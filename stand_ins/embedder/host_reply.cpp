#include "stand_ins/embedder/host_reply.h"

#include <utility>

namespace stand_in {

HostReply::HostReply(HostReply&& other) noexcept
    : function_(std::exchange(other.function_, nullptr)),
      user_data_(std::exchange(other.user_data_, nullptr)) {}

HostReply& HostReply::operator=(HostReply&& other) noexcept {
  if (this != &other) {
    Send(nullptr, 0);
    function_ = std::exchange(other.function_, nullptr);
    user_data_ = std::exchange(other.user_data_, nullptr);
  }
  return *this;
}

HostReply::~HostReply() { Send(nullptr, 0); }

void HostReply::Send(const uint8_t* data, size_t size) {
  FlutterDesktopBinaryReply function = std::exchange(function_, nullptr);
  if (function != nullptr) {
    function(data, size, user_data_);
  }
}

}  // namespace stand_in
