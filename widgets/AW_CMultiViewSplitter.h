// A splitter whose panes can each hold several views, exactly one of them
// shown. Views are named by ids 0, 1, 2, ... in the order they were added;
// a hidden view stays alive, so its timers keep running and it keeps
// receiving calls.
#pragma once

#include <QSplitter>
#include <QStackedWidget>
#include <map>
#include <vector>

namespace widgets {

class AW_CMultiViewSplitter final : public QSplitter {
  Q_OBJECT

 public:
  // A static splitter of one row and `columns` panes (rows are kept for the
  // pane addresses; the panes run side by side).
  explicit AW_CMultiViewSplitter(int columns, QWidget* parent = nullptr);

  // A pane that always shows the one widget it is given.
  void SetPaneWidget(int row, int column, QWidget* view);

  // Adds a view to a pane, hides the pane's current view and shows the new
  // one. Returns the view's id, or -1 when the pane does not exist or there
  // is no view (the pane keeps showing what it showed).
  int AddView(int row, int column, QWidget* view);
  // Hides the current view of the id's pane and shows the view with that id.
  // False for an unknown id, which changes nothing.
  bool ShowView(int id);

  // The view shown in a pane, its id, and a view by id; -1 or null for none.
  int CurrentViewId(int row, int column) const;
  QWidget* View(int id) const;
  int ViewCount() const { return static_cast<int>(views_.size()); }

 private:
  struct ViewEntry {
    QWidget* view;
    int row;
    int column;
  };
  QStackedWidget* Pane(int row, int column) const;

  std::vector<QStackedWidget*> panes_;
  std::vector<ViewEntry> views_;
  std::map<std::pair<int, int>, int> shown_;
};

}  // namespace widgets
