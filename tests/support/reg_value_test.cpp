// The tagged value of registry reads, as text. (Its conversion to a number
// serves only a kind of write the program never makes, and goes untested.)
#include "support/reg_value.hpp"

#include <gtest/gtest.h>

#include "fakes/registry_test_helpers.hpp"

TEST(RegValue, ConvertsTextsAndNumbersToText) {
  EXPECT_EQ(ValueToText(RegValue(std::int32_t{-2147483647 - 1})) + ValueToText(RegValue(" 3.02 ")),
            "-2147483648 3.02 ");
  EXPECT_EQ(ErrorOf([] { ValueToText(RegValue(ByteArray{1, 2})); }), ErrNo::TypeMismatch);
}
