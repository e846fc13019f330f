// The about page kept in the main window's right pane: the same links as the
// about box on a plain page. The window creates it with the other views but
// never shows it.
#pragma once

#include <QWidget>

#include "widgets/CURLLinkButton.h"

namespace widgets {

class CAboutUs final : public QWidget {
  Q_OBJECT

 public:
  explicit CAboutUs(QWidget* parent = nullptr);

  CURLLinkButton* WebsiteLink() const { return website_; }
  CURLLinkButton* SalesLink() const { return sales_; }
  CURLLinkButton* SupportLink() const { return support_; }

 private:
  CURLLinkButton* website_;
  CURLLinkButton* sales_;
  CURLLinkButton* support_;
};

}  // namespace widgets
