// The pieces of the integrity check: names of the copy, the plain-name
// guard and the CRC of a file read in pieces.
#include "install/integrity.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "fakes/fake_platform.hpp"
#include "install/crc32.hpp"
#include "support/runtime_error.hpp"

namespace {
struct SplitCase {
  const char* path;
  const char* base;
  const char* ext;
};

TEST(SplitExtension, KnownAnswers) {
  const SplitCase cases[] = {
      {"setup.msi", "setup", "msi"},
      {"Z:\\app\\setup.msi", "Z:\\app\\setup", "msi"},
      {"archive.tar.gz", "archive.tar", "gz"},
      {"ends.", "ends", ""},
      // no point, or only one in the first position
      {"setup", "setup", ""},
      {".profile", ".profile", ""},
      {"", "", ""},
      // the search does not stop at a folder separator
      {"Z:\\app.d\\setup", "Z:\\app", "d\\setup"},
      {"a.", "a", ""},
      {"..", ".", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplitExtension(c.path, false), c.base) << c.path;
    EXPECT_EQ(SplitExtension(c.path, true), c.ext) << c.path;
  }
}

TEST(IsPlainFileName, KnownAnswers) {
  for (const char* good : {"setup.msi", "setup", ".msi", "a b.exe", "caf\xC3\xA9.msi", "x..y"})
    EXPECT_TRUE(IsPlainFileName(good)) << good;
  for (const char* bad :
       {"", ".", "..", "...", " ", ". .", "a/b.msi", "b/", "..\\x.msi", "\\x.msi", "c:x.msi", "a\tb.msi", "a\nb"})
    EXPECT_FALSE(IsPlainFileName(bad)) << bad;
  EXPECT_TRUE(IsFileDirectlyIn("Z:\\app\\", "Z:\\app\\setup.msi"));
  EXPECT_FALSE(IsFileDirectlyIn("Z:\\app\\", "Z:\\app\\"));
  EXPECT_FALSE(IsFileDirectlyIn("Z:\\app\\", "Z:\\app\\sub\\setup.msi"));
  EXPECT_FALSE(IsFileDirectlyIn("Z:\\app\\", "Z:\\app0.d\\setup"));
  EXPECT_FALSE(IsFileDirectlyIn("Z:\\app", "Z:\\app\\setup.msi"));
  EXPECT_FALSE(IsFileDirectlyIn("Z:\\app\\", "Z:\\app\\.."));
}

class UniqueFileNameTest : public ::testing::Test {
 protected:
  TempDir dir;
  TestFileSystem files;
};

TEST_F(UniqueFileNameTest, TheFirstFreeVariant) {
  const std::string path = dir.Path() + "setup.msi";
  EXPECT_EQ(UniqueFileName(files, path), path);
  WriteFileBytes(dir.File("setup.msi"), "x");
  EXPECT_EQ(UniqueFileName(files, path), dir.Path() + "setup0.msi");
  WriteFileBytes(dir.File("setup0.msi"), "");
  EXPECT_EQ(UniqueFileName(files, path), dir.Path() + "setup1.msi");
  // a folder of the name is taken too
  std::filesystem::create_directory(dir.File("setup1.msi"));
  EXPECT_EQ(UniqueFileName(files, path), dir.Path() + "setup2.msi");
}

TEST_F(UniqueFileNameTest, NothingWhenAll32000VariantsAreTaken) {
  WriteFileBytes(dir.File("s.m"), "");
  for (int n = 0; n < 31999; ++n) WriteFileBytes(dir.File("s" + std::to_string(n) + ".m"), "");
  EXPECT_EQ(UniqueFileName(files, dir.Path() + "s.m"), dir.Path() + "s31999.m");
  WriteFileBytes(dir.File("s31999.m"), "");
  EXPECT_EQ(UniqueFileName(files, dir.Path() + "s.m"), "");
}

// A file system whose files are read in pieces no larger than asked, and
// which records the largest piece asked for.
class PieceRecorder : public TestFileSystem {
 public:
  std::size_t largestPiece = 0;
  std::size_t reads = 0;
  std::int64_t claimedExtra = 0;  // a length larger than the file's

  std::unique_ptr<IFileReader> OpenRead(const std::string& path) override {
    return std::make_unique<Reader>(*this, TestFileSystem::OpenRead(path));
  }

 private:
  class Reader : public IFileReader {
   public:
    Reader(PieceRecorder& owner, std::unique_ptr<IFileReader> inner) : owner_(owner), inner_(std::move(inner)) {}
    std::int64_t Length() const override { return inner_->Length() + owner_.claimedExtra; }
    std::size_t Read(std::uint8_t* buffer, std::size_t n) override {
      owner_.largestPiece = std::max(owner_.largestPiece, n);
      ++owner_.reads;
      return inner_->Read(buffer, std::min<std::size_t>(n, 1000));  // short reads, as pipes give
    }

   private:
    PieceRecorder& owner_;
    std::unique_ptr<IFileReader> inner_;
  };
};

TEST(FileCrc32, ReadsInPiecesAndMatchesTheWhole) {
  TempDir dir;
  PieceRecorder files;
  std::string bytes(3 * kCrcReadPiece + 12345, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 2654435761u) >> 13);
  WriteFileBytes(dir.File("pkg.msi"), bytes);
  EXPECT_EQ(FileCrc32(files, dir.Path() + "pkg.msi"), Crc32(bytes));
  EXPECT_LE(files.largestPiece, kCrcReadPiece);
  EXPECT_GT(files.reads, bytes.size() / kCrcReadPiece);
}

TEST(FileCrc32, EmptyMissingAndShortFiles) {
  TempDir dir;
  PieceRecorder files;
  WriteFileBytes(dir.File("empty"), "");
  EXPECT_EQ(FileCrc32(files, dir.Path() + "empty"), std::nullopt);
  EXPECT_EQ(files.reads, 0u);  // an empty file is not read
  WriteFileBytes(dir.File("nine"), "123456789");
  EXPECT_EQ(FileCrc32(files, dir.Path() + "nine"), 0xCBF43926u);
  EXPECT_THROW(FileCrc32(files, dir.Path() + "missing"), RuntimeError);
  // a file that ends before its length is a read failure, not a CRC
  files.claimedExtra = 1;
  EXPECT_THROW(FileCrc32(files, dir.Path() + "nine"), RuntimeError);
}
}  // namespace
