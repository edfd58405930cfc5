#ifndef QUORVANTA_TESTS_SUPPORT_ENVIRONMENT_H_
#define QUORVANTA_TESTS_SUPPORT_ENVIRONMENT_H_

#include <string>

namespace testing_support {

// Sets a variable of this process's environment, which children launched later inherit. On
// Windows this is the runtime's own call, as the program makes at start-up, which updates the
// environment that CreateProcessW hands down as well. Call it while no other thread reads the
// environment.
void SetEnvironmentEntry(const std::string& name, const std::string& value);

}  // namespace testing_support

#endif  // QUORVANTA_TESTS_SUPPORT_ENVIRONMENT_H_
