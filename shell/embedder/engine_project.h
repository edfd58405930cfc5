#ifndef QUORVANTA_SHELL_EMBEDDER_ENGINE_PROJECT_H_
#define QUORVANTA_SHELL_EMBEDDER_ENGINE_PROJECT_H_

#include <string>
#include <vector>

namespace flutter {

// What the UI engine runs: where its assets, ICU data and compiled UI code lie, and the arguments
// its entry function receives. A plain copyable value.
class EngineProject {
 public:
  // The three paths are `base_path` with "\flutter_assets", "\icudtl.dat" and "\app.so" appended
  // as they are; relative paths are left for the engine to resolve.
  explicit EngineProject(const std::wstring& base_path);

  const std::wstring& assets_path() const { return assets_path_; }
  const std::wstring& icu_data_path() const { return icu_data_path_; }
  const std::wstring& aot_library_path() const { return aot_library_path_; }
  // UTF-8; empty for the UI code's default entry function.
  const std::string& entrypoint() const { return entrypoint_; }
  // UTF-8, in order.
  const std::vector<std::string>& entrypoint_arguments() const { return entrypoint_arguments_; }

  // Replaces the whole argument list.
  void SetEntrypointArguments(std::vector<std::string>&& arguments);

 private:
  std::wstring assets_path_;
  std::wstring icu_data_path_;
  std::wstring aot_library_path_;
  std::string entrypoint_;
  std::vector<std::string> entrypoint_arguments_;
};

}  // namespace flutter

#endif  // QUORVANTA_SHELL_EMBEDDER_ENGINE_PROJECT_H_
