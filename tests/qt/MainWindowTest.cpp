// The main window on the offscreen platform.
#include <QMainWindow>
#include <QtTest>

#include "shell/MainWindow.h"
#include "ui/ProductTexts.h"

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void runsOnTheOffscreenPlatform();
  void titleIsTheSystemsWindowTitle();
  void titleStaysWhenTheWindowIsShown();
};

void MainWindowTest::runsOnTheOffscreenPlatform() {
  QCOMPARE(QGuiApplication::platformName(), QStringLiteral("offscreen"));
}

void MainWindowTest::titleIsTheSystemsWindowTitle() {
  shell::MainWindow window;
  // The system's title, with its one leading blank, written out here so that
  // a change to the product texts shows as well.
  QCOMPARE(window.windowTitle(), QStringLiteral(" Mendora for Sql Server"));
  QCOMPARE(window.windowTitle(), QString::fromUtf8(texts::kWindowTitle));
  QVERIFY(window.isWindow());
}

void MainWindowTest::titleStaysWhenTheWindowIsShown() {
  shell::MainWindow window;
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  QVERIFY(window.isVisible());
  QCOMPARE(window.windowHandle()->title(), QStringLiteral(" Mendora for Sql Server"));
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
