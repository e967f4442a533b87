// Any bytes given as the downloaded update-information file: the catalog
// reading never crashes, ends in one of the four results, reads only the
// seven catalog sections and lists at most their six components.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "catalog/catalog_reading.hpp"
#include "catalog/catalog_rules.hpp"
#include "platform/common/profile_file_reader.hpp"
#include "support/codepage.hpp"
#include "support/runtime_error.hpp"

namespace {
// One file held in memory; everything else is missing.
class OneFile : public IFileSystem {
 public:
  explicit OneFile(std::string_view bytes) : bytes_(bytes) {}
  std::string GetTempPath() override { return ""; }
  std::string GetTempFileName(const std::string&, const std::string&) override { return ""; }
  std::unique_ptr<IFileReader> OpenRead(const std::string& path) override {
    if (path != "updchk.ndf") RaiseError(ErrNo::FileNotFound);
    return std::make_unique<Reader>(bytes_);
  }
  void WriteFile(const std::string&, const std::vector<std::uint8_t>&) override { RaiseError(ErrNo::PermissionDenied); }
  std::int32_t GetAttr(const std::string&) override { RaiseError(ErrNo::FileNotFound); }
  void SetAttr(const std::string&, std::int32_t) override { RaiseError(ErrNo::FileNotFound); }
  void Kill(const std::string&) override { RaiseError(ErrNo::FileNotFound); }
  void FileCopy(const std::string&, const std::string&) override { RaiseError(ErrNo::FileNotFound); }
  std::string CurDir() override { return ""; }
  std::string NativePath(const std::string& path) override { return path; }

 private:
  class Reader : public IFileReader {
   public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}
    std::int64_t Length() const override { return static_cast<std::int64_t>(bytes_.size()); }
    std::size_t Read(std::uint8_t* buffer, std::size_t n) override {
      n = std::min(n, bytes_.size() - at_);
      std::memcpy(buffer, bytes_.data() + at_, n);
      at_ += n;
      return n;
    }

   private:
    std::string_view bytes_;
    std::size_t at_ = 0;
  };
  std::string_view bytes_;
};

bool IsCatalogSection(const std::string& s) {
  return std::find(ComponentKeys.begin(), ComponentKeys.end(), s) != ComponentKeys.end();
}

void Check(bool ok) {
  if (!ok) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  OneFile files(bytes);
  ProfileFileReader reader(files);
  const std::string installed[] = {"", "3.02.0012", "0", "1.00.0001", "0", "0", "0"};

  const CatalogReading reading = EvaluateCatalog(
      [&](const std::string& section, const std::string& key) {
        Check(IsCatalogSection(section));
        char buffer[255];
        const std::uint32_t n = reader.GetPrivateProfileString(section, key, "", buffer, 255, "updchk.ndf");
        Check(n < 255 && buffer[n] == '\0');
        return AnsiToUtf8(std::string_view(buffer, n));
      },
      static_cast<std::int64_t>(size),
      [&](int row, std::string& version) {
        Check(row >= 1 && row <= 6);
        return IsNewerVersion(installed[row], version);
      });

  Check(reading.result >= crError && reading.result <= crNotAvailable);
  Check(reading.components.size() <= ComponentKeys.size() - 1);
  Check((reading.result == crUpdatesAvailable) == !reading.components.empty());
  if (reading.result == crUpdatesAvailable || reading.result == crUpToDate) {
    std::string url = reading.setupUrl, crc = reading.setupCrc;
    Check(CheckUrl(url) && url == reading.setupUrl);
    Check(CheckCrcText(crc) && crc == reading.setupCrc);
  }
  return 0;
}
