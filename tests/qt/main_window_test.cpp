// The real window under the offscreen platform: the design's places, the
// buttons and keys, and the pixels that the drawing routines produce.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <cmath>

#include "fakes/fake_platform.hpp"
#include "fakes/fake_window.hpp"
#include "platform/qt/qt_main_window.hpp"
#include "platform/qt/qt_services.hpp"
#include "support/c_registry.hpp"
#include "support/frm_error.hpp"
#include "wizard/frm_main.hpp"
#include "wizard/layout.hpp"

namespace {
class QtWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cRegistry reg(fake.registry, fake.environment);
    reg.RootKey("Software\\Tessarine");
    reg.RegWrite("\\LarkspireBrowser\\Main", "App Version", std::string("3.02.0012"));
    reg.RegWrite("\\LarkspireBrowser\\Main", "App Path", dir.Path());
    form = std::make_unique<frmMain>(fake.Services(), "updates.test:8731");
    window->Attach(form.get());
  }

  void TearDown() override {
    form.reset();
    dialogs.reset();
    window.reset();
    QApplication::processEvents();
    // No window outlives its test.
    for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_FALSE(w->isVisible()) << w->metaObject()->className();
  }

  void Open() {
    form->Form_Load();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  }

  QWidget* W(Ctl id) { return window->WidgetOf(id); }
  int Px(int twips) { return static_cast<int>(std::lround(twips * PixelsPerTwip())); }

  QString Shot(const QString& name) {
    const QString folder = QCoreApplication::applicationDirPath() + "/screenshots";
    QDir().mkpath(folder);
    const QString path = folder + "/" + name + ".png";
    return path;
  }

  TempDir dir;
  EmbeddedResources resources;
  QtPictureService pictures;
  QtEventLoop events;
  std::unique_ptr<QtMainWindow> window = std::make_unique<QtMainWindow>(resources);
  std::unique_ptr<QtDialogFactory> dialogs = std::make_unique<QtDialogFactory>(window.get(), resources);
  FakePlatform fake{{.pictures = &pictures, .events = &events, .window = window.get(), .dialogs = dialogs.get()}};
  FakeShell& shell = fake.shell;
  FakeConnection& connection = fake.connection;
  std::unique_ptr<frmMain> form;
};

TEST_F(QtWindowTest, EveryControlSitsAtItsDesignPlace) {
  Open();
  EXPECT_DOUBLE_EQ(PixelsPerTwip(), 1.0 / 15.0);
  EXPECT_EQ(window->size(), QSize(501, 375));
  EXPECT_EQ(window->windowTitle(), "Larkspire AutoUpdate");
  EXPECT_FALSE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
  for (const ControlDesign& d : MainWindowDesign()) {
    if (d.id == Ctl::picBitmap || d.id == Ctl::frPicture) continue;  // sized by the picture / the resize rule
    const QRect want(Px(d.rect.Left), Px(d.rect.Top), Px(d.rect.Width), Px(d.rect.Height));
    EXPECT_EQ(W(d.id)->geometry(), want) << d.name;
  }
  // The line under the band spans the window, right under it.
  EXPECT_EQ(W(Ctl::frPicture)->geometry().top(), Px(1000));
  EXPECT_GE(W(Ctl::frPicture)->geometry().right(), window->width() - 1);
  EXPECT_FALSE(W(Ctl::picBitmap)->isVisible());
  EXPECT_EQ(static_cast<QPushButton*>(W(Ctl::Cmd0))->text(), "&Previous");
  EXPECT_EQ(static_cast<QPushButton*>(W(Ctl::Cmd1))->text(), "&Next");
  EXPECT_EQ(static_cast<QPushButton*>(W(Ctl::Cmd2))->text(), "&Cancel");
  // Alt+S presses Stop, while the program still reads its caption as "Stop".
  EXPECT_EQ(static_cast<QPushButton*>(W(Ctl::cmdLoad0))->text(), "&Stop");
  EXPECT_EQ(window->Control(Ctl::cmdLoad0).Caption(), "Stop");
  EXPECT_TRUE(static_cast<QPushButton*>(W(Ctl::Cmd1))->isDefault());
  EXPECT_EQ(W(Ctl::Cmd1)->nextInFocusChain(), W(Ctl::Cmd0));
  EXPECT_EQ(W(Ctl::Cmd0)->nextInFocusChain(), W(Ctl::Cmd2));
  window->grab().save(Shot("welcome"));
}

TEST_F(QtWindowTest, ClicksAndKeysDriveTheWizard) {
  Open();
  QTest::mouseClick(W(Ctl::Cmd1), Qt::LeftButton);
  EXPECT_EQ(form->CurrentPage, PagePrepare);
  EXPECT_TRUE(W(Ctl::frMain2)->isVisible());
  EXPECT_FALSE(W(Ctl::frMain0)->isVisible());
  window->grab().save(Shot("preparing"));
  QTest::mouseClick(W(Ctl::Cmd0), Qt::LeftButton);
  EXPECT_EQ(form->CurrentPage, PageWelcome);
  // Enter presses Next.
  W(Ctl::Cmd1)->setFocus();
  QTest::keyClick(window.get(), Qt::Key_Return);
  EXPECT_EQ(form->CurrentPage, PagePrepare);
  // Escape presses Cancel, which asks here; No keeps the window.
  fake.messageBox.answers = {Mb::No};
  QTest::keyClick(window.get(), Qt::Key_Escape);
  ASSERT_EQ(fake.messageBox.shown.size(), 1u);
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(window->Unloaded());
  // The title bar's close asks the same question; Yes closes.
  fake.messageBox.answers = {Mb::Yes};
  window->close();
  EXPECT_EQ(fake.messageBox.shown.size(), 2u);
  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(window->Unloaded());
}

TEST_F(QtWindowTest, CancelOnTheWelcomePageClosesWithoutAQuestion) {
  Open();
  QTest::mouseClick(W(Ctl::Cmd2), Qt::LeftButton);
  EXPECT_TRUE(fake.messageBox.shown.empty());
  EXPECT_FALSE(window->isVisible());
}

bool NearWhite(QRgb c) { return qRed(c) > 200 && qGreen(c) > 200 && qBlue(c) > 200; }

TEST_F(QtWindowTest, HeaderTitleIsWhiteAndStarts13PixelsIn) {
  Open();
  const QImage band = window->PictureOf(Ctl::Picture1)->Image().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(band.width(), 501);
  int firstWhite = -1;
  int whitePixels = 0;
  for (int x = 0; x < band.width(); ++x)
    for (int y = 0; y < band.height(); ++y)
      if (NearWhite(band.pixel(x, y))) {
        if (firstWhite < 0) firstWhite = x;
        ++whitePixels;
      }
  EXPECT_GE(firstWhite, 13);
  EXPECT_LE(firstWhite, 16);  // the first glyph's own side bearing
  EXPECT_GT(whitePixels, 100);
  // Left of the title, the header picture shows: dark blue, not the window's grey.
  const QRgb corner = band.pixel(5, 5);
  EXPECT_GT(qBlue(corner), qRed(corner) + 20);
}

TEST_F(QtWindowTest, ProgressBarIsExactlyFullAt100AndEmptyAt0) {
  Open();
  form->ShowPage(3);
  const auto barPixels = [&] {
    const QImage img = window->PictureOf(Ctl::picLoad)->Image().convertToFormat(QImage::Format_RGB32);
    int bar = 0;
    for (int x = 0; x < img.width(); ++x)
      for (int y = 0; y < img.height(); ++y)
        if (img.pixel(x, y) == qRgb(0, 0, 144)) ++bar;
    return std::pair<int, int>(bar, img.width() * img.height());
  };
  form->ShowProgress(100);
  auto [full, all] = barPixels();
  EXPECT_EQ(full, all);
  EXPECT_EQ(static_cast<QLabel*>(W(Ctl::lblLoad))->text(), "100");
  form->ShowProgress(50);
  auto [half, all2] = barPixels();
  EXPECT_NEAR(half, all2 / 2, window->PictureOf(Ctl::picLoad)->height());
  form->ShowProgress(0);
  EXPECT_EQ(barPixels().first, 0);
}

// What the window paints reaches a screen reader: the page heading, the
// caption on the divider, the window title and the download's percentage.
TEST_F(QtWindowTest, AScreenReaderReadsThePaintedTexts) {
  Open();
  form->ShowPage(3);
  form->ShowProgress(42);

  const auto a11y = [this](Ctl id) { return QAccessible::queryAccessibleInterface(W(id)); };
  EXPECT_EQ(QAccessible::queryAccessibleInterface(window.get())->text(QAccessible::Name), "Larkspire AutoUpdate");
  EXPECT_EQ(a11y(Ctl::Frame1)->text(QAccessible::Name), "Larkspire Browser AutoUpdate");
  EXPECT_EQ(a11y(Ctl::Picture1)->role(), QAccessible::Heading);
  EXPECT_EQ(a11y(Ctl::Picture1)->text(QAccessible::Name), "Checking for Updates...");
  QAccessibleInterface* bar = a11y(Ctl::picLoad);
  EXPECT_EQ(bar->role(), QAccessible::ProgressBar);
  EXPECT_EQ(bar->text(QAccessible::Name), "Percent of download complete:");
  EXPECT_EQ(bar->text(QAccessible::Value), "42%");
  ASSERT_NE(bar->valueInterface(), nullptr);
  EXPECT_EQ(bar->valueInterface()->currentValue().toInt(), 42);
  EXPECT_EQ(bar->valueInterface()->maximumValue().toInt(), 100);
}

TEST_F(QtWindowTest, InstallerWarningPage) {
  shell.installerPresent = false;
  Open();
  EXPECT_FALSE(W(Ctl::Cmd1)->isEnabled());
  EXPECT_TRUE(static_cast<QLabel*>(W(Ctl::Label1_0))->text().startsWith("WARNING!\n\nAn error has occurred"));
  window->grab().save(Shot("installer-warning"));
  QTest::mouseClick(W(Ctl::Cmd2), Qt::LeftButton);
  EXPECT_TRUE(fake.messageBox.shown.empty());
  EXPECT_FALSE(window->isVisible());
}

TEST_F(QtWindowTest, ErrorDialogIsModalLaidOutAndClosedByOk) {
  Open();
  bool sawIt = false;
  dialogs->onShown = [&](QtErrorDialog& d) {
    sawIt = true;
    EXPECT_TRUE(d.isModal());
    EXPECT_EQ(d.windowTitle(), "Larkspire AutoUpdate - Error");
    const int label2 = d.Control(ErrCtl::Label2).Geometry().Height;
    EXPECT_EQ(d.Control(ErrCtl::Label3).Geometry().Top, 795 + label2 + 200);
    EXPECT_NEAR(d.WidgetOf(ErrCtl::Cmd)->geometry().bottom() + 1, d.height() - Px(160), 1);  // twips round to pixels
    d.grab().save(Shot("download-error"));
    QTest::mouseClick(d.WidgetOf(ErrCtl::Cmd), Qt::LeftButton);
  };
  auto view = dialogs->CreateErrorDialog();
  frmError dialog(*view);
  dialog.Init("The server name or address could not be resolved. This could be a result of no Internet connection.");
  dialog.Form_Load();
  view->ShowModal();
  EXPECT_TRUE(sawIt);
  EXPECT_FALSE(static_cast<QtErrorDialog*>(view.get())->isVisible());
}
}  // namespace
