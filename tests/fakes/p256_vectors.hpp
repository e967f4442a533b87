#pragma once
// Fixed ECDSA P-256 vectors, made once with the openssl command: two key
// pairs (only the public points are kept) and the first key's signature
// over kSignedText, with s in its lower half (s <= n/2).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace p256 {
inline constexpr std::string_view kSignedText = "[setup]\r\nenabled=1\r\n";
inline constexpr std::string_view kKey1 =
    "045460f20efc78435ea7a8bbe1354ed652a087bb0bc11ed71dbfc0badd224066fcff70ad7ed5b7877f244a6852184618c9df7080121bc75a42"
    "c35f81401ce20940";
inline constexpr std::string_view kKey2 =
    "040ac1e6f3d094ba25381d37b2968a86d20303924b4d9b05223374a00855d20ab3515d7514354bca7d1919cb7c9b8f97be66eeb3a5c6542ffb"
    "b399cb9e37b3db78";
inline constexpr std::string_view kR = "1c7ba834a17966459a12ce10ddcdf88c5f212deb9b46cd16d082828f57dd33a5";
inline constexpr std::string_view kS = "1bad7db4a2737018c52e8f9ecd19d9555ee458513e96251d18d60c724b901354";
inline constexpr std::string_view kHighS = "e452824a5d8c8fe83ad1706132e626aa5e02a25c68817967dae3be50b0d311fd";  // n - s
inline constexpr std::string_view kOrder = "ffffffff00000000ffffffffffffffffbce6faada7179e84f3b9cac2fc632551";  // n
inline std::vector<std::uint8_t> FromHex(std::string_view hex) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  return bytes;
}
}  // namespace p256
