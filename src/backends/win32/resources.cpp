#include "backends/win32/resources.hpp"

#include <cstring>

#include "backends/win32/prelude.hpp"
#include "backends/win32/wide_text.hpp"

namespace {
// A bitmap resource is the file without its first 14 bytes: they are put
// back, pointing past the header, the colour table and any masks.
std::vector<std::uint8_t> BitmapFile(const std::uint8_t* dib, std::size_t size) {
  BITMAPINFOHEADER info{};
  if (size < sizeof info) return {};
  std::memcpy(&info, dib, sizeof info);
  const DWORD colours = info.biClrUsed ? info.biClrUsed : info.biBitCount <= 8 ? 1u << info.biBitCount : 0;
  const DWORD masks = info.biCompression == BI_BITFIELDS && info.biSize == sizeof info ? 12 : 0;
  const BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + size), 0, 0,
                              static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + info.biSize + colours * 4 + masks)};
  std::vector<std::uint8_t> bytes(sizeof file + size);
  std::memcpy(bytes.data(), &file, sizeof file);
  std::memcpy(bytes.data() + sizeof file, dib, size);
  return bytes;
}
}  // namespace

std::optional<std::vector<std::uint8_t>> Win32Resources::LoadResource(const std::string& name,
                                                                      const std::string& type) {
  const std::wstring wideName = Widen(name), wideType = Widen(type);
  const bool bitmap = type == "BITMAP", icon = type == "ICON";
  const HMODULE module = GetModuleHandleW(nullptr);
  const HRSRC found = FindResourceW(module, wideName.c_str(),
                                    bitmap ? MAKEINTRESOURCEW(2)
                                    : icon ? MAKEINTRESOURCEW(14)
                                           : wideType.c_str());
  const HGLOBAL loaded = found ? ::LoadResource(module, found) : nullptr;
  const auto* data = loaded ? static_cast<const std::uint8_t*>(LockResource(loaded)) : nullptr;
  if (!data) return std::nullopt;
  const std::size_t size = SizeofResource(module, found);
  if (bitmap) return BitmapFile(data, size);
  return std::vector<std::uint8_t>(data, data + size);
}
