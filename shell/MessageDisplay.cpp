#include "shell/MessageDisplay.h"

#include <QPainter>

#include "widgets/Artwork.h"

namespace shell {

MessageDisplay::MessageDisplay(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("MessageDisplay"));
  setAutoFillBackground(true);
  QPalette background = palette();
  background.setColor(QPalette::Window, Qt::white);
  setPalette(background);
}

void MessageDisplay::paintEvent(QPaintEvent*) {
  // The picture keeps its size, centred, and shrinks only when the pane is
  // smaller than it; it is drawn again only when the screen's scale changes.
  const qreal scale = devicePixelRatioF();
  if (picture_.isNull() || pictureScale_ != scale) {
    picture_ = widgets::DrawWelcomePicture(kPictureSize * scale);
    picture_.setDevicePixelRatio(scale);
    pictureScale_ = scale;
  }
  QSize shown = kPictureSize;
  shown.scale(kPictureSize.boundedTo(size() - QSize(16, 16)).expandedTo(QSize(1, 1)),
              Qt::KeepAspectRatio);
  QRect target(QPoint(0, 0), shown);
  target.moveCenter(rect().center());
  QPainter p(this);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  p.drawImage(target, picture_);
}

}  // namespace shell
