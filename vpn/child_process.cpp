#include "vpn/child_process.h"

namespace vpn {

bool ChildPipes::IsComplete() const {
  return inputRead.IsValid() && inputWrite.IsValid() && outputRead.IsValid() &&
         outputWrite.IsValid();
}

void ChildPipes::ReleaseChildEnds() {
  // Ours must go, or the read never sees the end of the child's output.
  inputRead.Reset();
  outputWrite.Reset();
}

}  // namespace vpn
