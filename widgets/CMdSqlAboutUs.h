// The about box of the About command: the program's picture, its name and
// version, and the maker's web and mail links as hyperlink buttons beside
// the labels "Website :", "Sales :" and "Support :".
#pragma once

#include <QDialog>
#include <memory>

#include "widgets/CURLLinkButton.h"

namespace Ui {
class CMdSqlAboutUs;
}

namespace widgets {

class CMdSqlAboutUs final : public QDialog {
  Q_OBJECT

 public:
  explicit CMdSqlAboutUs(QWidget* parent = nullptr);
  ~CMdSqlAboutUs() override;

  CURLLinkButton* WebsiteLink() const;
  CURLLinkButton* SalesLink() const;
  CURLLinkButton* SupportLink() const;
  // A line about the data file the window shows (its name and release);
  // none when empty.
  void SetFileText(const QString& text);
  QString FileText() const;
  // Where every link of the box goes when clicked.
  void SetOpener(const CURLLinkButton::Opener& opener);

 private:
  std::unique_ptr<Ui::CMdSqlAboutUs> ui_;
};

}  // namespace widgets
