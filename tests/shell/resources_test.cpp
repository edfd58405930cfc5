#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "tests/shell/executable_resources.h"

namespace shell_testing {
namespace {

using testing::ElementsAre;
using testing::HasSubstr;
using testing::Optional;
using testing::Pair;

// The program, whose copy lies beside this test program.
std::wstring ExecutableUnderTest() {
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  path.resize(path.find_last_of(L"\\/") + 1);
  const std::string name = PROGRAM_FILE_NAME;
  return path + std::wstring(name.begin(), name.end());
}

class ResourcesTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(resources_.IsOpen()); }

  ExecutableResources resources_{ExecutableUnderTest()};
};

TEST_F(ResourcesTest, ManifestRequestsAdministratorAndPerMonitorAwareness) {
  const auto manifest = resources_.Manifest();
  ASSERT_TRUE(manifest.has_value());
  EXPECT_THAT(*manifest, HasSubstr("<requestedExecutionLevel level=\"requireAdministrator\" "
                                   "uiAccess=\"false\"/>"));
  EXPECT_THAT(*manifest, HasSubstr(">PerMonitorV2</dpiAwareness>"));
  for (const char* windows_version :
       {"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}) {
    EXPECT_THAT(*manifest, HasSubstr(std::string("<supportedOS Id=\"") + windows_version + "\"/>"));
  }
}

TEST_F(ResourcesTest, IconGroupHoldsSixThirtyTwoBitImagesWithAPngForTheLargest) {
  const std::vector<IconImage> images = resources_.IconGroup(101);
  ASSERT_EQ(images.size(), 6u);
  const int sizes[] = {256, 128, 64, 48, 32, 16};
  for (size_t index = 0; index < images.size(); ++index) {
    const IconImage& image = images[index];
    const int size = sizes[index];
    SCOPED_TRACE(size);
    EXPECT_EQ(image.declared_width, size);
    EXPECT_EQ(image.declared_height, size);
    EXPECT_EQ(image.declared_bit_count, 32);
    EXPECT_EQ(image.width, size);
    EXPECT_EQ(image.height, size);
    EXPECT_EQ(image.bits_per_pixel, 32);
    EXPECT_EQ(image.is_png, size == 256);
  }
}

TEST_F(ResourcesTest, VersionRecordNamesTheProductAndItsVersion) {
  const auto version = resources_.Version();
  ASSERT_TRUE(version.has_value());
  EXPECT_THAT(version->file_version, ElementsAre(2, 5, 2, 111));
  EXPECT_THAT(version->product_version, ElementsAre(2, 5, 2, 111));
  EXPECT_THAT(version->translations, ElementsAre(Pair(0x0409, 1252)));

  const std::wstring block = L"040904e4";
  EXPECT_THAT(resources_.VersionString(block, L"FileVersion"), Optional(std::string("2.5.2+111")));
  EXPECT_THAT(resources_.VersionString(block, L"ProductVersion"),
              Optional(std::string("2.5.2+111")));
  EXPECT_THAT(resources_.VersionString(block, L"ProductName"), Optional(std::string("Quorvanta")));
  EXPECT_THAT(resources_.VersionString(block, L"FileDescription"),
              Optional(std::string("Quorvanta")));
  EXPECT_THAT(resources_.VersionString(block, L"InternalName"), Optional(std::string("Quorvanta")));
  EXPECT_THAT(resources_.VersionString(block, L"CompanyName"),
              Optional(std::string("Belstromadyn")));
}

}  // namespace
}  // namespace shell_testing
