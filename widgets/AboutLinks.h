// The maker's contact links shown by both about boxes.
#pragma once

#include <QString>
#include <QUrl>

namespace widgets {

struct AboutLink {
  QString label;  // "Website :", "Sales :", "Support :"
  QString text;
  QUrl url;
};

inline const AboutLink kWebsiteLink{QStringLiteral("Website :"),
                                    QStringLiteral("www.mendora.example"),
                                    QUrl(QStringLiteral("https://www.mendora.example/"))};
inline const AboutLink kSalesLink{QStringLiteral("Sales :"),
                                  QStringLiteral("sales@mendora.example"),
                                  QUrl(QStringLiteral("mailto:sales@mendora.example"))};
inline const AboutLink kSupportLink{QStringLiteral("Support :"),
                                    QStringLiteral("support@mendora.example"),
                                    QUrl(QStringLiteral("mailto:support@mendora.example"))};

}  // namespace widgets
