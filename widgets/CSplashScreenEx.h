// The splash window: a borderless, top-most popup of exactly the size of its
// picture. Pixels of the colour key RGB(255, 0, 240) are cut out of its
// shape. It fades in and out where the platform can change a window's
// opacity, and hides itself after a timeout.
#pragma once

#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

class QPropertyAnimation;

namespace widgets {

class CSplashScreenEx final : public QWidget {
  Q_OBJECT

 public:
  enum Option {
    kFadeIn = 1,
    kFadeOut = 2,
    kShadow = 4,
    kCentreOnScreen = 8,
    kCentreOnParent = 16,
    kHideOnInput = 32,
  };
  static constexpr int kDefaultOptions = kFadeIn | kFadeOut | kShadow | kCentreOnScreen;
  static constexpr int kDefaultTimeoutMs = 2000;
  static constexpr int kFadeInMs = 500;
  static constexpr int kFadeOutMs = 200;

  explicit CSplashScreenEx(QWidget* parent = nullptr, int options = kDefaultOptions,
                           int timeoutMs = kDefaultTimeoutMs);

  // Loads the picture from a file; false, with no picture kept, when it
  // cannot be read. The window takes the picture's size and shape.
  bool SetBitmap(const QString& path);
  void SetBitmap(const QPixmap& picture);
  bool HasBitmap() const { return !picture_.isNull(); }

  // Places and shows the window and starts the hide timer (timeout not 0).
  void Show();
  // Stops the timer, fades out where it can and hides; emits Hidden() once
  // the window is gone from the screen.
  void Hide();

  int Options() const { return options_; }
  int TimeoutMs() const { return timeoutMs_; }
  // Whether this platform shows changes of window opacity.
  static bool CanFade();

 signals:
  void Hidden();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void Place();
  void FinishHide();

  int options_;
  int timeoutMs_;
  QPixmap picture_;
  QTimer hideTimer_;
  QPointer<QPropertyAnimation> fade_;
  bool hiding_ = false;
};

}  // namespace widgets
