#include <unistd.h>

#include "tests/vpn/vpn_test_fixture.h"

namespace vpn_testing {

void MakeInheritablePipe(vpn::PipeEnd& read_end, vpn::PipeEnd& write_end) {
  int ends[2];
  if (pipe(ends) == 0) {  // without close-on-exec
    read_end.Reset(ends[0]);
    write_end.Reset(ends[1]);
  }
}

}  // namespace vpn_testing
