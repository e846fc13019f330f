// The "Damage" list: every page, record and value the readers skipped, one
// line each with its file, page, slot, page offset and the reason, as
// `mendora-cli info --damage` prints them. The window opens it from the
// status bar; it shows what the catalogue recovery met and what the reads
// of the tables shown so far met, and grows as more tables are read.
#pragma once

#include <QDialog>
#include <vector>

#include "engine/DamageReport.h"

class QLabel;
class QTreeWidget;

namespace shell {

class DamageList final : public QDialog {
  Q_OBJECT

 public:
  explicit DamageList(QWidget* parent = nullptr);

  // The entries in the order the readers met them; `notKept`: more entries
  // the report only counted.
  void SetEntries(const std::vector<mendora::DamageEntry>& entries, uint64_t notKept);
  QTreeWidget* List() const { return list_; }

 private:
  QTreeWidget* list_;
  QLabel* note_;
};

}  // namespace shell
