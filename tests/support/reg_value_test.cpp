// The tagged value of registry reads and writes, and its conversions to
// text and to a 32-bit number.
#include "support/reg_value.hpp"

#include <gtest/gtest.h>

#include <string>

#include "support/runtime_error.hpp"

namespace {

// The run-time error number a call raises, or 0.
template <typename Call>
int ErrorOf(Call call) {
  try {
    call();
  } catch (const RuntimeError& e) {
    return e.Number();
  }
  return 0;
}

TEST(ValueToText, TextAsItIsNumbersInDecimalArraysNot) {
  EXPECT_EQ(ValueToText(RegValue(std::string(" 3.02 "))), " 3.02 ");
  EXPECT_EQ(ValueToText(RegValue(std::string(1, '\0'))), std::string(1, '\0'));
  EXPECT_EQ(ValueToText(RegValue(std::int32_t{42})), "42");
  EXPECT_EQ(ValueToText(RegValue(std::int32_t{-2147483647 - 1})), "-2147483648");
  EXPECT_EQ(ErrorOf([] { ValueToText(RegValue(ByteArray{1, 2})); }), ErrNo::TypeMismatch);
}

struct LongRow {
  const char* text;
  std::int32_t value;  // when error is 0
  int error;
};

void PrintTo(const LongRow& row, std::ostream* os) { *os << '"' << row.text << '"'; }

class ValueToLongOfText : public ::testing::TestWithParam<LongRow> {};

TEST_P(ValueToLongOfText, ReadsWholeNumbersFromText) {
  const auto& row = GetParam();
  std::int32_t got = 0;
  EXPECT_EQ(ErrorOf([&] { got = ValueToLong(RegValue(std::string(row.text))); }), row.error) << row.text;
  if (row.error == 0) {
    EXPECT_EQ(got, row.value) << row.text;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ValueToLongOfText,
    ::testing::Values(LongRow{"42", 42, 0}, LongRow{" 42 ", 42, 0}, LongRow{"-1", -1, 0}, LongRow{"+7", 7, 0},
                      LongRow{"2147483647", 2147483647, 0}, LongRow{"-2147483648", -2147483647 - 1, 0},
                      // Fractions round half to even.
                      LongRow{"2.5", 2, 0}, LongRow{"3.5", 4, 0}, LongRow{"-0.5", 0, 0}, LongRow{"1e3", 1000, 0},
                      LongRow{"2147483648", 0, ErrNo::Overflow}, LongRow{"-2147483649", 0, ErrNo::Overflow},
                      LongRow{"1e20", 0, ErrNo::Overflow}, LongRow{"1e999", 0, ErrNo::Overflow},
                      LongRow{"", 0, ErrNo::TypeMismatch}, LongRow{"   ", 0, ErrNo::TypeMismatch},
                      LongRow{"abc", 0, ErrNo::TypeMismatch}, LongRow{"12abc", 0, ErrNo::TypeMismatch},
                      LongRow{"0x10", 0, ErrNo::TypeMismatch}, LongRow{"nan", 0, ErrNo::TypeMismatch},
                      LongRow{"inf", 0, ErrNo::TypeMismatch}, LongRow{"-infinity", 0, ErrNo::TypeMismatch}));

TEST(ValueToLongOfOtherKinds, NumbersAsTheyAreArraysNot) {
  EXPECT_EQ(ValueToLong(RegValue(std::int32_t{-5})), -5);
  EXPECT_EQ(ErrorOf([] { ValueToLong(RegValue(ByteArray{1})); }), ErrNo::TypeMismatch);
}

}  // namespace
