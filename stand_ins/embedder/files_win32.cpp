#include "stand_ins/embedder/files.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "base/utf_conversion.h"

namespace stand_in {
namespace {

Transcript::FileOwner Open(const std::string& path, const wchar_t* mode) {
  return Transcript::FileOwner(_wfopen(base::Utf8ToWide(path).c_str(), mode), &std::fclose);
}

bool CreateParentFolders(const std::string& path, std::string* error) {
  const std::filesystem::path target(base::Utf8ToWide(path));
  std::error_code failure;
  if (target.has_parent_path()) {
    std::filesystem::create_directories(target.parent_path(), failure);
  }
  if (failure) {
    *error = "cannot create its folder: " + failure.message();
    return false;
  }
  return true;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string* contents) {
  Transcript::FileOwner file = Open(path, L"rb");
  if (!file) return false;
  contents->clear();
  char buffer[4096];
  size_t count = 0;
  while ((count = std::fread(buffer, 1, sizeof(buffer), file.get())) > 0) {
    contents->append(buffer, count);
  }
  return std::ferror(file.get()) == 0;
}

bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes,
                    std::string* error) {
  if (!CreateParentFolders(path, error)) return false;
  Transcript::FileOwner file = Open(path, L"wb");
  if (!file) {
    *error = "cannot create the file";
    return false;
  }
  if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() ||
      std::fflush(file.get()) != 0) {
    *error = "cannot write the file";
    return false;
  }
  return true;
}

Transcript::FileOwner CreateTextFile(const std::string& path) {
  std::string ignored;
  if (!CreateParentFolders(path, &ignored)) return Transcript::FileOwner(nullptr, &std::fclose);
  return Open(path, L"wb");
}

}  // namespace stand_in
