#include "backends/win32/profile_reader.hpp"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "backends/win32/prelude.hpp"
#include "backends/win32/wide_text.hpp"
#include "support/codepage.hpp"
#include "support/diagnostics.hpp"

std::uint32_t Win32ProfileReader::GetPrivateProfileString(const std::string& section, const std::string& key,
                                                          const std::string& def, char* buffer, std::uint32_t size,
                                                          const std::string& fileName) {
  if (size == 0) return 0;
  // The file is named in UTF-16, so a temporary folder in any script is
  // read; the section, key and value cross in the catalog's single-byte
  // code page, as the reader's callers take them.
  std::wstring value(32768, L'\0');
  const DWORD n = ::GetPrivateProfileStringW(Widen(AnsiToUtf8(section)).c_str(), Widen(AnsiToUtf8(key)).c_str(),
                                             Widen(AnsiToUtf8(def)).c_str(), value.data(),
                                             static_cast<DWORD>(value.size()), Widen(fileName).c_str());
  value.resize(n);
  std::optional<std::string> single = Utf8ToAnsiExact(Narrow(value));
  if (!single) {
    // Never a silent "?" in its place: the value is not taken.
    LogFailure(LogArea::Catalog, "the value of " + AnsiToUtf8(key) + " in " + fileName +
                                     " has characters the catalog's code page cannot hold: it is not taken");
    single = def;
  }
  const std::size_t copied = std::min<std::size_t>(single->size(), size - 1);
  std::memcpy(buffer, single->data(), copied);
  buffer[copied] = '\0';
  return static_cast<std::uint32_t>(copied);
}
