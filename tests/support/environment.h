#ifndef QUORVANTA_TESTS_SUPPORT_ENVIRONMENT_H_
#define QUORVANTA_TESTS_SUPPORT_ENVIRONMENT_H_

#include <string>

namespace testing_support {

// Sets a variable of this process's environment, which children launched later inherit. Call it
// while no other thread reads the environment.
void SetEnvironmentEntry(const std::string& name, const std::string& value);

}  // namespace testing_support

#endif  // QUORVANTA_TESTS_SUPPORT_ENVIRONMENT_H_
