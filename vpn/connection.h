#ifndef QUORVANTA_VPN_CONNECTION_H_
#define QUORVANTA_VPN_CONNECTION_H_

#include <bitset>
#include <cstdint>
#include <memory>

#include "vpn/child_process.h"
#include "vpn/event_streams.h"

namespace vpn {

// One start of one kind of child, from the toggle that decided it until its child is gone. Every
// member is used with the VPN state's lock held (vpn_state.h).
class Connection {
 public:
  explicit Connection(EventStream stream) : stream_(stream) {}

  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Still the program's to stop or to replace: neither ended by the program nor gone.
  bool IsLive() const { return !ended_by_program_ && !gone_; }
  // A stop or a later start ended it; from then on nothing is reported for it.
  bool EndedByProgram() const { return ended_by_program_; }
  bool IsGone() const { return gone_; }

  // The stop path: ends a live start. A launched child is terminated; one still to be launched
  // is terminated by its worker as soon as it exists. False, and nothing changes, when the start
  // is not live or the system refuses the termination.
  [[nodiscard]] bool Stop();
  // A later start takes over: ends the child like Stop, whatever the termination's outcome (a
  // child that cannot be terminated has ended already), and the end is reported by the taker.
  void Supersede();

  // The launching worker keeps its child here; a child whose start was ended meanwhile is
  // terminated at once.
  void Attach(std::shared_ptr<ChildProcess> child);
  // The launching worker is done: the child has ended and is closed, or never existed.
  void MarkGone() { gone_ = true; }

  // Posts `code` on the connection's stream and remembers it.
  void Post(int32_t code);
  // Remembers `code` as posted for this connection by another function.
  void NoteSent(int32_t code);
  bool HasSent(int32_t code) const;
  // The code posted last, or 0.
  int32_t LastEvent() const { return last_event_; }

 private:
  const EventStream stream_;
  std::shared_ptr<ChildProcess> child_;
  bool ended_by_program_ = false;
  bool gone_ = false;
  std::bitset<64> sent_;  // by code; every code of both streams is below 64
  int32_t last_event_ = 0;
};

}  // namespace vpn

#endif  // QUORVANTA_VPN_CONNECTION_H_
