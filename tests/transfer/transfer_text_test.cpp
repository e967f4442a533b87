// The texts of the transfer status view and of transfer failures, one row
// per case, grouped by rule.
#include "transfer/transfer_text.hpp"

#include <gtest/gtest.h>

#include "fakes/fake_platform.hpp"
#include "fakes/fake_transfer.hpp"
#include "fakes/fake_window.hpp"
#include "support/runtime_error.hpp"
#include "wizard/frm_main.hpp"

namespace {
struct DurationRow {
  float seconds;
  const char* text;
};

void PrintTo(const DurationRow& r, std::ostream* os) { *os << r.seconds << " s"; }

class FormatDurationTest : public ::testing::TestWithParam<DurationRow> {};

TEST_P(FormatDurationTest, Formats) { EXPECT_EQ(FormatDuration(GetParam().seconds), GetParam().text); }

// Whole seconds after rounding halves to even; minutes without a leading
// zero below an hour, two-digit minutes and seconds from an hour on.
INSTANTIATE_TEST_SUITE_P(UnderAnHour, FormatDurationTest,
                         ::testing::Values(DurationRow{0, "0:00 minutes"}, DurationRow{2.5f, "0:02 minutes"},
                                           DurationRow{59.5f, "1:00 minutes"}, DurationRow{3599, "59:59 minutes"},
                                           DurationRow{5, "0:05 minutes"}, DurationRow{187, "3:07 minutes"},
                                           DurationRow{0.5f, "0:00 minutes"}, DurationRow{1.5f, "0:02 minutes"},
                                           DurationRow{600, "10:00 minutes"}, DurationRow{3599.5f, "1:00:00 hours"}));
INSTANTIATE_TEST_SUITE_P(FromAnHour, FormatDurationTest,
                         ::testing::Values(DurationRow{3600, "1:00:00 hours"}, DurationRow{3725, "1:02:05 hours"},
                                           DurationRow{36000, "10:00:00 hours"}, DurationRow{90061, "25:01:01 hours"}));

TEST(FormatDurationLimits, MoreSecondsThan32BitsHoldIsAnOverflowError) {
  try {
    FormatDuration(3.0e9f);
    FAIL() << "no error raised";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.Number(), ErrNo::Overflow);
  }
}

struct FixedRow {
  float value;
  const char* text;
};

void PrintTo(const FixedRow& r, std::ostream* os) { *os << r.value; }

class FormatFixed2Test : public ::testing::TestWithParam<FixedRow> {};

TEST_P(FormatFixed2Test, AtLeastOneIntegerDigitAndExactlyTwoDecimals) {
  EXPECT_EQ(FormatFixed2(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Table, FormatFixed2Test,
                         ::testing::Values(FixedRow{0, "0.00"}, FixedRow{0.5f, "0.50"}, FixedRow{12.5f, "12.50"},
                                           FixedRow{640, "640.00"}, FixedRow{6.25f, "6.25"}, FixedRow{1, "1.00"},
                                           FixedRow{0.004f, "0.00"}, FixedRow{1048576, "1048576.00"},
                                           FixedRow{2.0f / 3.0f, "0.67"}));

struct RoundRow {
  double value;
  std::int32_t result;
};

void PrintTo(const RoundRow& r, std::ostream* os) { *os << r.value; }

class CheckedRoundTest : public ::testing::TestWithParam<RoundRow> {};

TEST_P(CheckedRoundTest, RoundsHalvesToEven) { EXPECT_EQ(CheckedRound(GetParam().value), GetParam().result); }

INSTANTIATE_TEST_SUITE_P(Table, CheckedRoundTest,
                         ::testing::Values(RoundRow{2.5, 2}, RoundRow{3.5, 4}, RoundRow{-2.5, -2}, RoundRow{0.49, 0},
                                           RoundRow{99.5, 100}, RoundRow{2147483647.0, 2147483647},
                                           RoundRow{-2147483648.5, -2147483648}));

TEST(CheckedRoundLimits, ResultsOutside32BitsAreOverflowErrors) {
  for (double v : {2147483647.5, 2147483648.0, -2147483649.0, 1e300}) {
    try {
      CheckedRound(v);
      ADD_FAILURE() << v << ": no error raised";
    } catch (const RuntimeError& e) {
      EXPECT_EQ(e.Number(), ErrNo::Overflow) << v;
    }
  }
}

// DescribeTransferError on a main window whose connection report a row
// chooses.
struct DescribeRow {
  const char* description;
  bool connected;
  const char* shown;
};

void PrintTo(const DescribeRow& r, std::ostream* os) { *os << '"' << r.description << '"'; }

class DescribeTransferErrorTest : public ::testing::TestWithParam<DescribeRow> {
 protected:
  std::string Describe() {
    connection.flags = GetParam().connected ? 0x42 : 0x02;
    frmMain form(fake.Services(), "updates.test:8731");
    return form.Transfer.DescribeTransferError(GetParam().description);
  }

  FakePlatform fake;
  FakeConnection& connection = fake.connection;
};

TEST_P(DescribeTransferErrorTest, WordsTheFailure) { EXPECT_EQ(Describe(), GetParam().shown); }

const char* const kRetry = "Unable to complete the download of this file. Please click Retry.";
const char* const kNotFound = "The url could not be found.";

INSTANTIATE_TEST_SUITE_P(
    UnknownTextsGainAFinalPoint, DescribeTransferErrorTest,
    ::testing::Values(DescribeRow{"", true, "."}, DescribeRow{"   ", true, "."},
                      DescribeRow{"The downloaded file was corrupt", true, "The downloaded file was corrupt."},
                      DescribeRow{"The server refused the connection.", false, "The server refused the connection."},
                      DescribeRow{"  The server answered 500 Internal Server Error instead of the file.  ", true,
                                  "The server answered 500 Internal Server Error instead of the file."},
                      // Only spaces are trimmed.
                      DescribeRow{"\tThe handle is invalid.", true, "\tThe handle is invalid."},
                      // Without its final point it is not the recognised text.
                      DescribeRow{"The access code is invalid", true, "The access code is invalid."}));

INSTANTIATE_TEST_SUITE_P(
    RecognisedTextsInAnyCase, DescribeTransferErrorTest,
    ::testing::Values(DescribeRow{"Not enough storage is available to process this command.", true, kRetry},
                      DescribeRow{"NOT ENOUGH STORAGE IS AVAILABLE TO PROCESS THIS COMMAND.", false, kRetry},
                      DescribeRow{"The access code is invalid.", true, kRetry},
                      DescribeRow{"the ACCESS code is Invalid.", true, kRetry},
                      DescribeRow{"  The access code is invalid.  ", true, kRetry},
                      DescribeRow{"The handle is invalid.", true, kNotFound},
                      DescribeRow{"THE HANDLE IS INVALID.", false, kNotFound}));

INSTANTIATE_TEST_SUITE_P(
    ServerNameHintOnlyWithoutAConnection, DescribeTransferErrorTest,
    ::testing::Values(
        DescribeRow{"The server name or address could not be resolved", true,
                    "The server name or address could not be resolved."},
        DescribeRow{"The server name or address could not be resolved", false,
                    "The server name or address could not be resolved. This could be a result of no Internet "
                    "connection."},
        DescribeRow{"THE SERVER NAME OR ADDRESS COULD NOT BE RESOLVED", false,
                    "THE SERVER NAME OR ADDRESS COULD NOT BE RESOLVED. This could be a result of no Internet "
                    "connection."},
        // With a final point it is another text: no hint.
        DescribeRow{"The server name or address could not be resolved.", false,
                    "The server name or address could not be resolved."}));

INSTANTIATE_TEST_SUITE_P(
    SystemErrorPrefixIsCutAtItsFirstPoint, DescribeTransferErrorTest,
    ::testing::Values(DescribeRow{"System error &H80070006. The handle is invalid.", true, kNotFound},
                      DescribeRow{"  system ERROR &h80070006.   the handle is invalid.  ", true, kNotFound},
                      DescribeRow{"System error &H8007000E. Not enough storage is available to process this command.",
                                  true, kRetry},
                      DescribeRow{"System error &H80072EE7. The server name or address could not be resolved", false,
                                  "The server name or address could not be resolved. This could be a result of no "
                                  "Internet connection."},
                      DescribeRow{"System error &H80004005. Unspecified error", true, "Unspecified error."},
                      DescribeRow{"System error &H80004005.", true, "."},
                      // No point: the text stays whole.
                      DescribeRow{"System error &H80070002", true, "System error &H80070002."},
                      // Another prefix is not cut.
                      DescribeRow{"Error &H6. The handle is invalid.", true, "Error &H6. The handle is invalid."}));

TEST(DescribeTransferErrorConnection, AskedOnlyForAServerNameFailure) {
  FakePlatform fake;
  FakeConnection& connection = fake.connection;
  frmMain form(fake.Services(), "updates.test:8731");
  form.Transfer.DescribeTransferError("The handle is invalid.");
  form.Transfer.DescribeTransferError("Something else");
  EXPECT_EQ(connection.calls, 0);
  form.Transfer.DescribeTransferError("The server name or address could not be resolved");
  EXPECT_EQ(connection.calls, 1);
}
}  // namespace
