#pragma once
// The tagged value that registry reads return and writes take: a text, a
// 32-bit signed number or an array of bytes (indices from 0).
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

using ByteArray = std::vector<std::uint8_t>;
using RegValue = std::variant<std::string, std::int32_t, ByteArray>;

inline bool IsText(const RegValue& v) { return std::holds_alternative<std::string>(v); }
inline bool IsNumber(const RegValue& v) { return std::holds_alternative<std::int32_t>(v); }
inline bool IsBytes(const RegValue& v) { return std::holds_alternative<ByteArray>(v); }

// The value as text: a text as it is, a number in decimal. An array of bytes
// cannot be taken as text: raises error 13 (type mismatch).
std::string ValueToText(const RegValue& v);

// The value as a 32-bit signed number: a number as it is, a text when it
// reads as a whole number in range (blanks around it allowed). Raises error
// 13 for other texts and for arrays, error 6 when out of range.
std::int32_t ValueToLong(const RegValue& v);
