// The real picture decoder behind LoadResourcePicture: the embedded header
// picture decodes, and what is no picture is refused without leaving its
// temporary file behind.
#include "backends/qt_widgets/picture_service.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "backends/common/embedded_resources.hpp"
#include "fakes/fake_platform.hpp"
#include "fakes/registry_test_helpers.hpp"
#include "support/runtime_error.hpp"
#include "wizard/frm_main.hpp"

namespace {
// The program's resources, and one more that is no picture.
class ResourcesWithABrokenOne : public EmbeddedResources {
 public:
  std::optional<std::vector<std::uint8_t>> LoadResource(const std::string& name, const std::string& type) override {
    if (name == "rid_broken") return std::vector<std::uint8_t>{0xFF, 0xD8, 0xFF, 0x00, 0x13};
    return EmbeddedResources::LoadResource(name, type);
  }
};

TEST(QtPictureTest, TheHeaderDecodesAndABrokenPictureGivesNothing) {
  TempDir temp;
  ResourcesWithABrokenOne resources;
  FakePlatform fake;
  QtPictureService pictures;
  fake.services.resources = &resources, fake.services.pictures = &pictures;
  fake.files.tempPath = temp.Path();
  frmMain form(fake.services, "updates.test");
  EXPECT_NE(form.Installed.LoadResourcePicture("rid_bitmap"), nullptr);  // its size and colours: the window test's
  EXPECT_EQ(form.Installed.LoadResourcePicture("rid_broken"), nullptr);
  ASSERT_EQ(fake.files.tempFilesMade.size(), 3u) << "the header once, the broken picture twice";
  EXPECT_EQ(fake.files.tempFilesMade[0].rfind(temp.Path() + "qvm", 0), 0u);
  EXPECT_TRUE(std::filesystem::is_empty(temp.Native())) << "the temporary files are gone";
  // The decoder itself raises 481 for what is no picture.
  WriteFileBytes(temp.File("text.jpg"), "just text");
  for (const std::string& path : {temp.Path() + "text.jpg", temp.Path() + "missing.jpg", std::string("C:\\a.jpg")})
    EXPECT_EQ(ErrorOf([&] { pictures.LoadPicture(path); }), 481) << path;
}
}  // namespace
