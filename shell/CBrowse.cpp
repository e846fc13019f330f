#include "shell/CBrowse.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <optional>

#include "browser/RefusalText.h"
#include "engine/FileError.h"
#include "shell/QtText.h"
#include "ui/ProductTexts.h"
#include "ui_CBrowse.h"
#include "widgets/Artwork.h"

namespace shell {
namespace {

// Closes the data file; a failing close is reported with its cause.
bool CloseDataFile(mendora::DataFile& file, ui::Prompts& prompts) {
  try {
    file.Close();
    return true;
  } catch (const mendora::FileError& e) {
    prompts.Inform(e.what(), texts::kCaption);
    return false;
  }
}

}  // namespace

CBrowse::CBrowse(ui::JobState& state, mendora::DataFile& file, ui::Prompts& prompts,
                 ChooseFile chooseFile, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::CBrowse>()),
      state_(state),
      file_(file),
      prompts_(prompts),
      chooseFile_(chooseFile ? std::move(chooseFile)
                             : ChooseFile([](QWidget* p) { return ChooseWithFileDialog(p); })) {
  ui_->setupUi(this);
  setObjectName(QStringLiteral("CBrowse"));
  setWindowTitle(Utf8ToQString(texts::kWindowTitle));
  setWindowIcon(widgets::ApplicationIcon());
  ui_->banner->setPixmap(QPixmap::fromImage(widgets::DrawBanner(QSize(460, 72))));
  ui_->selectButton->setText(Utf8ToQString(texts::kSelectMdfFile));
  ui_->startButton->setText(Utf8ToQString(texts::kStart));
  ui_->cancelButton->setText(Utf8ToQString(texts::kCancel));
  // Room for a path of two lines.
  ui_->pathLabel->setMinimumHeight(ui_->pathLabel->fontMetrics().lineSpacing() * 2 + 4);
  ui_->pathLabel->setMinimumWidth(380);
  ui_->startButton->setEnabled(false);
  {
    auto* row = new QHBoxLayout;
    codePage_ = new QComboBox(this);
    codePage_->setObjectName(QStringLiteral("codePageBox"));
    codePage_->addItem(Utf8ToQString(texts::kCodePageOfCollation), 0);
    for (const int page : {1252, 1250, 1251, 1253, 1254, 1255, 1256, 1257, 1258, 874, 932, 936, 949,
                           950, 437, 850, 65001}) {
      codePage_->addItem(page == 65001 ? QStringLiteral("65001 (UTF-8)") : QString::number(page),
                         page);
    }
    const int chosen = codePage_->findData(state_.chosenCodePage.load());
    codePage_->setCurrentIndex(chosen < 0 ? 0 : chosen);
    row->addWidget(new QLabel(Utf8ToQString(texts::kCodePageLabel), this));
    row->addWidget(codePage_, 1);
    ui_->groupLayout->addLayout(row);
  }
  connect(ui_->selectButton, &QPushButton::clicked, this, &CBrowse::OnSelect);
  connect(ui_->startButton, &QPushButton::clicked, this, &CBrowse::OnStart);
  connect(ui_->cancelButton, &QPushButton::clicked, this, &CBrowse::reject);
  setFixedSize(sizeHint());
}

CBrowse::~CBrowse() = default;

QPushButton* CBrowse::SelectButton() const {
  return ui_->selectButton;
}
QPushButton* CBrowse::StartButton() const {
  return ui_->startButton;
}
QPushButton* CBrowse::CancelButton() const {
  return ui_->cancelButton;
}
widgets::CTransparentStatic* CBrowse::PathLabel() const {
  return ui_->pathLabel;
}

QString CBrowse::ChooseWithFileDialog(QWidget* parent, const QString& folder) {
  const QString filter = Utf8ToQString(texts::kMdfFilterName) + QStringLiteral(" (") +
                         Utf8ToQString(texts::kMdfFilterPattern) + QStringLiteral(")");
  return QFileDialog::getOpenFileName(parent, Utf8ToQString(texts::kOpenMdfTitle), folder, filter);
}

void CBrowse::OnSelect() {
  const QString path = chooseFile_(this);
  if (!path.isEmpty()) Select(path);
}

bool CBrowse::Start() {
  OnStart();
  return result() == QDialog::Accepted;
}

void CBrowse::Select(const QString& path) {
  // The tree root shows the path in upper case; the file is opened by the
  // path as chosen, since file names here are case-sensitive.
  state_.SetSelectedFilePath(ToU16(path.toUpper()));
  state_.SetChosenFilePath(QFile::encodeName(path).toStdString());
  ui_->pathLabel->hide();
  ui_->pathLabel->SetText(path);
  ui_->pathLabel->show();
  ui_->startButton->setEnabled(true);
  ui_->startButton->setFocus();
}

void CBrowse::OnStart() {
  state_.chosenCodePage = codePage_->currentData().toInt();
  state_.analysisRunning = true;
  const std::string path = state_.ChosenFilePath();
  // The file shown now stays open, and its database on screen, until the
  // chosen one has proved to be a data file of a version that can be read.
  if (!Acceptable(path)) return;
  if (file_.IsOpen() && !CloseDataFile(file_, prompts_)) return;
  if (!file_.Open(path)) {
    // Nothing runs: the status bar and Stop go back to idle at the refusal,
    // not when the selection is cancelled.
    state_.analysisRunning = false;
    prompts_.Inform(texts::kFileInUse, texts::kWindowTitle);
    ui_->startButton->setEnabled(false);
    ui_->pathLabel->SetText(QString());
    return;
  }
  if (!QFileInfo::exists(QFile::decodeName(QByteArray::fromStdString(path)))) {
    // Removed after it was opened: nothing to keep open either.
    CloseDataFile(file_, prompts_);
    state_.analysisRunning = false;
    prompts_.Inform(texts::kNoSuchFile, texts::kWindowTitle);
    return;
  }
  accept();
}

bool CBrowse::Acceptable(const std::string& path) {
  // The shown file again: its own lock would refuse a second opening.
  if (file_.IsOpen() && file_.Path() == path) return true;
  mendora::DataFile probe;
  if (!probe.Open(path)) {
    Refuse(texts::kFileInUse, texts::kWindowTitle);
    return false;
  }
  std::optional<mendora::Refusal> refusal;
  try {
    mendora::DetectVersionAndAnalyse(probe, nullptr, [&](mendora::Refusal r) { refusal = r; });
    probe.Close();
  } catch (const mendora::FileError& e) {
    Refuse(e.what(), texts::kCaption);
    return false;
  }
  if (!refusal) return true;
  // Told as the analysis tells it.
  Refuse(mendora::RefusalText(*refusal), texts::kCaption);
  return false;
}

void CBrowse::Refuse(const std::string& text, const char* caption) {
  state_.analysisRunning = false;
  prompts_.Inform(text, caption);
  ui_->startButton->setEnabled(false);
  ui_->pathLabel->SetText(QString());
}

void CBrowse::reject() {
  state_.SetSelectedFilePath({});
  state_.SetChosenFilePath({});
  QDialog::reject();
}

}  // namespace shell
