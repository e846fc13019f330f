#include "shell/DamageList.h"

#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace shell {

DamageList::DamageList(QWidget* parent)
    : QDialog(parent), list_(new QTreeWidget(this)), note_(new QLabel(this)) {
  setObjectName(QStringLiteral("DamageList"));
  setWindowTitle(QStringLiteral("Damage"));
  list_->setObjectName(QStringLiteral("DamageEntries"));
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setAlternatingRowColors(true);
  list_->setHeaderLabels({QStringLiteral("File"), QStringLiteral("Page"), QStringLiteral("Slot"),
                          QStringLiteral("Offset"), QStringLiteral("Reason")});
  list_->header()->setStretchLastSection(true);
  note_->setWordWrap(true);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(note_);
  layout->addWidget(list_, 1);
  resize(820, 420);
}

void DamageList::SetEntries(const std::vector<mendora::DamageEntry>& entries, uint64_t notKept) {
  list_->clear();
  QList<QTreeWidgetItem*> items;
  items.reserve(static_cast<int>(entries.size()));
  for (const mendora::DamageEntry& e : entries) {
    auto* item = new QTreeWidgetItem;
    item->setText(0, QString::number(e.file));
    item->setText(1, QString::number(e.page));
    if (e.slot) item->setText(2, QString::number(*e.slot));
    if (e.offset) item->setText(3, QString::number(*e.offset));
    item->setText(4, QString::fromUtf8(e.reason));
    for (int c = 0; c < 4; ++c) item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    items.append(item);
  }
  list_->addTopLevelItems(items);
  for (int c = 0; c < 4; ++c) list_->resizeColumnToContents(c);
  QString note = QStringLiteral(
      "What the catalogue recovery and the reads of the tables shown so far skipped; a table "
      "adds its own when its rows are read.");
  if (notKept) {
    note += QStringLiteral(" %1 more entries were only counted.")
                .arg(QLocale().toString(static_cast<qulonglong>(notKept)));
  }
  note_->setText(note);
}

}  // namespace shell
