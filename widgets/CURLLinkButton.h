// A push button drawn as a hyperlink: single line, bold and underlined, in
// the hot colour while the mouse is over it, purple once visited, the
// highlight colour otherwise and grey when disabled, with the hand pointer.
// Clicking it opens its link.
#pragma once

#include <QPushButton>
#include <QUrl>
#include <functional>

namespace widgets {

class CURLLinkButton final : public QPushButton {
  Q_OBJECT

 public:
  // Opens a link; the default asks the desktop to open it.
  using Opener = std::function<void(const QUrl&)>;

  inline static const QColor kVisitedColour{128, 0, 128};
  static constexpr int kTextPixelHeight = 14;

  explicit CURLLinkButton(QWidget* parent = nullptr);

  void SetUrl(const QUrl& url) { url_ = url; }
  QUrl Url() const { return url_; }
  void SetOpener(Opener opener) { opener_ = std::move(opener); }

  bool Visited() const { return visited_; }
  bool Hot() const { return hot_; }
  // The colour the text is drawn in now.
  QColor TextColour() const;
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void Open();
  QFont LinkFont() const;

  QUrl url_;
  Opener opener_;
  bool visited_ = false;
  bool hot_ = false;
};

}  // namespace widgets
