#include "widgets/CMdSqlAboutUs.h"

#include <QCoreApplication>
#include <QFont>
#include <QPixmap>

#include "ui/ProductTexts.h"
#include "ui_CMdSqlAboutUs.h"
#include "widgets/AboutLinks.h"
#include "widgets/Artwork.h"

namespace widgets {
namespace {

void SetLink(CURLLinkButton* button, const AboutLink& link) {
  button->setText(link.text);
  button->SetUrl(link.url);
  button->setToolTip(link.url.toString());
}

}  // namespace

CMdSqlAboutUs::CMdSqlAboutUs(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::CMdSqlAboutUs>()) {
  ui_->setupUi(this);
  setWindowTitle(QString::fromUtf8(texts::kAboutTitle));
  setWindowIcon(ApplicationIcon());
  ui_->picture->setPixmap(QPixmap::fromImage(DrawAboutPicture(QSize(150, 150))));
  QFont title = ui_->productName->font();
  title.setPixelSize(20);
  title.setBold(true);
  ui_->productName->setFont(title);
  ui_->productName->setText(QString::fromUtf8(texts::kProductName));
  const QString version = QCoreApplication::applicationVersion();
  ui_->versionText->setText(version.isEmpty() ? QString() : QStringLiteral("Version ") + version);
  ui_->versionText->setVisible(!version.isEmpty());
  ui_->fileText->setVisible(false);
  SetLink(ui_->websiteLink, kWebsiteLink);
  SetLink(ui_->salesLink, kSalesLink);
  SetLink(ui_->supportLink, kSupportLink);
  connect(ui_->buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  setFixedSize(sizeHint());
}

CMdSqlAboutUs::~CMdSqlAboutUs() = default;

void CMdSqlAboutUs::SetFileText(const QString& text) {
  ui_->fileText->setText(text);
  ui_->fileText->setVisible(!text.isEmpty());
  setFixedSize(sizeHint());
}

QString CMdSqlAboutUs::FileText() const {
  return ui_->fileText->text();
}

CURLLinkButton* CMdSqlAboutUs::WebsiteLink() const {
  return ui_->websiteLink;
}
CURLLinkButton* CMdSqlAboutUs::SalesLink() const {
  return ui_->salesLink;
}
CURLLinkButton* CMdSqlAboutUs::SupportLink() const {
  return ui_->supportLink;
}

void CMdSqlAboutUs::SetOpener(const CURLLinkButton::Opener& opener) {
  for (CURLLinkButton* link : {WebsiteLink(), SalesLink(), SupportLink()}) link->SetOpener(opener);
}

}  // namespace widgets
