// The main window's toolbar: flat, with smooth images that keep their
// per-pixel transparency. Each button has three images, normal, hot (under
// the mouse) and disabled, kept side by side in CAlphaImageList.
#pragma once

#include <QIcon>
#include <QImage>
#include <QSize>
#include <QToolBar>
#include <vector>

namespace widgets {

class CAlphaImageList {
 public:
  void Add(const QImage& normal, const QImage& hot, const QImage& disabled);
  int Count() const { return static_cast<int>(normal_.size()); }
  // The three looks as one icon: QIcon::Normal, Active (hot) and Disabled.
  QIcon Icon(int index) const;

 private:
  std::vector<QImage> normal_, hot_, disabled_;
};

class CAlphaToolBar final : public QToolBar {
  Q_OBJECT

 public:
  // Buttons of `buttonSize` pixels with images of `imageSize`.
  CAlphaToolBar(const QString& title, QSize buttonSize, QSize imageSize, QWidget* parent = nullptr);

  // Appends the action as a button showing image `index` of the list.
  void AddButton(QAction* action, const CAlphaImageList& images, int index);

 private:
  QSize buttonSize_;
};

}  // namespace widgets
