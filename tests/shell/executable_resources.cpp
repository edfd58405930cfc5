#include "tests/shell/executable_resources.h"

#include <cstring>

#include "shell/wide_to_utf8.h"

namespace shell_testing {
namespace {

#pragma pack(push, 2)
// The directory of an icon group resource and its entries.
struct GroupIconDirectory {
  uint16_t reserved;
  uint16_t type;
  uint16_t count;
};
struct GroupIconEntry {
  uint8_t width;
  uint8_t height;
  uint8_t color_count;
  uint8_t reserved;
  uint16_t planes;
  uint16_t bit_count;
  uint32_t bytes_in_resource;
  uint16_t id;
};
#pragma pack(pop)

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

uint32_t BigEndian32(const uint8_t* bytes) {
  return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
         uint32_t{bytes[3]};
}

// Fills in what the image data says about itself.
void ReadImageHeader(const std::vector<uint8_t>& data, IconImage* image) {
  // Signature, then the IHDR chunk: length, type, width, height, bit depth, colour type.
  if (data.size() >= 8 + 8 + 10 && std::memcmp(data.data(), kPngSignature, 8) == 0) {
    image->is_png = true;
    const uint8_t* header = data.data() + 16;
    image->width = static_cast<int>(BigEndian32(header));
    image->height = static_cast<int>(BigEndian32(header + 4));
    const int bit_depth = header[8];
    const int colour_type = header[9];
    const int channels = colour_type == 6 ? 4 : colour_type == 2 ? 3 : colour_type == 4 ? 2 : 1;
    image->bits_per_pixel = bit_depth * channels;
    return;
  }
  BITMAPINFOHEADER bitmap{};
  if (data.size() >= sizeof(bitmap)) {
    std::memcpy(&bitmap, data.data(), sizeof(bitmap));
    image->width = bitmap.biWidth;
    // The height counts the colour and the mask rows.
    image->height = bitmap.biHeight / 2;
    image->bits_per_pixel = bitmap.biBitCount;
  }
}

}  // namespace

ExecutableResources::ExecutableResources(const std::wstring& path)
    : path_(path),
      module_(LoadLibraryExW(path.c_str(), nullptr,
                             LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}

std::optional<std::vector<uint8_t>> ExecutableResources::Resource(LPCWSTR type,
                                                                  LPCWSTR name) const {
  HRSRC found = FindResourceW(module_.Get(), name, type);
  if (found == nullptr) {
    return std::nullopt;
  }
  HGLOBAL loaded = LoadResource(module_.Get(), found);
  const auto* bytes = static_cast<const uint8_t*>(LockResource(loaded));
  if (bytes == nullptr) {
    return std::nullopt;
  }
  return std::vector<uint8_t>(bytes, bytes + SizeofResource(module_.Get(), found));
}

std::optional<std::string> ExecutableResources::Manifest() const {
  const auto data = Resource(RT_MANIFEST, MAKEINTRESOURCEW(1));
  if (!data.has_value()) {
    return std::nullopt;
  }
  return std::string(data->begin(), data->end());
}

std::vector<IconImage> ExecutableResources::IconGroup(int id) const {
  std::vector<IconImage> images;
  const auto group = Resource(RT_GROUP_ICON, MAKEINTRESOURCEW(id));
  if (!group.has_value() || group->size() < sizeof(GroupIconDirectory)) {
    return images;
  }
  GroupIconDirectory directory{};
  std::memcpy(&directory, group->data(), sizeof(directory));
  if (group->size() < sizeof(directory) + directory.count * sizeof(GroupIconEntry)) {
    return images;
  }
  for (uint16_t index = 0; index < directory.count; ++index) {
    GroupIconEntry entry{};
    std::memcpy(&entry, group->data() + sizeof(directory) + index * sizeof(GroupIconEntry),
                sizeof(entry));
    IconImage image;
    // 0 stands for 256.
    image.declared_width = entry.width == 0 ? 256 : entry.width;
    image.declared_height = entry.height == 0 ? 256 : entry.height;
    image.declared_bit_count = entry.bit_count;
    if (const auto data = Resource(RT_ICON, MAKEINTRESOURCEW(entry.id))) {
      ReadImageHeader(*data, &image);
    }
    images.push_back(image);
  }
  return images;
}

std::optional<std::vector<uint8_t>> ExecutableResources::VersionData() const {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path_.c_str(), &ignored);
  if (size == 0) {
    return std::nullopt;
  }
  std::vector<uint8_t> data(size);
  if (!GetFileVersionInfoW(path_.c_str(), 0, size, data.data())) {
    return std::nullopt;
  }
  return data;
}

std::optional<VersionRecord> ExecutableResources::Version() const {
  auto data = VersionData();
  if (!data.has_value()) {
    return std::nullopt;
  }
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(data->data(), L"\\", &value, &length) || length < sizeof(VS_FIXEDFILEINFO)) {
    return std::nullopt;
  }
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
  VersionRecord record;
  const DWORD file[2] = {fixed->dwFileVersionMS, fixed->dwFileVersionLS};
  const DWORD product[2] = {fixed->dwProductVersionMS, fixed->dwProductVersionLS};
  for (int half = 0; half < 2; ++half) {
    record.file_version[half * 2] = HIWORD(file[half]);
    record.file_version[half * 2 + 1] = LOWORD(file[half]);
    record.product_version[half * 2] = HIWORD(product[half]);
    record.product_version[half * 2 + 1] = LOWORD(product[half]);
  }
  if (VerQueryValueW(data->data(), L"\\VarFileInfo\\Translation", &value, &length)) {
    const auto* pairs = static_cast<const WORD*>(value);
    for (UINT index = 0; index + 1 < length / sizeof(WORD); index += 2) {
      record.translations.emplace_back(pairs[index], pairs[index + 1]);
    }
  }
  return record;
}

std::optional<std::string> ExecutableResources::VersionString(const std::wstring& block,
                                                              const std::wstring& name) const {
  auto data = VersionData();
  if (!data.has_value()) {
    return std::nullopt;
  }
  const std::wstring query = L"\\StringFileInfo\\" + block + L"\\" + name;
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(data->data(), query.c_str(), &value, &length)) {
    return std::nullopt;
  }
  return WideToUtf8(static_cast<const wchar_t*>(value));
}

}  // namespace shell_testing
