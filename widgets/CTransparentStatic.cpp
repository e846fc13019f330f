#include "widgets/CTransparentStatic.h"

namespace widgets {

CTransparentStatic::CTransparentStatic(QWidget* parent) : QLabel(parent) {
  setAutoFillBackground(false);
  setAttribute(Qt::WA_NoSystemBackground);
  setTextFormat(Qt::PlainText);
  setWordWrap(true);
}

void CTransparentStatic::SetText(const QString& text) {
  setText(text);
  if (QWidget* owner = parentWidget()) owner->repaint(geometry());
}

}  // namespace widgets
