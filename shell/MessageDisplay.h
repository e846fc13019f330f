// The welcome picture of the right pane, shown at start-up, after Open and
// whenever the clicked tree node shows nothing else.
#pragma once

#include <QImage>
#include <QWidget>

namespace shell {

class MessageDisplay final : public QWidget {
  Q_OBJECT

 public:
  // The picture's size when the pane has room for it.
  static constexpr QSize kPictureSize{560, 380};

  explicit MessageDisplay(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage picture_;
  qreal pictureScale_ = 0;
};

}  // namespace shell
