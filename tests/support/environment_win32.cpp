#include <stdlib.h>

#include "tests/support/environment.h"

namespace testing_support {

// The runtime's own call, as the program uses at start-up: it updates the process environment
// that CreateProcessW hands to children as well.
void SetEnvironmentEntry(const std::string& name, const std::string& value) {
  _putenv_s(name.c_str(), value.c_str());
}

}  // namespace testing_support
