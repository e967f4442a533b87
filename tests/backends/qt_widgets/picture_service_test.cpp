// The real picture decoder behind LoadResourcePicture: the embedded header
// picture decodes, and what is no picture is refused without leaving its
// temporary file behind.
#include "backends/qt_widgets/picture_service.hpp"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <filesystem>
#include <fstream>
#include <set>

#include "backends/common/embedded_resources.hpp"
#include "backends/qt_widgets/window/design.hpp"
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
  // A format its first bytes do not name is still found.
  ASSERT_TRUE(QImage(3, 2, QImage::Format_RGB32).save(QString::fromStdString(temp.Native() + "/a.tmp"), "PPM"));
  EXPECT_EQ(pictures.LoadPicture(temp.Path() + "a.tmp")->Height(), 2);
}

// The icon and the header picture are read by their own format's reader:
// asking every image plug-in would load each (run in a process of its own,
// where no picture was read before).
TEST(QtPictureTest, APictureWhoseBytesNameItsFormatLoadsNoOtherPlugin) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        EmbeddedResources resources;
        auto bytes = *resources.LoadResource("rid_bitmap", "CUSTOM");
        QByteArray header(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
        QBuffer device(&header);
        device.open(QIODevice::ReadOnly);
        const bool read = !ResourcePixmap(resources, "rid_icon", "ICON").isNull() && !ReadPicture(device).isNull();
        // The image plug-ins mapped: the JPEG reader's alone (so plug-ins are seen here).
        std::ifstream maps("/proc/self/maps");
        std::set<std::string> plugins;
        for (std::string line; std::getline(maps, line);)
          if (const auto at = line.find("/imageformats/"); at != std::string::npos)
            plugins.insert(line.substr(at + 14));
        std::exit(read && plugins == std::set<std::string>{"libqjpeg.so"} ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}
}  // namespace
