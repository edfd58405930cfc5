#include "vpn/connection.h"

#include <utility>

namespace vpn {

bool Connection::Stop() {
  if (!IsLive() || (child_ != nullptr && !child_->Terminate())) {
    return false;
  }
  ended_by_program_ = true;
  return true;
}

void Connection::Supersede() {
  if (child_ != nullptr) {
    static_cast<void>(child_->Terminate());
  }
  ended_by_program_ = true;
}

void Connection::Attach(std::shared_ptr<ChildProcess> child) {
  child_ = std::move(child);
  if (ended_by_program_ && child_ != nullptr) {
    static_cast<void>(child_->Terminate());
  }
}

void Connection::Post(int32_t code) {
  NoteSent(code);
  PostEvent(stream_, code);
}

void Connection::NoteSent(int32_t code) {
  if (code >= 0 && static_cast<size_t>(code) < sent_.size()) {
    sent_.set(static_cast<size_t>(code));
  }
  last_event_ = code;
}

bool Connection::HasSent(int32_t code) const {
  return code >= 0 && static_cast<size_t>(code) < sent_.size() &&
         sent_.test(static_cast<size_t>(code));
}

}  // namespace vpn
