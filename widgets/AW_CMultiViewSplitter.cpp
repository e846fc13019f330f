#include "widgets/AW_CMultiViewSplitter.h"

namespace widgets {

AW_CMultiViewSplitter::AW_CMultiViewSplitter(int columns, QWidget* parent)
    : QSplitter(Qt::Horizontal, parent) {
  setChildrenCollapsible(false);
  for (int i = 0; i < columns; ++i) {
    auto* pane = new QStackedWidget(this);
    addWidget(pane);
    panes_.push_back(pane);
  }
}

QStackedWidget* AW_CMultiViewSplitter::Pane(int row, int column) const {
  if (row != 0 || column < 0 || column >= static_cast<int>(panes_.size())) return nullptr;
  return panes_[column];
}

void AW_CMultiViewSplitter::SetPaneWidget(int row, int column, QWidget* view) {
  if (QStackedWidget* pane = Pane(row, column); pane && view) {
    pane->addWidget(view);
    pane->setCurrentWidget(view);
  }
}

int AW_CMultiViewSplitter::AddView(int row, int column, QWidget* view) {
  QStackedWidget* pane = Pane(row, column);
  if (!pane || !view) return -1;
  pane->addWidget(view);
  const int id = static_cast<int>(views_.size());
  views_.push_back({view, row, column});
  shown_[{row, column}] = id;
  pane->setCurrentWidget(view);
  return id;
}

bool AW_CMultiViewSplitter::ShowView(int id) {
  if (id < 0 || id >= ViewCount()) return false;
  const ViewEntry& entry = views_[id];
  Pane(entry.row, entry.column)->setCurrentWidget(entry.view);
  shown_[{entry.row, entry.column}] = id;
  return true;
}

int AW_CMultiViewSplitter::CurrentViewId(int row, int column) const {
  auto it = shown_.find({row, column});
  return it == shown_.end() ? -1 : it->second;
}

QWidget* AW_CMultiViewSplitter::View(int id) const {
  return id >= 0 && id < ViewCount() ? views_[id].view : nullptr;
}

}  // namespace widgets
