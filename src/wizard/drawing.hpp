#pragma once
// Drawing rules of the main window that need no window: the tiling copy of
// the header picture and the shortening of a text to a width.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/surface.hpp"

inline constexpr std::uint32_t SRCCOPY = 0xCC0020;
inline constexpr std::uint32_t kHeaderTitleColor = 0xFFFFFF;
inline constexpr std::uint32_t kProgressColor = 0x900000;  // blue 144, in blue-green-red order

// Fills the rectangle (X, Y, W, H) of dest with copies of src, starting at
// source position (srcX, srcY); one BitBlt per tile. Nothing for an empty source.
void TileBitmap(ISurface& destDC, std::int32_t X, std::int32_t Y, std::int32_t W, std::int32_t H, ISurface& srcDC,
                std::int32_t srcW, std::int32_t srcH, std::int32_t srcX, std::int32_t srcY);

// The text, trimmed of blanks, shortened with "..." (in the middle or at
// the end) when its measured width exceeds width. measure gives a text's
// width in the same unit as width.
std::string ShortenTextTo(const std::string& text, bool middle, std::int16_t width,
                          const std::function<double(const std::string&)>& measure);

// A number rounded to the nearest whole number, halves to even.
std::int32_t RoundHalfEven(double value);
