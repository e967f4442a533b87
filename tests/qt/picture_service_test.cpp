// The real picture decoder behind LoadResourcePicture: the embedded header
// picture comes out at its design size, and what is no picture is refused
// without leaving its temporary file behind.
#include <dirent.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/fake_platform.hpp"
#include "platform/qt/qt_services.hpp"
#include "support/runtime_error.hpp"
#include "wizard/frm_main.hpp"

namespace {

std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.emplace_back(e->d_name);
    closedir(d);
  }
  return names;
}

// The program's resources, and one more that is no picture.
class ResourcesWithABrokenOne : public IResources {
 public:
  std::optional<std::vector<std::uint8_t>> LoadResource(const std::string& name, const std::string& type) override {
    if (name == "rid_broken" && type == "CUSTOM") return std::vector<std::uint8_t>{0xFF, 0xD8, 0xFF, 0x00, 0x13};
    return embedded_.LoadResource(name, type);
  }

 private:
  EmbeddedResources embedded_;
};

class QtPictureTest : public ::testing::Test {
 protected:
  void SetUp() override { fake_.files.tempPath = temp_.Path(); }

  TempDir temp_;
  QtPictureService pictures_;
  ResourcesWithABrokenOne resources_;
  FakePlatform fake_{{.resources = &resources_, .pictures = &pictures_}};
  Platform services_ = fake_.Services();
};

TEST_F(QtPictureTest, TheHeaderPictureDecodesAt501By67) {
  frmMain form(services_, "updates.test");
  const auto picture = form.Installed.LoadResourcePicture("rid_bitmap");
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->Width(), 501);
  EXPECT_EQ(picture->Height(), 67);
  const auto* qt = dynamic_cast<const QtPicture*>(picture.get());
  ASSERT_NE(qt, nullptr);
  EXPECT_FALSE(qt->Image().isNull());
  EXPECT_TRUE(FilesIn(temp_.Native()).empty()) << "the temporary qvm file is gone";
  ASSERT_EQ(fake_.files.tempFilesMade.size(), 1u);
  EXPECT_EQ(fake_.files.tempFilesMade[0].rfind(temp_.Path() + "qvm", 0), 0u);
}

TEST_F(QtPictureTest, ABrokenPictureGivesNothingAndLeavesNoFile) {
  frmMain form(services_, "updates.test");
  EXPECT_EQ(form.Installed.LoadResourcePicture("rid_broken"), nullptr);
  EXPECT_EQ(fake_.files.tempFilesMade.size(), 2u) << "tried twice";
  EXPECT_TRUE(FilesIn(temp_.Native()).empty());
}

TEST_F(QtPictureTest, TheDecoderRaises481ForWhatIsNoPicture) {
  WriteFileBytes(temp_.File("text.jpg"), "just text");
  for (const std::string& path : {temp_.Path() + "text.jpg", temp_.Path() + "missing.jpg", std::string("C:\\a.jpg")}) {
    try {
      pictures_.LoadPicture(path);
      ADD_FAILURE() << path << " decoded";
    } catch (const RuntimeError& e) {
      EXPECT_EQ(e.Number(), 481) << path;
    }
  }
}

}  // namespace
