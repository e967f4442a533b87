// The catalog's profile reader against the system's GetPrivateProfileStringA:
// files with the forms an update-information file can take, asked with the
// catalog's calls (default "", a buffer of 255), give the same answers.
#include <gtest/gtest.h>

#include "platform/common/profile_file_reader.hpp"
#include "platform/win32/win32_backends.hpp"
#include "platform/win32/win32_prelude.hpp"
#include "support/codepage.hpp"

namespace {

std::string Ask(IProfileReader& reader, const std::string& section, const std::string& key, const std::string& file) {
  std::string buffer(256, '\x7F');
  const std::uint32_t n = reader.GetPrivateProfileString(section, key, "", buffer.data(), 255, file);
  return std::to_string(n) + " " + buffer.substr(0, buffer.find('\0'));
}

TEST(ProfileDifferential, TheCatalogsReaderAnswersAsTheSystemDoes) {
  const std::string text =
      "; info\r\n[setup]\r\nsize=612\r\nurl = \"http://u.example/Setup.MSI\"\r\n[caf\xE9]\r\nk=v\r\n";
  const auto utf16 = Utf8ToUtf16LeBytes(AnsiToUtf8(text));
  const std::string files[] = {text,
                               "\xEF\xBB\xBF" + AnsiToUtf8(text),
                               "\xFF\xFE" + std::string(utf16.begin(), utf16.end()),
                               "[setup]\rsize=1\r",
                               "[ setup ]\n\x1A size = 'q' \n",
                               "[setup]\nsize=\"unbalanced\n",
                               "[setup]\nsize\n=empty key\nurl=" + std::string(300, 'v') + "\n",
                               "[setup]\nsize=1\n[SETUP]\nSIZE=2\nurl=3\n",
                               "[unclosed\nk=1\n[setup] trailing\nk=2\n;size=3\n",
                               std::string("[setup]\nsize=a\0b\n", 17)};
  Win32FileSystem files_system;
  Win32ProfileReader system;
  ProfileFileReader ours(files_system);
  int n = 0;
  for (const std::string& bytes : files) {
    // A new file each time: the system's reader keeps files it has read.
    const std::string file = files_system.GetTempPath() + "larkspire-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(++n) + ".ndf";
    files_system.WriteFile(file, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    for (const char* section : {"setup", "SETUP", "caf\xE9", "missing"})
      for (const char* key : {"size", "URL", "k", "", "missing"})
        EXPECT_EQ(Ask(ours, section, key, file), Ask(system, section, key, file))
            << "[" << section << "] " << key << " in file " << n;
    files_system.Kill(file);
  }
}

}  // namespace
