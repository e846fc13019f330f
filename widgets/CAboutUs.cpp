#include "widgets/CAboutUs.h"

#include <QFormLayout>
#include <QLabel>

#include "widgets/AboutLinks.h"

namespace widgets {
namespace {

CURLLinkButton* AddLink(QFormLayout* form, const AboutLink& link, QWidget* parent) {
  auto* button = new CURLLinkButton(parent);
  button->setText(link.text);
  button->SetUrl(link.url);
  form->addRow(new QLabel(link.label, parent), button);
  return button;
}

}  // namespace

CAboutUs::CAboutUs(QWidget* parent) : QWidget(parent) {
  auto* form = new QFormLayout(this);
  website_ = AddLink(form, kWebsiteLink, this);
  sales_ = AddLink(form, kSalesLink, this);
  support_ = AddLink(form, kSupportLink, this);
}

}  // namespace widgets
