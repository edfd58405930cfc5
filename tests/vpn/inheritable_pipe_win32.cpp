#include <windows.h>

#include "tests/vpn/vpn_test_fixture.h"

namespace vpn_testing {

void MakeInheritablePipe(vpn::PipeEnd& read_end, vpn::PipeEnd& write_end) {
  SECURITY_ATTRIBUTES attributes{};
  attributes.nLength = sizeof(attributes);
  attributes.bInheritHandle = TRUE;
  HANDLE read_handle = nullptr;
  HANDLE write_handle = nullptr;
  if (CreatePipe(&read_handle, &write_handle, &attributes, 0)) {
    read_end.Reset(read_handle);
    write_end.Reset(write_handle);
  }
}

}  // namespace vpn_testing
