#include "shell/QtPrompts.h"

#include <QApplication>
#include <QMessageBox>

#include "shell/QtText.h"

namespace shell {

QWidget* QtPrompts::Owner() const {
  if (owner_) return owner_;
  return QApplication::activeWindow();
}

void QtPrompts::Inform(const std::string& text, const std::string& caption) {
  QMessageBox box(QMessageBox::Information, Utf8ToQString(caption), Utf8ToQString(text),
                  QMessageBox::Ok, Owner());
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

bool QtPrompts::AskYesNo(const std::string& text, const std::string& caption, ui::PromptIcon icon) {
  QMessageBox box(
      icon == ui::PromptIcon::kQuestion ? QMessageBox::Question : QMessageBox::Information,
      Utf8ToQString(caption), Utf8ToQString(text), QMessageBox::Yes | QMessageBox::No, Owner());
  box.setWindowModality(Qt::ApplicationModal);
  return box.exec() == QMessageBox::Yes;
}

}  // namespace shell
