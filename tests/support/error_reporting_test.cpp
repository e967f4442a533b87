// Unexpected errors: the question, the count that ends the program, and the
// download-error dialog that grows with its text.
#include "support/diagnostics.hpp"
#include "support/frm_error.hpp"
#include "wizard/wizard_fixture.hpp"

namespace {
TEST_F(WizardTest, FourUnexpectedErrorsAskAndTheFifthQuits) {
  frmMain& f = Start();
  const RuntimeError error(static_cast<std::int32_t>(0x800403E8), "Couldn't register window messages.");
  Answer({Mb::Yes, Mb::Yes, Mb::Yes, Mb::Yes});
  for (int i = 0; i < 4; ++i) f.Errors.HandleUnexpectedError("0008", error);
  EXPECT_EQ(BoxesShown(), 4u);
  EXPECT_EQ(f.Errors.ErrorCount, 4);
  EXPECT_EQ(fake.messageBox.shown.back().prompt,
            std::string("An unexpected error has occurred.\r\n\r\nThe error number is -2147220504\r\nThe string "
                        "describing this error is:\r\n\"Couldn't register window messages.\"\r\nThe error occurred "
                        "in Module h0008\r\n\r\nPlease contact ") +
                LARKSPIRE_SUPPORT_ADDRESS +
                ". Resuming\r\nprogram execution may have unpredictable results.\r\nDo you want to attemp to "
                "continue?");
  EXPECT_EQ(fake.messageBox.shown.back().buttons, Mb::Critical | Mb::YesNo);
  EXPECT_EQ(fake.messageBox.shown.back().title, "Larkspire AutoUpdate - Error");
  EXPECT_THROW(f.Errors.HandleUnexpectedError("0008", error), ProgramEnded);
  EXPECT_EQ(fake.messageBox.shown.back().prompt,
            std::string("Too many errors, quitting application.\r\nPlease contact ") + LARKSPIRE_SUPPORT_ADDRESS);
  EXPECT_EQ(fake.process.lastExitStatus, ExitStatus::ErrorQuit);
}

TEST_F(WizardTest, NoEndsTheProgramAtOnceWithTheDefaultPointer) {
  frmMain& f = Start();
  f.CurrentPage = PageDownload;
  Answer({Mb::No});
  EXPECT_THROW(f.Errors.HandleUnexpectedError("0002", RuntimeError(5, "")), ProgramEnded);
  EXPECT_EQ(BoxesShown(), 1u);  // no exit question after it
  EXPECT_EQ(f.Errors.ErrorCount, 0);
  EXPECT_TRUE(!events.pointer.empty() && !events.pointer.back()) << "the last pointer is the default one";
}

TEST(FrmErrorTest, TheTextGrowsTheDialogAndMovesEverythingBelowIt) {
  EXPECT_EQ(ErrorLabelHeight(4509.6, 4510), 400);  // rounds to one full width
  // The text and the height it gives Label2: 11300 twips (100 a character) are 2.5 widths.
  const std::pair<std::string, int> rows[] = {{"Refused.", 200}, {std::string(113, 'x'), 600}};
  for (const auto& [text, label2Height] : rows) {
    FakeErrorDialog view;
    frmError dialog(view);
    dialog.Init(text);
    dialog.Form_Load();
    EXPECT_EQ(view.caption, "Larkspire AutoUpdate - Error");
    EXPECT_EQ(view.Control(ErrCtl::Label1).Caption(),
              "An error has occurred while attempting to download the current file. The description of the error "
              "is as follows.");
    EXPECT_EQ(view.Control(ErrCtl::Label2).Caption(), text);
    EXPECT_EQ(view.Control(ErrCtl::Label2).Geometry(), (TwipsRect{800, 795, 4510, label2Height}));
    EXPECT_EQ(view.Control(ErrCtl::Label3).Geometry(), (TwipsRect{800, 995 + label2Height, 4510, 600}));
    EXPECT_EQ(view.Control(ErrCtl::Cmd).Geometry().Top, 1875 + label2Height);
  }
}
}  // namespace
