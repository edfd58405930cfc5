#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/scoped_win32.h"

// The resources are read back from the built program, without running it.
namespace shell_testing {
namespace {

using testing::HasSubstr;

// The little-endian unsigned number of `size` bytes at `offset`.
uint32_t Number(const std::string& bytes, size_t offset, size_t size) {
  uint32_t value = 0;
  for (size_t index = size; index-- > 0;) {
    value = (value << 8) | static_cast<uint8_t>(bytes.at(offset + index));
  }
  return value;
}

class ResourcesTest : public testing::Test {
 protected:
  // The program, whose copy lies beside this test program.
  static std::wstring ProgramPath() {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return path.substr(0, path.find_last_of(L"\\/") + 1) + L"" PROGRAM_FILE_NAME;
  }

  // The bytes of resource `id` of `type`; empty when there is none.
  std::string Resource(LPCWSTR type, int id) const {
    HRSRC found = FindResourceW(module_.Get(), MAKEINTRESOURCEW(id), type);
    if (found == nullptr) return "";
    const void* bytes = LockResource(LoadResource(module_.Get(), found));
    return std::string(static_cast<const char*>(bytes), SizeofResource(module_.Get(), found));
  }

  const std::wstring path_ = ProgramPath();
  const base::ScopedLibrary module_{LoadLibraryExW(
      path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)};
};

TEST_F(ResourcesTest, ManifestRequestsAdministratorAndPerMonitorAwareness) {
  const std::string manifest = Resource(RT_MANIFEST, 1);
  EXPECT_THAT(manifest, HasSubstr("<requestedExecutionLevel level=\"requireAdministrator\" "
                                  "uiAccess=\"false\"/>"));
  EXPECT_THAT(manifest, HasSubstr(">PerMonitorV2</dpiAwareness>"));
}

TEST_F(ResourcesTest, IconGroupHoldsSixThirtyTwoBitImagesWithAPngForTheLargest) {
  // The group: a 6-byte header whose last field is the count, then a 14-byte entry per image.
  const std::string group = Resource(RT_GROUP_ICON, 101);
  const uint32_t sizes[] = {256, 128, 64, 48, 32, 16};
  ASSERT_EQ(group.size(), 6 + std::size(sizes) * 14);
  ASSERT_EQ(Number(group, 4, 2), std::size(sizes));
  for (size_t index = 0; index < std::size(sizes); ++index) {
    const uint32_t size = sizes[index];
    SCOPED_TRACE(size);
    const size_t entry = 6 + index * 14;
    // A declared width or height of 0 stands for 256.
    EXPECT_EQ(Number(group, entry, 1), size % 256);
    EXPECT_EQ(Number(group, entry + 1, 1), size % 256);
    EXPECT_EQ(Number(group, entry + 6, 2), 32u);
    const std::string image = Resource(RT_ICON, Number(group, entry + 12, 2));
    ASSERT_GE(image.size(), 40u);
    if (size == 256) {
      EXPECT_EQ(image.substr(0, 8), "\x89PNG\r\n\x1A\n");
    } else {
      // A bitmap header; its height counts the colour rows and the mask rows.
      EXPECT_EQ(Number(image, 4, 4), size);
      EXPECT_EQ(Number(image, 8, 4), 2 * size);
      EXPECT_EQ(Number(image, 14, 2), 32u);
    }
  }
}

TEST_F(ResourcesTest, VersionRecordNamesTheProductAndItsVersion) {
  DWORD ignored = 0;
  std::vector<uint8_t> data(GetFileVersionInfoSizeW(path_.c_str(), &ignored));
  ASSERT_FALSE(data.empty());
  ASSERT_TRUE(GetFileVersionInfoW(path_.c_str(), 0, static_cast<DWORD>(data.size()), data.data()));
  void* value = nullptr;
  UINT length = 0;

  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", &value, &length));
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
  // 2.5.2.111, most significant field in the high word, for the file and the product.
  EXPECT_EQ((std::array{fixed->dwFileVersionMS, fixed->dwFileVersionLS, fixed->dwProductVersionMS,
                        fixed->dwProductVersionLS}),
            (std::array<DWORD, 4>{0x00020005, 0x0002006F, 0x00020005, 0x0002006F}));
  // US English with code page 1252.
  for (const auto& [name, expected] : {std::pair{L"FileVersion", L"2.5.2+111"},
                                       {L"ProductVersion", L"2.5.2+111"},
                                       {L"ProductName", L"Quorvanta"},
                                       {L"CompanyName", L"Belstromadyn"}}) {
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904e4\\") + name;
    ASSERT_TRUE(VerQueryValueW(data.data(), query.c_str(), &value, &length));
    EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(value)), expected);
  }
}

}  // namespace
}  // namespace shell_testing
