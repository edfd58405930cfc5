#include <poll.h>
#include <unistd.h>

#include "tests/vpn/inheritable_pipe.h"

namespace vpn_testing {

InheritablePipe::InheritablePipe() {
  int ends[2];
  if (pipe(ends) == 0) {  // without close-on-exec
    read_end_.Reset(ends[0]);
    write_end_.Reset(ends[1]);
  }
}

bool InheritablePipe::WriterGone(std::chrono::milliseconds timeout) const {
  pollfd reader{read_end_.Get(), POLLIN, 0};
  return poll(&reader, 1, static_cast<int>(timeout.count())) == 1 && (reader.revents & POLLHUP);
}

}  // namespace vpn_testing
