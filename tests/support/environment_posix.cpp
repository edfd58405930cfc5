#include <stdlib.h>

#include "tests/support/environment.h"

namespace testing_support {

void SetEnvironmentEntry(const std::string& name, const std::string& value) {
  setenv(name.c_str(), value.c_str(), 1);
}

}  // namespace testing_support
