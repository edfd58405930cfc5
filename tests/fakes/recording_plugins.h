#ifndef QUORVANTA_TESTS_FAKES_RECORDING_PLUGINS_H_
#define QUORVANTA_TESTS_FAKES_RECORDING_PLUGINS_H_

#include <string>
#include <vector>

#include "shell/embedder/embedder_api.h"

namespace testing_fakes {

// One call of a plugin library's registration function.
struct PluginRegistration {
  std::string function;
  FlutterDesktopPluginRegistrarRef registrar = nullptr;
};

// Stands in for the eight plugin libraries: defines their registration functions, which record
// every call in order. UI thread only.
std::vector<PluginRegistration> PluginRegistrations();
void ClearPluginRegistrations();

}  // namespace testing_fakes

#endif  // QUORVANTA_TESTS_FAKES_RECORDING_PLUGINS_H_
