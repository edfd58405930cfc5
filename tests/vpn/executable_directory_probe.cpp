#include "base/log.h"
#include "vpn/executable_directory.h"

// Prints the folder it runs from, as this program's code finds it.
int main() {
  logging::Write(logging::Stream::kOut, vpn::NativeToUtf8(vpn::ExecutableDirectory()));
  return 0;
}
