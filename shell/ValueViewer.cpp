#include "shell/ValueViewer.h"

#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QImage>
#include <QPixmap>
#include <QScrollArea>
#include <QVBoxLayout>

#include "browser/Picture.h"
#include "engine/ValueText.h"
#include "shell/QtText.h"
#include "sql/ColumnTypeName.h"

namespace shell {
namespace {

// How much of a long binary value the hex view shows.
constexpr int kHexBytesShown = 64 * 1024;

QString HexDump(const QByteArray& bytes) {
  QString out;
  const int shown = std::min<int>(bytes.size(), kHexBytesShown);
  out.reserve(shown * 4);
  for (int at = 0; at < shown; at += 16) {
    out += QStringLiteral("%1  ").arg(at, 8, 16, QLatin1Char('0')).toUpper();
    QString ascii;
    for (int i = at; i < at + 16; ++i) {
      if (i < shown) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out += QStringLiteral("%1 ").arg(b, 2, 16, QLatin1Char('0')).toUpper();
        ascii += b >= 0x20 && b < 0x7F ? QChar(b) : QChar('.');
      } else {
        out += QStringLiteral("   ");
      }
    }
    out += QStringLiteral(" ") + ascii + QStringLiteral("\n");
  }
  if (bytes.size() > shown) {
    out += QStringLiteral("... %1 bytes more\n").arg(bytes.size() - shown);
  }
  return out;
}

QString SizeText(qsizetype bytes) {
  return bytes < 1024 ? QStringLiteral("%1 bytes").arg(bytes)
                      : QStringLiteral("%1 KB").arg((bytes + 1023) / 1024);
}

}  // namespace

ValueViewer::ValueViewer(QWidget* parent)
    : QWidget(parent),
      caption_(new QLabel(this)),
      pictureArea_(new QScrollArea(this)),
      picture_(new QLabel),
      text_(new QPlainTextEdit(this)),
      save_(new QPushButton(QStringLiteral("Save value to file"), this)) {
  setObjectName(QStringLiteral("ValueViewer"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  caption_->setWordWrap(true);
  caption_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  picture_->setAlignment(Qt::AlignCenter);
  pictureArea_->setWidget(picture_);
  pictureArea_->setWidgetResizable(true);
  pictureArea_->hide();
  text_->setReadOnly(true);
  text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  text_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  layout->addWidget(caption_);
  layout->addWidget(pictureArea_, 1);
  layout->addWidget(text_, 1);
  layout->addWidget(save_);
  save_->setEnabled(false);
  connect(save_, &QPushButton::clicked, this, &ValueViewer::OnSave);
}

void ValueViewer::Clear() {
  caption_->clear();
  picture_->clear();
  pictureArea_->hide();
  text_->clear();
  saved_.clear();
  pictureFormat_.clear();
  save_->setEnabled(false);
}

void ValueViewer::Show(const mendora::Value* value, const mendora::_SYSCOLUMNS& column) {
  Clear();
  if (!value) return;
  using mendora::ValueKind;
  const QString type = ToQString(mendora::ColumnTypeName(column));
  QString caption = ToQString(column.name) + QStringLiteral("  (") + type + QStringLiteral(")");
  if (value->kind == ValueKind::kNull) {
    caption_->setText(caption);
    text_->setPlainText(QStringLiteral("NULL"));
    return;
  }
  if (value->kind == ValueKind::kBinary || value->kind == ValueKind::kGuid) {
    const QByteArray bytes(reinterpret_cast<const char*>(value->bytes.data()),
                           static_cast<qsizetype>(value->bytes.size()));
    saved_ = bytes;
    suffix_ = QStringLiteral(".bin");
    const mendora::PictureSpan found = mendora::FindPicture(value->bytes);
    QImage image;
    if (found.format != mendora::PictureFormat::kNone &&
        image.loadFromData(bytes.mid(static_cast<qsizetype>(found.offset)))) {
      pictureFormat_ = QString::fromLatin1(mendora::PictureFormatName(found.format));
      saved_ = bytes.mid(static_cast<qsizetype>(found.offset));
      suffix_ = QStringLiteral(".") +
                pictureFormat_.toLower().replace(QStringLiteral("jpeg"), QStringLiteral("jpg"));
      picture_->setPixmap(QPixmap::fromImage(image));
      pictureArea_->show();
      caption += QStringLiteral(", %1 picture %2 x %3")
                     .arg(pictureFormat_)
                     .arg(image.width())
                     .arg(image.height());
    }
    caption_->setText(caption + QStringLiteral(", ") + SizeText(bytes.size()));
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setPlainText(HexDump(bytes));
  } else {
    const QString text = value->kind == ValueKind::kString
                             ? ToQString(value->text)
                             : QString::fromStdString(mendora::ExactText(*value));
    saved_ = text.toUtf8();
    suffix_ = QStringLiteral(".txt");
    caption_->setText(caption + QStringLiteral(", %1 characters").arg(text.size()));
    text_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    text_->setPlainText(text);
  }
  save_->setEnabled(true);
}

bool ValueViewer::SaveTo(const QString& path) const {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  return file.write(saved_) == saved_.size() && file.flush();
}

void ValueViewer::OnSave() {
  const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save value to file"),
                                                    QStringLiteral("value") + suffix_);
  if (path.isEmpty()) return;
  if (!SaveTo(path)) {
    caption_->setText(caption_->text() + QStringLiteral("\nCould not write ") + path);
  }
}

}  // namespace shell
