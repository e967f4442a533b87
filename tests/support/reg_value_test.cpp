// The tagged value of registry reads and writes, and its conversions to
// text and to a 32-bit number.
#include "support/reg_value.hpp"

#include <gtest/gtest.h>

#include "fakes/registry_test_helpers.hpp"

namespace {

TEST(RegValue, ConvertsToTextAndToWholeNumbersRoundingHalfToEven) {
  EXPECT_EQ(ValueToText(RegValue(std::int32_t{-2147483647 - 1})), "-2147483648");
  EXPECT_EQ(ValueToLong(RegValue(std::int32_t{-5})), -5);
  EXPECT_EQ(ErrorOf([] { ValueToText(RegValue(ByteArray{1, 2})); }), ErrNo::TypeMismatch);
  EXPECT_EQ(ErrorOf([] { ValueToLong(RegValue(ByteArray{1})); }), ErrNo::TypeMismatch);
  for (const auto& [text, value, error] :
       std::vector<std::tuple<std::string, std::int32_t, int>>{{" +42 ", 42, 0},
                                                               {"-2147483648", -2147483647 - 1, 0},
                                                               {"2.5", 2, 0},
                                                               {"3.5", 4, 0},
                                                               {"1e3", 1000, 0},
                                                               {"2147483648", 0, ErrNo::Overflow},
                                                               {"1e999", 0, ErrNo::Overflow},
                                                               {"", 0, ErrNo::TypeMismatch},
                                                               {"12abc", 0, ErrNo::TypeMismatch},
                                                               {"0x10", 0, ErrNo::TypeMismatch},
                                                               {"nan", 0, ErrNo::TypeMismatch}}) {
    std::int32_t got = 0;
    EXPECT_EQ(ErrorOf([&] { got = ValueToLong(RegValue(text)); }), error) << text;
    EXPECT_EQ(got, value) << text;
  }
}

}  // namespace
