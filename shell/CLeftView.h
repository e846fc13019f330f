// The left pane: the tree of recovered objects. At first it holds the root
// "Mendora for Sql Server" only. It owns two timers: timer 1 (one second)
// asks whether the first file selection requested an analysis, timer 2
// animates the progress bar during a grid fill. The window decides what a
// tick does.
//
// The view handles the left mouse button itself: it finds where on which
// node the press landed and hands that to the window's click handler, which
// says whether the tree's own handling (selection, expanding) follows. The
// keyboard goes the same way: a node the arrows or a typed name move to is
// clicked on its label, and Space or Enter clicks its check box.
#pragma once

#include <QTimer>
#include <QTreeWidget>
#include <functional>

#include "browser/TreeClick.h"
#include "shell/QtTreeControl.h"

namespace shell {

class CLeftView final : public QTreeWidget {
  Q_OBJECT

 public:
  // Returns whether the tree's own click handling follows.
  using ClickHandler = std::function<bool(ui::TreeHandle node, mendora::TreeHit hit)>;

  CLeftView(int startupPollMs, QWidget* parent = nullptr);

  QtTreeControl& Control() { return control_; }
  QTimer& StartupTimer() { return startupTimer_; }
  QTimer& GridProgressTimer() { return gridProgressTimer_; }
  void SetClickHandler(ClickHandler handler) { onClick_ = std::move(handler); }

  // Shows only the nodes whose label holds `text` (any case), with their
  // branches and the way to them; an empty text shows every node again.
  void Filter(const QString& text);
  // Where on which node a point of the viewport lies.
  mendora::TreeHit HitTest(const QPoint& point, ui::TreeHandle* node) const;
  // The viewport rectangles of a node's check box (empty when it has none),
  // its label and its expand button.
  QRect CheckBoxRect(ui::TreeHandle node) const;
  QRect LabelRect(ui::TreeHandle node) const;
  QRect ButtonRect(ui::TreeHandle node) const;

 signals:
  void StartupTimerTicked();
  void GridProgressTicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QtTreeControl control_;
  QTimer startupTimer_;
  QTimer gridProgressTimer_;
  ClickHandler onClick_;
};

}  // namespace shell
