// The header picture goes through a temporary "qvm" file that never
// outlives the call, and a failure count that makes the wizard give up on a
// picture it cannot load.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "fakes/fake_platform.hpp"
#include "wizard/frm_main.hpp"

namespace {
struct Loader {
  FakePlatform fake;
  TempDir temp;
  frmMain form{fake.Services(), "updates.test"};
  Loader() { fake.files.tempPath = temp.Path(); }
  // The picture's size or "none", after the count of decodings so far.
  std::string Load(const char* name = "rid_bitmap") {
    const auto picture = form.Installed.LoadResourcePicture(name);
    EXPECT_TRUE(std::filesystem::is_empty(temp.Native())) << "a temporary file was left";
    return std::to_string(fake.pictures.loadedPaths.size()) + " " +
           (picture ? std::to_string(picture->Width()) + "x" + std::to_string(picture->Height()) : "none");
  }
};

TEST(LoadResourcePicture, TriesTwiceThenOnceUntilALoadWorks) {
  Loader l;
  EXPECT_EQ(l.Load("RID_Bitmap"), "1 501x67");
  ASSERT_EQ(l.fake.files.tempFilesMade.size(), 1u);
  EXPECT_TRUE(l.fake.files.tempFilesMade[0].starts_with(l.temp.Path() + "qvm"));
  EXPECT_EQ(l.fake.pictures.loadedPaths, l.fake.files.tempFilesMade);
  l.fake.pictures.fail = true;
  EXPECT_EQ(l.Load(), "3 none");
  EXPECT_EQ(l.Load(), "4 none");
  l.fake.pictures.fail = false;
  EXPECT_EQ(l.Load(), "5 501x67");
  l.fake.pictures.failNext = 1;
  EXPECT_EQ(l.Load(), "7 501x67") << "the success started the count again";
  EXPECT_EQ(l.Load("rid_nothing"), "7 none");
  EXPECT_EQ(l.fake.files.tempFilesMade.size(), 9u);
  EXPECT_EQ(l.Load("rid_icon"), "7 none") << "only the program's own resources";
}

TEST(LoadResourcePicture, TheTemporaryFolder) {
  Loader noName, missing, none;
  noName.fake.files.failTempFileName = true;
  EXPECT_EQ(noName.Load(), "0 none");
  missing.fake.files.tempPath = missing.temp.Path() + "missing\\";
  EXPECT_EQ(missing.Load(), "0 none");
  // Without a temporary folder the current one is used.
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(none.temp.Native());
  none.fake.files.failTempPath = true;
  EXPECT_EQ(none.Load(), "1 501x67");
  std::filesystem::current_path(previous);
  EXPECT_TRUE(none.fake.files.tempFilesMade[0].starts_with(".\\qvm")) << none.fake.files.tempFilesMade[0];
}
}  // namespace
