#include "widgets/CAlphaToolBar.h"

#include <QAction>
#include <QPixmap>
#include <QToolButton>

namespace widgets {

void CAlphaImageList::Add(const QImage& normal, const QImage& hot, const QImage& disabled) {
  normal_.push_back(normal);
  hot_.push_back(hot);
  disabled_.push_back(disabled);
}

QIcon CAlphaImageList::Icon(int index) const {
  QIcon icon;
  if (index < 0 || index >= Count()) return icon;
  icon.addPixmap(QPixmap::fromImage(normal_[index]), QIcon::Normal);
  icon.addPixmap(QPixmap::fromImage(hot_[index]), QIcon::Active);
  icon.addPixmap(QPixmap::fromImage(disabled_[index]), QIcon::Disabled);
  return icon;
}

CAlphaToolBar::CAlphaToolBar(const QString& title, QSize buttonSize, QSize imageSize,
                             QWidget* parent)
    : QToolBar(title, parent), buttonSize_(buttonSize) {
  // It docks on any side of the window, or floats.
  setMovable(true);
  setAllowedAreas(Qt::AllToolBarAreas);
  setIconSize(imageSize);
  setToolButtonStyle(Qt::ToolButtonIconOnly);
}

void CAlphaToolBar::AddButton(QAction* action, const CAlphaImageList& images, int index) {
  action->setIcon(images.Icon(index));
  addAction(action);
  if (auto* button = qobject_cast<QToolButton*>(widgetForAction(action))) {
    button->setAutoRaise(true);  // flat until the mouse is over it
    button->setFixedSize(buttonSize_);
  }
}

}  // namespace widgets
