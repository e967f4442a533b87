// The real window as the user meets it: the design's places, clicks and
// keys, the pixels the drawing routines produce and what a screen reader
// reads.
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <cmath>

#include "backends/qt_widgets/picture_service.hpp"
#include "backends/qt_widgets/window/design.hpp"
#include "backends/qt_widgets/window/main_window.hpp"
#include "wizard_fixture.hpp"

namespace {
// The wizard on the real window and picture decoder instead of the fake ones.
class WindowTest : public WizardTest {
 protected:
  WindowTest() { fake.services.window = &window, fake.services.pictures = &pictures; }
  // Shown, with clicks, keys and the title bar's close going to the wizard.
  void Open() {
    Make();
    window.Attach(form.get());
    form->Form_Load();
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  }
  QWidget* W(Ctl id) { return window.WidgetOf(id); }
  int Px(int twips) { return static_cast<int>(std::lround(twips * PixelsPerTwip())); }
  // How many pixels of a picture box have this colour.
  int PixelsOf(Ctl id, QRgb colour) {
    const QImage img = window.PictureOf(id)->Image().convertToFormat(QImage::Format_RGB32);
    int n = 0;
    for (int x = 0; x < img.width(); ++x)
      for (int y = 0; y < img.height(); ++y) n += img.pixel(x, y) == colour;
    return n;
  }

  QtMainWindow window{fake.resources};
  QtPictureService pictures;
};

TEST_F(WindowTest, EveryControlSitsAtItsDesignPlace) {
  Open();
  EXPECT_EQ(window.size(), QSize(501, 375));
  EXPECT_EQ(window.windowTitle(), "Larkspire AutoUpdate");
  EXPECT_FALSE(window.windowIcon().isNull());
  // The header picture went into the hidden holder, which took its size.
  EXPECT_EQ(window.Surface(Ctl::picBitmap).ScaleWidth(), 501);
  EXPECT_EQ(window.Surface(Ctl::picBitmap).ScaleHeight(), 67);
  EXPECT_FALSE(window.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
  for (const ControlDesign& d : MainWindowDesign()) {
    if (d.id == Ctl::picBitmap || d.id == Ctl::frPicture) continue;  // sized by the picture / the resize rule
    EXPECT_EQ(W(d.id)->geometry(), QRect(Px(d.rect.Left), Px(d.rect.Top), Px(d.rect.Width), Px(d.rect.Height)))
        << d.name;
  }
  // The line under the band spans the window.
  EXPECT_GE(W(Ctl::frPicture)->geometry().right(), window.width() - 1);
  EXPECT_FALSE(W(Ctl::picBitmap)->isVisible());
  // Alt+S presses Stop, while the program still reads its caption as "Stop".
  EXPECT_EQ(static_cast<QPushButton*>(W(Ctl::cmdLoad0))->text(), "&Stop");
  EXPECT_EQ(window.Control(Ctl::cmdLoad0).Caption(), "Stop");
  // Line breaks are the toolkit's own.
  const QString welcome = static_cast<QLabel*>(W(Ctl::Label1_0))->text();
  EXPECT_TRUE(welcome.startsWith("This program will update your version of the Larkspire Browser.\n\n"));
  EXPECT_EQ(W(Ctl::Cmd1)->nextInFocusChain(), W(Ctl::Cmd0));
  EXPECT_EQ(W(Ctl::Cmd0)->nextInFocusChain(), W(Ctl::Cmd2));
}

TEST_F(WindowTest, ClicksAndKeysDriveTheWizard) {
  Open();
  QTest::mouseClick(W(Ctl::Cmd1), Qt::LeftButton);
  EXPECT_EQ(form->CurrentPage, PagePrepare);
  EXPECT_TRUE(W(Ctl::frMain2)->isVisible() && !W(Ctl::frMain0)->isVisible());
  QTest::mouseClick(W(Ctl::Cmd0), Qt::LeftButton);
  EXPECT_EQ(form->CurrentPage, PageWelcome);
  W(Ctl::Cmd1)->setFocus();
  QTest::keyClick(&window, Qt::Key_Return);  // Enter presses Next
  EXPECT_EQ(form->CurrentPage, PagePrepare);
  // Escape presses Cancel, which asks here; No keeps the window.
  fake.messageBox.answers = {Mb::No, Mb::Yes};
  QTest::keyClick(&window, Qt::Key_Escape);
  EXPECT_TRUE(window.isVisible());
  // The title bar's close asks the same question; Yes closes.
  window.close();
  EXPECT_EQ(fake.messageBox.shown.size(), 2u);
  EXPECT_TRUE(!window.isVisible() && window.Unloaded());
}

// The title is white on the header picture, the bar fills exactly and
// is clamped, and a screen reader reads what is painted.
TEST_F(WindowTest, WhatIsPaintedIsRightAndReadable) {
  Open();
  const QImage band = window.PictureOf(Ctl::Picture1)->Image().convertToFormat(QImage::Format_RGB32);
  int firstWhite = band.width();
  for (int x = 0; x < band.width(); ++x)
    for (int y = 0; y < band.height(); ++y)
      if (qRed(band.pixel(x, y)) > 200 && qGreen(band.pixel(x, y)) > 200 && qBlue(band.pixel(x, y)) > 200)
        firstWhite = std::min(firstWhite, x);
  EXPECT_TRUE(firstWhite >= 13 && firstWhite <= 16) << firstWhite;  // the first glyph's own side bearing
  // Left of the title, the header picture shows: dark blue, not the window's grey.
  EXPECT_GT(qBlue(band.pixel(5, 5)), qRed(band.pixel(5, 5)) + 20);

  form->ShowPage(3);
  // A one-line caption given while its page was hidden is fitted as the page shows.
  const auto* barCaption = static_cast<QLabel*>(W(Ctl::Label2_3));
  EXPECT_LT(barCaption->font().pointSizeF(), 8) << "this font is wider than the design's";
  EXPECT_LE(QFontMetrics(barCaption->font()).horizontalAdvance(barCaption->text()), barCaption->width());
  const QSize bar = window.PictureOf(Ctl::picLoad)->size();
  const int yields = events.doEvents;
  // Beyond its range the bar is full or empty; every showing lets the window work.
  for (const auto& [percent, label, filled] :
       std::vector<std::tuple<int, std::string, double>>{{250, "100", 1}, {50, "50", 0.5}, {-5, "0", 0}}) {
    form->ShowProgress(percent);
    EXPECT_NEAR(PixelsOf(Ctl::picLoad, qRgb(0, 0, 144)), filled * bar.width() * bar.height(),
                filled == 0.5 ? bar.height() : 0);
    EXPECT_EQ(Caption(Ctl::lblLoad), label);
  }
  EXPECT_EQ(events.doEvents, yields + 3);

  form->ShowProgress(42);
  const auto a11y = [this](Ctl id) { return QAccessible::queryAccessibleInterface(W(id)); };
  EXPECT_EQ(a11y(Ctl::Frame1)->text(QAccessible::Name), "Larkspire Browser AutoUpdate");
  EXPECT_EQ(a11y(Ctl::Picture1)->role(), QAccessible::Heading);
  QAccessibleInterface* progress = a11y(Ctl::picLoad);
  EXPECT_EQ(progress->role(), QAccessible::ProgressBar);
  EXPECT_EQ(progress->text(QAccessible::Name), "Percent of download complete:");
  ASSERT_NE(progress->valueInterface(), nullptr);
  EXPECT_EQ(progress->valueInterface()->currentValue().toInt(), 42);
  EXPECT_EQ(progress->valueInterface()->maximumValue().toInt(), 100);
  // Each figure is labelled by its caption; the page's frame is named by its title, the divider passed over.
  for (const auto& [caption, value] :
       {std::pair{Ctl::lblStatus0, Ctl::lblInfo0}, std::pair{Ctl::lblStatus3, Ctl::lblInfo3}}) {
    const auto labelled = a11y(value)->relations(QAccessible::Label);
    EXPECT_TRUE(labelled.size() == 1 && labelled.first().first->object() == W(caption)) << static_cast<int>(value);
  }
  EXPECT_EQ(a11y(Ctl::frMain3)->role(), QAccessible::Grouping);
  EXPECT_EQ(a11y(Ctl::frMain3)->text(QAccessible::Name), a11y(Ctl::Picture1)->text(QAccessible::Name));
  EXPECT_FALSE(a11y(Ctl::frMain3)->text(QAccessible::Name).isEmpty());
  EXPECT_EQ(a11y(Ctl::frDivider)->role(), QAccessible::Separator);
}

}  // namespace
