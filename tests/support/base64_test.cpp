// Strict standard base64: one spelling for each byte string.
#include "support/base64.hpp"

#include <gtest/gtest.h>

TEST(Base64, DecodesOnlyTheStrictStandardForm) {
  struct Row {
    const char* text;
    std::optional<std::string> bytes;
  } rows[] = {
      {"", ""},     {"Zg==", "f"}, {"Zm8=", "fo"}, {"Zm9v", "foo"},  {"+/+/", "\xfb\xff\xbf"},
      {"Zg=", {}},  {"Zg", {}},    {"Z===", {}},   {"====", {}},     {"Zm=v", {}},
      {"Zh==", {}}, {"Zm9=", {}},  {"Zm 9v", {}},  {"Zm9v\r\n", {}}, {"Zm9-", {}},
      {"Zm9_", {}},
  };
  for (const Row& row : rows) {
    const auto got = DecodeBase64(row.text);
    EXPECT_EQ(got.has_value(), row.bytes.has_value()) << row.text;
    if (!got || !row.bytes) continue;
    EXPECT_EQ(std::string(got->begin(), got->end()), *row.bytes) << row.text;
    EXPECT_EQ(EncodeBase64(*got), row.text);
  }
}
