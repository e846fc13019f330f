// The file selection dialog: the user picks a data file, sees its path and
// presses Start, which closes any data file still open and opens the chosen
// one for exclusive reading. It ends with Accepted once the file is open, or
// with Rejected on Cancel (or Esc, or the close box).
#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "engine/DataFile.h"
#include "shell/ShellSettings.h"
#include "ui/JobState.h"
#include "ui/Prompts.h"

namespace Ui {
class CBrowse;
}
class QComboBox;
class QPushButton;

namespace widgets {
class CTransparentStatic;
}

namespace shell {

class CBrowse final : public QDialog {
  Q_OBJECT

 public:
  // `chooseFile` empty: the system's file-open dialog.
  CBrowse(ui::JobState& state, mendora::DataFile& file, ui::Prompts& prompts, ChooseFile chooseFile,
          QWidget* parent = nullptr);
  ~CBrowse() override;

  QPushButton* SelectButton() const;
  QPushButton* StartButton() const;
  QPushButton* CancelButton() const;
  widgets::CTransparentStatic* PathLabel() const;
  // The code page char, varchar and text columns are read in: the
  // collation's (the first entry) or one the user picks for data an
  // application stored in another code page.
  QComboBox* CodePageBox() const { return codePage_; }

  // The system's file-open dialog with the program's title and filter.
  static QString ChooseWithFileDialog(QWidget* parent, const QString& folder = QString());

  // What Select MDF File does once a file is picked, and what Start does;
  // Start is true when the dialog ended with the file open. The program's
  // command line goes through both without showing the dialog.
  void Select(const QString& path);
  bool Start();

  void reject() override;

 private:
  void OnSelect();
  void OnStart();
  // Whether `path` opens and reads as a data file of a supported version;
  // otherwise the user is told why and the shown file stays as it was.
  bool Acceptable(const std::string& path);
  void Refuse(const std::string& text, const char* caption);

  std::unique_ptr<Ui::CBrowse> ui_;
  ui::JobState& state_;
  mendora::DataFile& file_;
  ui::Prompts& prompts_;
  ChooseFile chooseFile_;
  QComboBox* codePage_ = nullptr;
};

}  // namespace shell
