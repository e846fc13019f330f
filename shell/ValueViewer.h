// The value viewer: the whole of one cell's value beside the grid. Text is
// wrapped and scrolls; binary is shown as hex and, where its bytes are a
// picture (PNG, JPEG, GIF, BMP, and the BMP behind an OLE object header), as
// the picture above its hex. Save value to file writes the value: a
// picture's own bytes, other binary as stored, text as UTF-8.
#pragma once

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>

#include "engine/CatalogueRecords.h"
#include "engine/Value.h"

class QScrollArea;

namespace shell {

class ValueViewer final : public QWidget {
  Q_OBJECT

 public:
  explicit ValueViewer(QWidget* parent = nullptr);

  // Shows `value` of `column`; null shows nothing.
  void Show(const mendora::Value* value, const mendora::_SYSCOLUMNS& column);
  void Clear();

  QLabel* Picture() const { return picture_; }
  QPlainTextEdit* Text() const { return text_; }
  // Whether a picture shows, and its format's name ("BMP").
  bool ShowsPicture() const { return !pictureFormat_.isEmpty(); }
  QString PictureFormat() const { return pictureFormat_; }
  // Writes the value shown to `path`; false when it cannot be written.
  bool SaveTo(const QString& path) const;

 private:
  void OnSave();

  QLabel* caption_;
  QScrollArea* pictureArea_;
  QLabel* picture_;
  QPlainTextEdit* text_;
  QPushButton* save_;
  QByteArray saved_;  // what Save value to file writes
  QString suffix_;
  QString pictureFormat_;
};

}  // namespace shell
