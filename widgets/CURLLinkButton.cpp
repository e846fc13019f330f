#include "widgets/CURLLinkButton.h"

#include <QDesktopServices>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace widgets {

CURLLinkButton::CURLLinkButton(QWidget* parent) : QPushButton(parent) {
  setCursor(Qt::PointingHandCursor);
  setFlat(true);
  setAttribute(Qt::WA_Hover);
  opener_ = [](const QUrl& url) { QDesktopServices::openUrl(url); };
  connect(this, &QPushButton::clicked, this, &CURLLinkButton::Open);
}

QFont CURLLinkButton::LinkFont() const {
  QFont f = font();
  f.setPixelSize(kTextPixelHeight);
  f.setWeight(QFont::ExtraBold);  // weight 800
  f.setUnderline(true);
  return f;
}

QColor CURLLinkButton::TextColour() const {
  if (!isEnabled()) return palette().color(QPalette::Disabled, QPalette::WindowText);
  if (hot_) return palette().color(QPalette::Active, QPalette::Link);
  if (visited_) return kVisitedColour;
  return palette().color(QPalette::Active, QPalette::Highlight);
}

QSize CURLLinkButton::sizeHint() const {
  QFontMetrics metrics(LinkFont());
  return QSize(metrics.horizontalAdvance(text()) + 8, metrics.height() + 6);
}

void CURLLinkButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setFont(LinkFont());
  p.setPen(TextColour());
  p.drawText(rect().adjusted(4, 0, -4, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
             text());
  if (hasFocus()) {
    QStyleOptionFocusRect option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &p, this);
  }
}

void CURLLinkButton::enterEvent(QEnterEvent* event) {
  hot_ = true;
  update();
  QPushButton::enterEvent(event);
}

void CURLLinkButton::leaveEvent(QEvent* event) {
  hot_ = false;
  update();
  QPushButton::leaveEvent(event);
}

void CURLLinkButton::focusOutEvent(QFocusEvent* event) {
  update();
  QPushButton::focusOutEvent(event);
}

void CURLLinkButton::Open() {
  if (!url_.isValid()) return;
  visited_ = true;
  update();
  if (opener_) opener_(url_);
}

}  // namespace widgets
