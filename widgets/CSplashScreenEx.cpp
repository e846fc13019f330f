#include "widgets/CSplashScreenEx.h"

#include <QBitmap>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPropertyAnimation>
#include <QScreen>

#include "widgets/Artwork.h"

namespace widgets {

CSplashScreenEx::CSplashScreenEx(QWidget* parent, int options, int timeoutMs)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      options_(options),
      timeoutMs_(timeoutMs) {
  setObjectName(QStringLiteral("SplashScreenEx"));
  setAttribute(Qt::WA_ShowWithoutActivating);
  hideTimer_.setSingleShot(true);
  connect(&hideTimer_, &QTimer::timeout, this, &CSplashScreenEx::Hide);
  resize(0, 0);
}

bool CSplashScreenEx::CanFade() {
  const QString platform = QGuiApplication::platformName();
  return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

bool CSplashScreenEx::SetBitmap(const QString& path) {
  QPixmap picture;
  if (path.isEmpty() || !picture.load(path)) {
    picture_ = QPixmap();
    resize(0, 0);
    return false;
  }
  SetBitmap(picture);
  return true;
}

void CSplashScreenEx::SetBitmap(const QPixmap& picture) {
  picture_ = picture;
  setFixedSize(picture_.size());
  // The shape: every pixel but those of the colour key.
  QImage image = picture_.toImage().convertToFormat(QImage::Format_RGB32);
  setMask(
      QBitmap::fromImage(image.createMaskFromColor(palette::kColourKey.rgb(), Qt::MaskInColor)));
  Place();
}

void CSplashScreenEx::Place() {
  QRect area;
  if ((options_ & kCentreOnParent) && parentWidget()) {
    area = parentWidget()->frameGeometry();
  } else if (options_ & kCentreOnScreen) {
    if (QScreen* screen = QGuiApplication::primaryScreen()) area = screen->availableGeometry();
  }
  if (area.isValid()) move(area.center() - rect().center());
}

void CSplashScreenEx::Show() {
  hiding_ = false;
  Place();
  if ((options_ & kFadeIn) && CanFade()) {
    setWindowOpacity(0.0);
    show();
    auto* fade = new QPropertyAnimation(this, "windowOpacity", this);
    fade->setDuration(kFadeInMs);
    fade->setStartValue(0.0);
    fade->setEndValue(1.0);
    // The timeout counts from when the window is fully there.
    if (timeoutMs_ != 0) {
      connect(fade, &QPropertyAnimation::finished, this, [this] { hideTimer_.start(timeoutMs_); });
    }
    fade_ = fade;
    fade->start(QAbstractAnimation::DeleteWhenStopped);
  } else {
    show();
    if (timeoutMs_ != 0) hideTimer_.start(timeoutMs_);
  }
  raise();
}

void CSplashScreenEx::Hide() {
  if (hiding_) return;
  hiding_ = true;
  hideTimer_.stop();
  if (fade_) fade_->stop();
  if ((options_ & kFadeOut) && CanFade() && isVisible()) {
    auto* fade = new QPropertyAnimation(this, "windowOpacity", this);
    fade->setDuration(kFadeOutMs);
    fade->setStartValue(windowOpacity());
    fade->setEndValue(0.0);
    connect(fade, &QPropertyAnimation::finished, this, &CSplashScreenEx::FinishHide);
    fade_ = fade;
    fade->start(QAbstractAnimation::DeleteWhenStopped);
  } else {
    FinishHide();
  }
}

void CSplashScreenEx::FinishHide() {
  hide();
  emit Hidden();
}

void CSplashScreenEx::paintEvent(QPaintEvent*) {
  if (picture_.isNull()) return;
  QPainter p(this);
  p.drawPixmap(0, 0, picture_);
}

void CSplashScreenEx::keyPressEvent(QKeyEvent* event) {
  if (options_ & kHideOnInput) {
    Hide();
    return;
  }
  QWidget::keyPressEvent(event);
}

void CSplashScreenEx::mousePressEvent(QMouseEvent* event) {
  if (options_ & kHideOnInput) {
    Hide();
    return;
  }
  QWidget::mousePressEvent(event);
}

}  // namespace widgets
