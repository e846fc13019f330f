// The window dressing: the multi-view splitter, the toolbar and its images,
// the splash window, the transparent label, the hyperlink button and the
// about boxes.
#include <QAction>
#include <QBitmap>
#include <QEnterEvent>
#include <QFormLayout>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>

#include "QtTestSupport.h"
#include "widgets/AW_CMultiViewSplitter.h"
#include "widgets/Artwork.h"
#include "widgets/CAboutUs.h"
#include "widgets/CAlphaToolBar.h"
#include "widgets/CMdSqlAboutUs.h"
#include "widgets/CSplashScreenEx.h"
#include "widgets/CTransparentStatic.h"
#include "widgets/CURLLinkButton.h"

using namespace widgets;

namespace {

int TransparentPixels(const QImage& image) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) n += qAlpha(image.pixel(x, y)) == 0;
  }
  return n;
}

QEnterEvent Enter(QWidget* w) {
  return QEnterEvent(QPointF(2, 2), QPointF(2, 2), w->mapToGlobal(QPointF(2, 2)));
}

}  // namespace

class WindowDressingTest : public QObject {
  Q_OBJECT

 private slots:
  void splitterNamesViewsInCreationOrder();
  void splitterKeepsHiddenViewsAlive();
  void splitterRefusesUnknownIdsAndPanes();
  void toolbarButtonsHaveTheirSizeAndThreeLooks();
  void artworkHasItsSizesAndTransparency();
  void splashTakesItsPicturesSizeAndShape();
  void splashWithoutPictureFileReportsFailure();
  void builtSplashPictureIsShapedByItsColourKey();
  void splashHidesAfterItsTimeout();
  void splashHidesOnInputWhenAsked();
  void transparentLabelDrawsNoBackground();
  void linkButtonColoursAndCursor();
  void linkButtonOpensItsLinkAndIsVisited();
  void aboutBoxHasItsTitleLabelsAndLinks();
  void aboutPageHasTheSameLinks();
};

void WindowDressingTest::splitterNamesViewsInCreationOrder() {
  AW_CMultiViewSplitter splitter(2);
  splitter.SetPaneWidget(0, 0, new QLabel("tree"));
  auto* a = new QLabel("a");
  auto* b = new QLabel("b");
  auto* c = new QLabel("c");
  QCOMPARE(splitter.AddView(0, 1, a), 0);
  QCOMPARE(splitter.AddView(0, 1, b), 1);
  QCOMPARE(splitter.AddView(0, 1, c), 2);
  splitter.resize(600, 400);
  splitter.show();
  // The view added last is shown, the others are hidden.
  QCOMPARE(splitter.CurrentViewId(0, 1), 2);
  QVERIFY(c->isVisible() && !a->isVisible() && !b->isVisible());
  QVERIFY(splitter.ShowView(0));
  QCOMPARE(splitter.CurrentViewId(0, 1), 0);
  QVERIFY(a->isVisible() && !c->isVisible());
  QCOMPARE(splitter.View(1), static_cast<QWidget*>(b));
}

void WindowDressingTest::splitterKeepsHiddenViewsAlive() {
  AW_CMultiViewSplitter splitter(2);
  auto* hidden = new QWidget;
  int ticks = 0;
  auto* timer = new QTimer(hidden);
  QObject::connect(timer, &QTimer::timeout, [&] { ++ticks; });
  splitter.AddView(0, 1, hidden);
  splitter.AddView(0, 1, new QLabel("shown"));
  splitter.show();
  QVERIFY(!hidden->isVisible());
  timer->start(5);
  QTRY_VERIFY(ticks >= 3);
}

void WindowDressingTest::splitterRefusesUnknownIdsAndPanes() {
  AW_CMultiViewSplitter splitter(2);
  const int id = splitter.AddView(0, 1, new QLabel("one"));
  QVERIFY(!splitter.ShowView(5));
  QVERIFY(!splitter.ShowView(-1));
  QCOMPARE(splitter.CurrentViewId(0, 1), id);
  auto* stray = new QLabel("stray");
  QCOMPARE(splitter.AddView(0, 7, stray), -1);
  QCOMPARE(splitter.AddView(1, 0, stray), -1);
  QCOMPARE(splitter.AddView(0, 1, nullptr), -1);
  QCOMPARE(splitter.ViewCount(), 1);
  delete stray;
}

void WindowDressingTest::toolbarButtonsHaveTheirSizeAndThreeLooks() {
  CAlphaToolBar bar(QStringLiteral("Standard"), QSize(38, 44), QSize(32, 32));
  CAlphaImageList images;
  images.Add(DrawToolImage(ToolImage::kOpen, ToolLook::kNormal, 32),
             DrawToolImage(ToolImage::kOpen, ToolLook::kHot, 32),
             DrawToolImage(ToolImage::kOpen, ToolLook::kDisabled, 32));
  QAction open(QStringLiteral("Open"));
  bar.AddButton(&open, images, 0);
  auto* button = qobject_cast<QToolButton*>(bar.widgetForAction(&open));
  QVERIFY(button);
  QCOMPARE(button->size(), QSize(38, 44));
  QVERIFY(button->autoRaise());
  const QIcon icon = open.icon();
  const QImage normal = icon.pixmap(QSize(32, 32), QIcon::Normal).toImage();
  const QImage hot = icon.pixmap(QSize(32, 32), QIcon::Active).toImage();
  const QImage disabled = icon.pixmap(QSize(32, 32), QIcon::Disabled).toImage();
  QVERIFY(normal != hot);
  QVERIFY(normal != disabled);
  // The disabled look is grey.
  for (int y = 0; y < disabled.height(); ++y) {
    for (int x = 0; x < disabled.width(); ++x) {
      const QRgb p = disabled.pixel(x, y);
      if (qAlpha(p) == 0) continue;
      QVERIFY(qAbs(qRed(p) - qGreen(p)) <= 2 && qAbs(qGreen(p) - qBlue(p)) <= 2);
    }
  }
  QCOMPARE(images.Icon(5).isNull(), true);
}

void WindowDressingTest::artworkHasItsSizesAndTransparency() {
  for (int i = 0; i <= int(ToolImage::kExit); ++i) {
    const QImage image = DrawToolImage(ToolImage(i), ToolLook::kNormal, 32);
    QCOMPARE(image.size(), QSize(32, 32));
    // Drawn on a transparent ground: the corners show through.
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    QVERIFY(TransparentPixels(image) < 32 * 32);
  }
  QVERIFY(!ApplicationIcon().isNull());
  QCOMPARE(DrawWelcomePicture(QSize(400, 300)).size(), QSize(400, 300));
  QCOMPARE(DrawBanner(QSize(460, 72)).size(), QSize(460, 72));
  const QImage splash = DrawSplashPicture(QSize(480, 260));
  // Rounded corners of the colour key, a card of anything else.
  QCOMPARE(QColor(splash.pixel(0, 0)), palette::kColourKey);
  QCOMPARE(QColor(splash.pixel(479, 259)), palette::kColourKey);
  QVERIFY(QColor(splash.pixel(240, 130)) != palette::kColourKey);
}

void WindowDressingTest::splashTakesItsPicturesSizeAndShape() {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("Flash.bmp"));
  QVERIFY(DrawSplashPicture(QSize(480, 260)).convertToFormat(QImage::Format_RGB32).save(file));
  CSplashScreenEx splash;
  QCOMPARE(splash.Options(), 15);
  QCOMPARE(splash.TimeoutMs(), 2000);
  QVERIFY(splash.SetBitmap(file));
  QVERIFY(splash.HasBitmap());
  QCOMPARE(splash.size(), QSize(480, 260));
  // The colour key's pixels are cut out of the window.
  const QRegion shape = splash.mask();
  QVERIFY(!shape.contains(QPoint(0, 0)));
  QVERIFY(shape.contains(QPoint(240, 130)));
  QVERIFY(splash.windowFlags() & Qt::WindowStaysOnTopHint);
  QVERIFY(splash.windowFlags() & Qt::FramelessWindowHint);
}

void WindowDressingTest::splashWithoutPictureFileReportsFailure() {
  CSplashScreenEx splash;
  QVERIFY(!splash.SetBitmap(QStringLiteral("/nonexistent/Flash.bmp")));
  QVERIFY(!splash.HasBitmap());
}

void WindowDressingTest::builtSplashPictureIsShapedByItsColourKey() {
  // The Flash.bmp the build puts beside the program.
  CSplashScreenEx splash;
  QVERIFY2(splash.SetBitmap(QStringLiteral(MENDORA_SPLASH_PATH)), MENDORA_SPLASH_PATH);
  QCOMPARE(splash.size(), QSize(480, 260));
  QVERIFY(!splash.mask().contains(QPoint(1, 1)));
  QVERIFY(!splash.mask().contains(QPoint(478, 258)));
  QVERIFY(splash.mask().contains(QPoint(240, 130)));
}

void WindowDressingTest::splashHidesAfterItsTimeout() {
  CSplashScreenEx splash(nullptr, CSplashScreenEx::kDefaultOptions, 30);
  splash.SetBitmap(QPixmap::fromImage(DrawSplashPicture(QSize(200, 120))));
  QSignalSpy hidden(&splash, &CSplashScreenEx::Hidden);
  splash.Show();
  QVERIFY(splash.isVisible());
  QTRY_COMPARE(hidden.count(), 1);
  QVERIFY(!splash.isVisible());
}

void WindowDressingTest::splashHidesOnInputWhenAsked() {
  CSplashScreenEx ignoring(nullptr, CSplashScreenEx::kDefaultOptions, 0);
  ignoring.SetBitmap(QPixmap::fromImage(DrawSplashPicture(QSize(200, 120))));
  ignoring.Show();
  QTest::mouseClick(&ignoring, Qt::LeftButton);
  QVERIFY(ignoring.isVisible());

  CSplashScreenEx listening(nullptr,
                            CSplashScreenEx::kDefaultOptions | CSplashScreenEx::kHideOnInput, 0);
  listening.SetBitmap(QPixmap::fromImage(DrawSplashPicture(QSize(200, 120))));
  QSignalSpy hidden(&listening, &CSplashScreenEx::Hidden);
  listening.Show();
  QTest::keyClick(&listening, Qt::Key_Space);
  QTRY_COMPARE(hidden.count(), 1);
  QVERIFY(!listening.isVisible());
}

void WindowDressingTest::transparentLabelDrawsNoBackground() {
  QWidget parent;
  auto* label = new CTransparentStatic(&parent);
  QVERIFY(!label->autoFillBackground());
  QVERIFY(label->testAttribute(Qt::WA_NoSystemBackground));
  label->SetText(QStringLiteral("/data/Shop.mdf"));
  QCOMPARE(label->text(), QStringLiteral("/data/Shop.mdf"));
  label->SetText(QString());
  QVERIFY(label->text().isEmpty());
}

void WindowDressingTest::linkButtonColoursAndCursor() {
  CURLLinkButton link;
  link.setText(QStringLiteral("www.mendora.example"));
  QCOMPARE(link.cursor().shape(), Qt::PointingHandCursor);
  QCOMPARE(link.TextColour(), link.palette().color(QPalette::Active, QPalette::Highlight));
  QEnterEvent enter = Enter(&link);
  QApplication::sendEvent(&link, &enter);
  QVERIFY(link.Hot());
  QCOMPARE(link.TextColour(), link.palette().color(QPalette::Active, QPalette::Link));
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(&link, &leave);
  QVERIFY(!link.Hot());
  link.setEnabled(false);
  QCOMPARE(link.TextColour(), link.palette().color(QPalette::Disabled, QPalette::WindowText));
}

void WindowDressingTest::linkButtonOpensItsLinkAndIsVisited() {
  CURLLinkButton link;
  QList<QUrl> opened;
  link.SetOpener([&](const QUrl& url) { opened << url; });
  link.SetUrl(QUrl(QStringLiteral("mailto:support@mendora.example")));
  QVERIFY(!link.Visited());
  link.click();
  QCOMPARE(opened, QList<QUrl>{QUrl(QStringLiteral("mailto:support@mendora.example"))});
  QVERIFY(link.Visited());
  QCOMPARE(link.TextColour(), QColor(128, 0, 128));
  // The hot colour wins over the visited one while the mouse is over it.
  QEnterEvent enter = Enter(&link);
  QApplication::sendEvent(&link, &enter);
  QCOMPARE(link.TextColour(), link.palette().color(QPalette::Active, QPalette::Link));
}

void WindowDressingTest::aboutBoxHasItsTitleLabelsAndLinks() {
  CMdSqlAboutUs about;
  QCOMPARE(about.windowTitle(), QStringLiteral("About Mendora for Sql Server"));
  QVERIFY(!about.windowIcon().isNull());
  QStringList labels;
  for (QLabel* label : about.findChildren<QLabel*>()) labels << label->text();
  for (const char* expected : {"Website :", "Sales :", "Support :", "Mendora for Sql Server"}) {
    QVERIFY2(labels.contains(QString::fromLatin1(expected)), expected);
  }
  QList<QUrl> opened;
  about.SetOpener([&](const QUrl& url) { opened << url; });
  about.WebsiteLink()->click();
  about.SalesLink()->click();
  about.SupportLink()->click();
  QCOMPARE(opened.size(), 3);
  QCOMPARE(opened[0].scheme(), QStringLiteral("https"));
  QCOMPARE(opened[1].scheme(), QStringLiteral("mailto"));
  QCOMPARE(opened[2].scheme(), QStringLiteral("mailto"));
  // Each link stands beside its label.
  auto* form = about.findChild<QFormLayout*>();
  QVERIFY(form);
  QCOMPARE(form->rowCount(), 3);
  QCOMPARE(form->itemAt(0, QFormLayout::FieldRole)->widget(),
           static_cast<QWidget*>(about.WebsiteLink()));
}

void WindowDressingTest::aboutPageHasTheSameLinks() {
  CAboutUs page;
  CMdSqlAboutUs box;
  QCOMPARE(page.WebsiteLink()->Url(), box.WebsiteLink()->Url());
  QCOMPARE(page.SalesLink()->Url(), box.SalesLink()->Url());
  QCOMPARE(page.SupportLink()->Url(), box.SupportLink()->Url());
}

MENDORA_QTEST_MAIN(WindowDressingTest)
#include "WindowDressingTest.moc"
