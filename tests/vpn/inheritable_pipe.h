#ifndef QUORVANTA_TESTS_VPN_INHERITABLE_PIPE_H_
#define QUORVANTA_TESTS_VPN_INHERITABLE_PIPE_H_

#include <chrono>

#include "vpn/child_process.h"

namespace vpn_testing {

// A pipe whose ends any child could inherit, as handles that other parts of the program (the
// embedder, a plugin) hold may be: it tells whether a launched child got a copy of its write end.
class InheritablePipe {
 public:
  InheritablePipe();

  // Closes this process's copy of the write end.
  void CloseWriteEnd() { write_end_.Reset(); }
  // Whether every copy of the write end is closed, waiting up to `timeout` for it.
  [[nodiscard]] bool WriterGone(std::chrono::milliseconds timeout) const;

 private:
  vpn::PipeEnd read_end_;
  vpn::PipeEnd write_end_;
};

}  // namespace vpn_testing

#endif  // QUORVANTA_TESTS_VPN_INHERITABLE_PIPE_H_
