// A label drawn on a transparent background: whatever its parent paints
// under it shows through. Setting a new text repaints the parent's area under
// the label at once, so that no trace of the old text stays.
#pragma once

#include <QLabel>

namespace widgets {

class CTransparentStatic final : public QLabel {
  Q_OBJECT

 public:
  explicit CTransparentStatic(QWidget* parent = nullptr);

  void SetText(const QString& text);
};

}  // namespace widgets
