#include "widgets/Artwork.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>
#include <QtMath>

namespace widgets {
namespace {

using namespace palette;

QImage Blank(QSize size, const QColor& fill = Qt::transparent) {
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(fill);
  return image;
}

// Every picture is drawn on a 32-unit (toolbar) or free grid with outlines of
// one unit in the ink colour.
QPen InkPen(qreal width) {
  QPen pen(kInk, width);
  pen.setJoinStyle(Qt::RoundJoin);
  pen.setCapStyle(Qt::RoundCap);
  return pen;
}

// The data file: a cylinder with two bands, lit from the left.
void DrawCylinder(QPainter& p, const QRectF& r, const QColor& body, qreal line) {
  const qreal cap = r.height() * 0.24;
  QLinearGradient side(r.topLeft(), r.topRight());
  side.setColorAt(0.0, body.lighter(135));
  side.setColorAt(0.45, body);
  side.setColorAt(1.0, body.darker(135));
  QPainterPath shape;
  shape.moveTo(r.left(), r.top() + cap / 2);
  shape.lineTo(r.left(), r.bottom() - cap / 2);
  shape.arcTo(QRectF(r.left(), r.bottom() - cap, r.width(), cap), 180, 180);
  shape.lineTo(r.right(), r.top() + cap / 2);
  shape.arcTo(QRectF(r.left(), r.top(), r.width(), cap), 0, 180);
  p.setPen(InkPen(line));
  p.setBrush(side);
  p.drawPath(shape);
  // The bands: lower halves of the cap ellipse, a third and two thirds down.
  const qreal step = (r.height() - cap) / 3;
  p.setBrush(Qt::NoBrush);
  QPen band(body.lighter(170), line * 0.8);
  band.setCapStyle(Qt::FlatCap);
  p.setPen(band);
  for (int i = 1; i <= 2; ++i) {
    p.drawArc(QRectF(r.left() + line, r.top() + step * i, r.width() - 2 * line, cap), 200 * 16,
              140 * 16);
  }
  p.setPen(InkPen(line));
  p.setBrush(body.lighter(160));
  p.drawEllipse(QRectF(r.left(), r.top(), r.width(), cap));
}

// The recovery mark: three quarters of a circle ending in an arrow head.
void DrawRecoveryArrow(QPainter& p, const QPointF& centre, qreal radius, const QColor& colour,
                       qreal line) {
  QPen outline = InkPen(line * 3.2);
  QPen fill(colour, line * 1.8, Qt::SolidLine, Qt::FlatCap);
  const QRectF ring(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
  const int start = 100 * 16, span = -270 * 16;
  p.setBrush(Qt::NoBrush);
  p.setPen(outline);
  p.drawArc(ring, start, span);
  p.setPen(fill);
  p.drawArc(ring, start, span);
  // The head sits where the arc ends (100 - 270 = -170 degrees, just below
  // the left), pointing up along the direction of travel.
  const qreal a = qDegreesToRadians(-170.0);
  const QPointF tip(centre.x() + radius * std::cos(a), centre.y() - radius * std::sin(a));
  const qreal h = line * 3.4;
  QPolygonF head;
  head << QPointF(tip.x() - h, tip.y() + h * 0.2) << QPointF(tip.x() + h, tip.y() + h * 0.2)
       << QPointF(tip.x(), tip.y() - h * 1.3);
  p.setPen(InkPen(line));
  p.setBrush(colour);
  p.drawPolygon(head);
}

void DrawAppMark(QPainter& p, const QRectF& box) {
  const qreal u = box.width() / 32.0;
  DrawCylinder(p, QRectF(box.left() + 4 * u, box.top() + 2 * u, 19 * u, 25 * u), kBlue, u);
  QPointF centre(box.left() + 23 * u, box.top() + 23 * u);
  p.setPen(InkPen(u));
  p.setBrush(kPaper);
  p.drawEllipse(centre, 7.5 * u, 7.5 * u);
  DrawRecoveryArrow(p, centre, 4.4 * u, kAmber, u);
}

void DrawOpen(QPainter& p, qreal u, const QColor& tint) {
  QPainterPath back;
  back.moveTo(3 * u, 8 * u);
  back.lineTo(12 * u, 8 * u);
  back.lineTo(14.5 * u, 10.5 * u);
  back.lineTo(27 * u, 10.5 * u);
  back.lineTo(27 * u, 26 * u);
  back.lineTo(3 * u, 26 * u);
  back.closeSubpath();
  p.setPen(InkPen(u));
  p.setBrush(tint.darker(125));
  p.drawPath(back);
  QPolygonF front;
  front << QPointF(3 * u, 26 * u) << QPointF(7 * u, 14 * u) << QPointF(30 * u, 14 * u)
        << QPointF(26 * u, 26 * u);
  QLinearGradient g(0, 14 * u, 0, 26 * u);
  g.setColorAt(0, tint.lighter(120));
  g.setColorAt(1, tint);
  p.setBrush(g);
  p.drawPolygon(front);
}

void DrawStop(QPainter& p, qreal u, const QColor& tint) {
  QPolygonF octagon;
  for (int i = 0; i < 8; ++i) {
    qreal a = qDegreesToRadians(22.5 + 45.0 * i);
    octagon << QPointF(16 * u + 12.5 * u * std::cos(a), 16 * u + 12.5 * u * std::sin(a));
  }
  QLinearGradient g(0, 4 * u, 0, 28 * u);
  g.setColorAt(0, tint.lighter(125));
  g.setColorAt(1, tint);
  p.setPen(InkPen(u));
  p.setBrush(g);
  p.drawPolygon(octagon);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawRoundedRect(QRectF(10 * u, 14 * u, 12 * u, 4 * u), u, u);
}

void DrawSave(QPainter& p, qreal u, const QColor& tint) {
  QLinearGradient g(0, 4 * u, 0, 28 * u);
  g.setColorAt(0, tint.lighter(125));
  g.setColorAt(1, tint);
  p.setPen(InkPen(u));
  p.setBrush(g);
  p.drawRoundedRect(QRectF(4 * u, 4 * u, 24 * u, 24 * u), 2.5 * u, 2.5 * u);
  p.setBrush(Qt::white);
  p.drawRect(QRectF(8.5 * u, 4 * u, 15 * u, 9 * u));
  p.setBrush(tint.darker(140));
  p.setPen(Qt::NoPen);
  p.drawRect(QRectF(18 * u, 5.5 * u, 3 * u, 6 * u));
  p.setPen(InkPen(u));
  p.setBrush(kPaper);
  p.drawRoundedRect(QRectF(8.5 * u, 17 * u, 15 * u, 11 * u), u, u);
  p.setPen(QPen(kInk.lighter(250), u * 0.9));
  p.drawLine(QPointF(11 * u, 21 * u), QPointF(21 * u, 21 * u));
  p.drawLine(QPointF(11 * u, 24.5 * u), QPointF(21 * u, 24.5 * u));
}

void DrawBadge(QPainter& p, qreal u, const QColor& tint, const QString& glyph) {
  QRadialGradient g(QPointF(12 * u, 11 * u), 16 * u);
  g.setColorAt(0, tint.lighter(135));
  g.setColorAt(1, tint);
  p.setPen(InkPen(u));
  p.setBrush(g);
  p.drawEllipse(QPointF(16 * u, 16 * u), 12.5 * u, 12.5 * u);
  QFont font;
  font.setPixelSize(qRound(17 * u));
  font.setBold(true);
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(QRectF(0, 0.5 * u, 32 * u, 32 * u), Qt::AlignCenter, glyph);
}

void DrawExit(QPainter& p, qreal u, const QColor& tint) {
  p.setPen(InkPen(u));
  p.setBrush(kPaper);
  p.drawRect(QRectF(5 * u, 4 * u, 14 * u, 24 * u));
  QPolygonF door;
  door << QPointF(5 * u, 4 * u) << QPointF(14 * u, 7 * u) << QPointF(14 * u, 30 * u)
       << QPointF(5 * u, 28 * u);
  p.setBrush(tint.darker(115));
  p.drawPolygon(door);
  p.setBrush(kInk);
  p.drawEllipse(QPointF(12 * u, 18 * u), 0.9 * u, 0.9 * u);
  // The arrow leaving through the doorway.
  QPolygonF arrow;
  arrow << QPointF(17 * u, 14 * u) << QPointF(23 * u, 14 * u) << QPointF(23 * u, 10 * u)
        << QPointF(30 * u, 17 * u) << QPointF(23 * u, 24 * u) << QPointF(23 * u, 20 * u)
        << QPointF(17 * u, 20 * u);
  p.setBrush(kRed);
  p.drawPolygon(arrow);
}

QImage Greyed(const QImage& source) {
  QImage image = source.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      int grey = qGray(line[x]);
      grey = 150 + grey * 90 / 255;
      line[x] = qRgba(grey, grey, grey, qAlpha(line[x]) * 55 / 100);
    }
  }
  return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// Titles are drawn on one line: the size shrinks until the text fits.
void DrawTitle(QPainter& p, const QRectF& box, int pixelSize, const QColor& colour,
               const QString& text, Qt::Alignment align, bool bold = true) {
  QFont font;
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  while (bold && pixelSize > 8 && QFontMetricsF(font).horizontalAdvance(text) > box.width()) {
    font.setPixelSize(--pixelSize);
  }
  p.setFont(font);
  p.setPen(colour);
  p.drawText(box, align | Qt::TextWordWrap, text);
}

}  // namespace

QImage DrawToolImage(ToolImage image, ToolLook look, int size) {
  QImage out = Blank(QSize(size, size));
  QPainter p(&out);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal u = size / 32.0;
  const int lift = look == ToolLook::kHot ? 118 : 100;
  switch (image) {
    case ToolImage::kOpen:
      DrawOpen(p, u, kAmber.lighter(lift));
      break;
    case ToolImage::kStop:
      DrawStop(p, u, kRed.lighter(lift));
      break;
    case ToolImage::kSave:
      DrawSave(p, u, kGreen.lighter(lift));
      break;
    case ToolImage::kHelp:
      DrawBadge(p, u, kBlue.lighter(lift), QStringLiteral("?"));
      break;
    case ToolImage::kAbout:
      DrawBadge(p, u, kBlue.lighter(lift), QStringLiteral("i"));
      break;
    case ToolImage::kExit:
      DrawExit(p, u, kBlueLight.lighter(lift));
      break;
  }
  p.end();
  return look == ToolLook::kDisabled ? Greyed(out) : out;
}

QImage DrawApplicationImage(int size) {
  QImage out = Blank(QSize(size, size));
  QPainter p(&out);
  p.setRenderHint(QPainter::Antialiasing);
  DrawAppMark(p, QRectF(0, 0, size, size));
  return out;
}

QIcon ApplicationIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128, 256}) {
    icon.addPixmap(QPixmap::fromImage(DrawApplicationImage(size)));
  }
  return icon;
}

QImage DrawWelcomePicture(QSize size) {
  QImage out = Blank(size, Qt::white);
  QPainter p(&out);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  const qreal w = size.width(), h = size.height();
  QRectF card(w * 0.04, h * 0.06, w * 0.92, h * 0.88);
  QLinearGradient g(card.topLeft(), card.bottomLeft());
  g.setColorAt(0, kPaper);
  g.setColorAt(1, QColor(0xe6, 0xee, 0xf7));
  p.setPen(QPen(QColor(0xd5, 0xdf, 0xea), 1));
  p.setBrush(g);
  p.drawRoundedRect(card, 14, 14);
  const qreal mark = std::min(card.height() * 0.55, card.width() * 0.4);
  DrawAppMark(p,
              QRectF(card.center().x() - mark / 2, card.top() + card.height() * 0.1, mark, mark));
  const qreal textTop = card.top() + card.height() * 0.1 + mark + card.height() * 0.04;
  DrawTitle(p, QRectF(card.left(), textTop, card.width(), card.height() * 0.12),
            std::max(14, qRound(card.height() * 0.075)), kInk,
            QStringLiteral("Mendora for Sql Server"), Qt::AlignHCenter | Qt::AlignTop);
  DrawTitle(p,
            QRectF(card.left() + card.width() * 0.1, textTop + card.height() * 0.11,
                   card.width() * 0.8, card.height() * 0.14),
            std::max(10, qRound(card.height() * 0.038)), kInk.lighter(220),
            QStringLiteral("Tables, keys, indexes and program code recovered from a primary "
                           "data file, read page by page."),
            Qt::AlignHCenter | Qt::AlignTop, false);
  return out;
}

QImage DrawBanner(QSize size, const QString& subtitle) {
  QImage out = Blank(size);
  QPainter p(&out);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient g(0, 0, size.width(), 0);
  g.setColorAt(0, kBlue.darker(125));
  g.setColorAt(1, kBlue.lighter(115));
  p.fillRect(out.rect(), g);
  const qreal h = size.height();
  QRectF mark(h * 0.14, h * 0.1, h * 0.8, h * 0.8);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255, 60));
  p.drawEllipse(mark.adjusted(-h * 0.04, -h * 0.04, h * 0.04, h * 0.04));
  DrawAppMark(p, mark);
  DrawTitle(p, QRectF(h * 1.1, h * 0.16, size.width() - h * 1.2, h * 0.42), qRound(h * 0.3),
            Qt::white, QStringLiteral("Mendora for Sql Server"), Qt::AlignLeft | Qt::AlignVCenter);
  DrawTitle(p, QRectF(h * 1.1, h * 0.56, size.width() - h * 1.2, h * 0.3), qRound(h * 0.18),
            QColor(255, 255, 255, 215), subtitle, Qt::AlignLeft | Qt::AlignVCenter, false);
  return out;
}

QImage DrawAboutPicture(QSize size) {
  QImage out = Blank(size);
  QPainter p(&out);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal side = std::min(size.width(), size.height());
  QRectF disc((size.width() - side) / 2, (size.height() - side) / 2, side, side);
  QRadialGradient g(disc.center(), side / 2);
  g.setColorAt(0, kPaper);
  g.setColorAt(1, QColor(0xdc, 0xe7, 0xf3));
  p.setPen(QPen(QColor(0xc8, 0xd6, 0xe6), 1));
  p.setBrush(g);
  p.drawEllipse(disc.adjusted(1, 1, -1, -1));
  DrawAppMark(p, disc.adjusted(side * 0.18, side * 0.16, -side * 0.14, -side * 0.16));
  return out;
}

QImage DrawSplashPicture(QSize size) {
  QImage out = Blank(size, kColourKey);
  QPainter p(&out);
  // The outline is drawn without smoothing: a blended edge pixel would be
  // neither the key nor the card and would show as a fringe.
  const qreal w = size.width(), h = size.height();
  QLinearGradient g(0, 0, 0, h);
  g.setColorAt(0, kBlue.darker(105));
  g.setColorAt(1, kInk);
  p.setPen(Qt::NoPen);
  p.setBrush(g);
  p.drawRoundedRect(QRectF(0, 0, w, h), 18, 18);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  const qreal mark = h * 0.44;
  QRectF markBox(w * 0.07, (h - mark) / 2, mark, mark);
  p.setBrush(QColor(255, 255, 255, 40));
  p.drawEllipse(markBox.adjusted(-h * 0.05, -h * 0.05, h * 0.05, h * 0.05));
  DrawAppMark(p, markBox);
  const qreal left = markBox.right() + w * 0.07;
  DrawTitle(p, QRectF(left, h * 0.28, w - left - w * 0.04, h * 0.2), qRound(h * 0.088), Qt::white,
            QStringLiteral("Mendora for Sql Server"), Qt::AlignLeft | Qt::AlignVCenter);
  DrawTitle(p, QRectF(left, h * 0.48, w - left - w * 0.05, h * 0.24), qRound(h * 0.058),
            QColor(255, 255, 255, 200),
            QStringLiteral("Recovers the catalogue of SQL Server 2000, 2005 and 2008 data files"),
            Qt::AlignLeft | Qt::AlignTop, false);
  p.setPen(QPen(kAmber, 3));
  p.drawLine(QPointF(left, h * 0.27), QPointF(left + w * 0.12, h * 0.27));
  return out;
}

}  // namespace widgets
