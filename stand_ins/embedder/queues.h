#ifndef QUORVANTA_STAND_INS_EMBEDDER_QUEUES_H_
#define QUORVANTA_STAND_INS_EMBEDDER_QUEUES_H_

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "stand_ins/embedder/host_reply.h"
#include "stand_ins/embedder/window_request.h"

namespace stand_in {

// What reaches the UI side.
struct Started {};  // the program's start-up is over and the window shown
struct HostMessage {
  std::string channel;
  std::vector<uint8_t> bytes;
  HostReply reply;  // empty when the program wants none
};
struct CallResponse {
  uint64_t call_id = 0;
  std::vector<uint8_t> bytes;
};
using UiItem = std::variant<Started, HostMessage, CallResponse, WindowResult>;

// The UI side's inbox: any thread pushes, the UI thread waits and takes.
class UiInbox {
 public:
  void Push(UiItem item);

  // Waits until items are there, a stop is requested or the deadline passes, and takes them all.
  std::deque<UiItem> Wait(std::chrono::steady_clock::time_point deadline);
  std::deque<UiItem> TakeAll();

  void RequestStop();
  bool stop_requested() const;

 private:
  mutable std::mutex lock_;
  std::condition_variable changed_;
  std::deque<UiItem> items_;
  bool stop_ = false;
};

// What reaches the platform thread.
struct StartUi {};
struct IncomingCall {
  std::string channel;
  std::vector<uint8_t> bytes;
  uint64_t call_id = 0;
};
struct WindowRequest {
  uint64_t request_id = 0;
  WindowAction action = WindowAction::kReport;
};
struct AnswerToHost {
  HostReply reply;
};
using HostItem = std::variant<StartUi, IncomingCall, WindowRequest, AnswerToHost>;

// The platform thread's queue. Each push calls the wake function, which gets the platform thread
// to Pop (by posting to the view's window); after Close nothing is taken or delivered any more.
class HostQueue {
 public:
  // Called under the queue's lock: keep it short and non-blocking. Setting it while items wait
  // wakes at once.
  void SetWake(std::function<void()> wake);

  // False once closed; the item is then dropped on the calling thread.
  bool Push(HostItem item);
  std::optional<HostItem> Pop();

  // Drops the waiting items on the calling thread.
  void Close();

 private:
  std::mutex lock_;
  std::deque<HostItem> items_;
  std::function<void()> wake_;
  bool closed_ = false;
};

}  // namespace stand_in

#endif  // QUORVANTA_STAND_INS_EMBEDDER_QUEUES_H_
