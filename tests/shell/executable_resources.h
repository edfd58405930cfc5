#ifndef QUORVANTA_TESTS_SHELL_EXECUTABLE_RESOURCES_H_
#define QUORVANTA_TESTS_SHELL_EXECUTABLE_RESOURCES_H_

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/scoped_win32.h"

namespace shell_testing {

// One image of an icon group: what the group's directory declares, and what the image data
// itself holds (a PNG stream or a device-independent bitmap).
struct IconImage {
  int declared_width = 0;
  int declared_height = 0;
  int declared_bit_count = 0;
  bool is_png = false;
  int width = 0;
  int height = 0;
  int bits_per_pixel = 0;
};

struct VersionRecord {
  // Most significant field first: 2, 5, 2, 111 for version 2.5.2.111.
  uint16_t file_version[4] = {};
  uint16_t product_version[4] = {};
  // Pairs of language and code page.
  std::vector<std::pair<uint16_t, uint16_t>> translations;
};

// Reads the resources of an executable file without running it.
class ExecutableResources {
 public:
  explicit ExecutableResources(const std::wstring& path);

  bool IsOpen() const { return module_.IsValid(); }

  // The text of the manifest that the system applies when it starts the executable.
  std::optional<std::string> Manifest() const;

  // The images of icon group `id`, in the group's order; empty when there is no such group.
  std::vector<IconImage> IconGroup(int id) const;

  std::optional<VersionRecord> Version() const;

  // The string `name` of the version record's string table `block` (such as "040904e4").
  std::optional<std::string> VersionString(const std::wstring& block,
                                           const std::wstring& name) const;

 private:
  std::optional<std::vector<uint8_t>> Resource(LPCWSTR type, LPCWSTR name) const;
  std::optional<std::vector<uint8_t>> VersionData() const;

  std::wstring path_;
  base::ScopedLibrary module_;
};

}  // namespace shell_testing

#endif  // QUORVANTA_TESTS_SHELL_EXECUTABLE_RESOURCES_H_
