#include "shell/embedder/engine_project.h"

#include <utility>

namespace flutter {

EngineProject::EngineProject(const std::wstring& base_path)
    : assets_path_(base_path + L"\\flutter_assets"),
      icu_data_path_(base_path + L"\\icudtl.dat"),
      aot_library_path_(base_path + L"\\app.so") {}

void EngineProject::SetEntrypointArguments(std::vector<std::string>&& arguments) {
  entrypoint_arguments_ = std::move(arguments);
}

}  // namespace flutter
