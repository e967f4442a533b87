// LoadResourcePicture: the header picture goes through a temporary "qvm"
// file that never outlives the call, and a failure counter that makes the
// wizard give up on a picture it cannot load.
#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "fakes/fake_platform.hpp"
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

class LoadResourcePictureTest : public ::testing::Test {
 protected:
  void SetUp() override { fake_.files.tempPath = temp_.Path(); }

  FakePlatform fake_;
  TempDir temp_;
  frmMain form_{fake_.Services(), "updates.test"};
};

TEST_F(LoadResourcePictureTest, LoadsTheHeaderPictureThroughATemporaryFile) {
  const auto picture = form_.Installed.LoadResourcePicture("rid_bitmap");
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->Width(), 501);
  EXPECT_EQ(picture->Height(), 67);

  ASSERT_EQ(fake_.files.tempFilesMade.size(), 1u);
  const std::string made = fake_.files.tempFilesMade[0];
  EXPECT_EQ(made.rfind(temp_.Path() + "qvm", 0), 0u) << made;
  EXPECT_EQ(fake_.pictures.loadedPaths, fake_.files.tempFilesMade) << "the picture came from that file";
  EXPECT_TRUE(FilesIn(temp_.Native()).empty()) << "and the file is gone";
}

TEST_F(LoadResourcePictureTest, ResourceNamesMatchWithoutCase) {
  const auto picture = form_.Installed.LoadResourcePicture("RID_Bitmap");
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->Width(), 501);
}

TEST_F(LoadResourcePictureTest, ADecodingFailureIsTriedOnceMoreAndLeavesNoFile) {
  fake_.pictures.fail = true;
  EXPECT_EQ(form_.Installed.LoadResourcePicture("rid_bitmap"), nullptr);
  EXPECT_EQ(fake_.pictures.loadedPaths.size(), 2u);
  EXPECT_EQ(fake_.files.tempFilesMade.size(), 2u);
  EXPECT_TRUE(FilesIn(temp_.Native()).empty()) << "each temporary file was removed";
}

TEST_F(LoadResourcePictureTest, AfterTwoFailuresALaterCallGivesUpAtItsFirst) {
  fake_.pictures.fail = true;
  EXPECT_EQ(form_.Installed.LoadResourcePicture("rid_bitmap"), nullptr);
  ASSERT_EQ(fake_.pictures.loadedPaths.size(), 2u);
  EXPECT_EQ(form_.Installed.LoadResourcePicture("rid_bitmap"), nullptr);
  EXPECT_EQ(fake_.pictures.loadedPaths.size(), 3u) << "one attempt only";
  EXPECT_TRUE(FilesIn(temp_.Native()).empty());

  fake_.pictures.fail = false;
  EXPECT_NE(form_.Installed.LoadResourcePicture("rid_bitmap"), nullptr) << "a first attempt that works still counts";
}

TEST_F(LoadResourcePictureTest, ASuccessStartsTheCountAgain) {
  fake_.pictures.failNext = 1;
  ASSERT_NE(form_.Installed.LoadResourcePicture("rid_bitmap"), nullptr) << "the second attempt works";
  EXPECT_EQ(fake_.pictures.loadedPaths.size(), 2u);

  fake_.pictures.failNext = 1;
  EXPECT_NE(form_.Installed.LoadResourcePicture("rid_bitmap"), nullptr) << "again one failure and a retry";
  EXPECT_EQ(fake_.pictures.loadedPaths.size(), 4u);
  EXPECT_TRUE(FilesIn(temp_.Native()).empty());
}

TEST_F(LoadResourcePictureTest, ATemporaryFolderThatCannotBeUsedTwiceGivesNoPicture) {
  fake_.files.failTempFileName = true;
  EXPECT_EQ(form_.Installed.LoadResourcePicture("rid_bitmap"), nullptr);
  EXPECT_TRUE(fake_.pictures.loadedPaths.empty());

  fake_.files.failTempFileName = false;
  fake_.pictures.fail = true;
  EXPECT_EQ(form_.Installed.LoadResourcePicture("rid_bitmap"), nullptr);
  EXPECT_EQ(fake_.pictures.loadedPaths.size(), 1u) << "the later call gives up after its first failure";
}

TEST_F(LoadResourcePictureTest, AMissingTemporaryFolderGivesNoPicture) {
  fake_.files.tempPath = temp_.Path() + "missing\\";
  EXPECT_EQ(form_.Installed.LoadResourcePicture("rid_bitmap"), nullptr);
  EXPECT_TRUE(fake_.files.tempFilesMade.empty());
  EXPECT_TRUE(fake_.pictures.loadedPaths.empty());
}

TEST_F(LoadResourcePictureTest, WithoutATemporaryFolderTheCurrentOneIsUsed) {
  char previous[4096];
  ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(chdir(temp_.Native().c_str()), 0);
  fake_.files.failTempPath = true;
  const auto picture = form_.Installed.LoadResourcePicture("rid_bitmap");
  ASSERT_EQ(chdir(previous), 0);

  ASSERT_NE(picture, nullptr);
  ASSERT_EQ(fake_.files.tempFilesMade.size(), 1u);
  EXPECT_EQ(fake_.files.tempFilesMade[0].rfind(".\\qvm", 0), 0u) << fake_.files.tempFilesMade[0];
  EXPECT_TRUE(FilesIn(temp_.Native()).empty());
}

TEST_F(LoadResourcePictureTest, AResourceThatIsNotThereGivesNoPictureAndNoFile) {
  EXPECT_EQ(form_.Installed.LoadResourcePicture("rid_nothing"), nullptr);
  EXPECT_EQ(fake_.files.tempFilesMade.size(), 2u);
  EXPECT_TRUE(fake_.pictures.loadedPaths.empty());
  EXPECT_TRUE(FilesIn(temp_.Native()).empty());
}

TEST_F(LoadResourcePictureTest, OnlyCustomResourcesAreLoaded) {
  EXPECT_EQ(form_.Installed.LoadResourcePicture("rid_icon"), nullptr) << "the icon is of another type";
  EXPECT_TRUE(FilesIn(temp_.Native()).empty());
}

TEST(EmbeddedResources, HoldTheProgramsArtwork) {
  EmbeddedResources resources;
  const auto header = resources.LoadResource("rid_bitmap", "CUSTOM");
  ASSERT_TRUE(header.has_value());
  ASSERT_GT(header->size(), 4u);
  EXPECT_EQ((*header)[0], 0xFF) << "a JPEG";
  EXPECT_EQ((*header)[1], 0xD8);
  EXPECT_EQ(resources.LoadResource("RID_BITMAP", "custom"), header);
  EXPECT_TRUE(resources.LoadResource("rid_icon", "ICON").has_value());
  EXPECT_TRUE(resources.LoadResource("rid_error", "BITMAP").has_value());
  EXPECT_FALSE(resources.LoadResource("rid_bitmap", "BITMAP").has_value());
  EXPECT_FALSE(resources.LoadResource("rid_missing", "CUSTOM").has_value());
}

}  // namespace
