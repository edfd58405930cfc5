#ifndef QUORVANTA_TESTS_VPN_INHERITABLE_PIPE_H_
#define QUORVANTA_TESTS_VPN_INHERITABLE_PIPE_H_

#include "vpn/child_process.h"

namespace vpn_testing {

// A pipe whose ends every child launched from now on could inherit.
void MakeInheritablePipe(vpn::PipeEnd& read_end, vpn::PipeEnd& write_end);

}  // namespace vpn_testing

#endif  // QUORVANTA_TESTS_VPN_INHERITABLE_PIPE_H_
