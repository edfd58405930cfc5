#ifndef QUORVANTA_STAND_INS_EMBEDDER_HOST_REPLY_H_
#define QUORVANTA_STAND_INS_EMBEDDER_HOST_REPLY_H_

#include <cstddef>
#include <cstdint>

#include "shell/embedder/embedder_api.h"

namespace stand_in {

// The reply function that came with a message the program sent. It is called exactly once: by
// Send, or with no data when the reply is dropped unanswered (the engine ending). Owners keep it
// on paths that drop it on the platform thread only, where the program expects its replies.
class HostReply {
 public:
  HostReply() = default;
  HostReply(FlutterDesktopBinaryReply function, void* user_data)
      : function_(function), user_data_(user_data) {}
  HostReply(HostReply&& other) noexcept;
  HostReply& operator=(HostReply&& other) noexcept;
  HostReply(const HostReply&) = delete;
  HostReply& operator=(const HostReply&) = delete;
  ~HostReply();

  explicit operator bool() const { return function_ != nullptr; }

  void Send(const uint8_t* data, size_t size);

 private:
  FlutterDesktopBinaryReply function_ = nullptr;
  void* user_data_ = nullptr;
};

}  // namespace stand_in

#endif  // QUORVANTA_STAND_INS_EMBEDDER_HOST_REPLY_H_
