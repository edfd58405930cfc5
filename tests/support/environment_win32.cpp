#include <stdlib.h>

#include "tests/support/environment.h"

namespace testing_support {

void SetEnvironmentEntry(const std::string& name, const std::string& value) {
  _putenv_s(name.c_str(), value.c_str());
}

}  // namespace testing_support
