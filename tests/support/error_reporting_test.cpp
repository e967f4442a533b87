#include "support/frm_error.hpp"
#include "wizard/wizard_fixture.hpp"

namespace {
std::string Question(const std::string& number, const std::string& description, const std::string& module) {
  return "An unexpected error has occurred.\r\n\r\nThe error number is " + number +
         "\r\nThe string describing this error is:\r\n\"" + description + "\"\r\nThe error occurred in Module h" +
         module + "\r\n\r\nPlease contact " + LARKSPIRE_SUPPORT_ADDRESS +
         ". Resuming\r\nprogram execution may have unpredictable results.\r\nDo you want to attemp to continue?";
}

TEST_F(WizardTest, FourErrorsAskAndTheFifthQuits) {
  frmMain& f = Start();
  const RuntimeError error(static_cast<std::int32_t>(0x800403E8), "Couldn't register window messages.");
  for (int i = 1; i <= 4; ++i) {
    Answer({Mb::Yes});
    f.Errors.HandleUnexpectedError("0008", error);
    ASSERT_EQ(BoxesShown(), static_cast<std::size_t>(i));
    EXPECT_EQ(fake.messageBox.shown.back().prompt,
              Question("-2147220504", "Couldn't register window messages.", "0008"));
    EXPECT_EQ(fake.messageBox.shown.back().buttons, Mb::Critical | Mb::YesNo);
    EXPECT_EQ(fake.messageBox.shown.back().title, "Larkspire AutoUpdate - Error");
    EXPECT_EQ(f.Errors.ErrorCount, i);
  }
  EXPECT_EQ(fake.process.endCount, 0);
  EXPECT_THROW(f.Errors.HandleUnexpectedError("0008", error), ProgramEnded);
  EXPECT_EQ(fake.messageBox.shown.back().prompt,
            std::string("Too many errors, quitting application.\r\nPlease contact ") + LARKSPIRE_SUPPORT_ADDRESS);
  EXPECT_EQ(fake.messageBox.shown.back().buttons, Mb::Critical | Mb::OkOnly);
  EXPECT_EQ(fake.process.endCount, 1);
  EXPECT_TRUE(f.MessageText.empty());
}

TEST_F(WizardTest, NoEndsTheProgramAtOnceWithoutTheExitQuestion) {
  frmMain& f = Start();
  f.CurrentPage = PageDownload;
  Answer({Mb::No});
  EXPECT_THROW(f.Errors.HandleUnexpectedError("0002", RuntimeError(5, "")), ProgramEnded);
  ASSERT_EQ(BoxesShown(), 1u);
  EXPECT_EQ(fake.messageBox.shown[0].prompt, Question("5", "", "0002"));
  EXPECT_EQ(f.Errors.ErrorCount, 0);
  EXPECT_EQ(window.unloadCount, 0);
  // The pointer was set back to the default first.
  ASSERT_FALSE(events.pointer.empty());
  EXPECT_FALSE(events.pointer.back());
}

TEST(ErrorLabelHeightTest, GrowsBy200TwipsPerLabelWidth) {
  EXPECT_EQ(ErrorLabelHeight(500, 4510), 200);
  EXPECT_EQ(ErrorLabelHeight(4509.6, 4510), 400);  // rounds to 4510: one full width
  EXPECT_EQ(ErrorLabelHeight(4510 * 2.5, 4510), 600);
  EXPECT_EQ(ErrorLabelHeight(0, 4510), 200);
}

TEST(FrmErrorTest, FillsTheDialogAndMovesEverythingBelowTheText) {
  std::vector<FakeErrorDialogView*> shown;
  FakeErrorDialogView view(&shown, nullptr);
  frmError dialog(view);
  const std::string text(113, 'x');  // 11300 twips: two and a half label widths
  dialog.Init(text);
  dialog.Form_Load();
  EXPECT_EQ(view.caption, "Larkspire AutoUpdate - Error");
  EXPECT_TRUE(view.mainIcon);
  EXPECT_EQ(view.image, "rid_error");
  EXPECT_EQ(view.Control(ErrCtl::Label1).Caption(),
            "An error has occurred while attempting to download the current file. The description of the error is "
            "as follows.");
  EXPECT_EQ(view.Control(ErrCtl::Label2).Caption(), text);
  EXPECT_EQ(view.Control(ErrCtl::Label3).Caption(),
            "You can attempt to download the file again by clicking the Retry button on the Larkspire AutoUpdate "
            "dialog. If you wish to abort the update, you can click the Cancel button.");
  EXPECT_EQ(view.Control(ErrCtl::Label2).Geometry(), (TwipsRect{800, 795, 4510, 600}));
  EXPECT_EQ(view.Control(ErrCtl::Label3).Geometry(), (TwipsRect{800, 1595, 4510, 600}));
  EXPECT_EQ(view.Control(ErrCtl::Cmd).Geometry(), (TwipsRect{4210, 2475, 1100, 340}));
  EXPECT_EQ(view.Control(ErrCtl::Image1).Geometry(), (TwipsRect{200, 200, 480, 480}));
  EXPECT_EQ(view.OuterHeight(), 2475 + 340 + 160 + 405);
  dialog.Cmd_Click();
  EXPECT_TRUE(view.closed);
}

TEST(FrmErrorTest, OneWordTextGivesOneLine) {
  std::vector<FakeErrorDialogView*> shown;
  FakeErrorDialogView view(&shown, nullptr);
  frmError dialog(view);
  dialog.Init("Refused.");
  dialog.Form_Load();
  EXPECT_EQ(view.Control(ErrCtl::Label2).Geometry().Height, 200);
  EXPECT_EQ(view.Control(ErrCtl::Cmd).Geometry().Top, 795 + 200 + 200 + 600 + 280);
}
}  // namespace
