// mendora: the desktop program. One running copy per user; the splash; the
// main window maximised with the file selection at once, or with the data
// file named on the command line opened and analysed (as the menu entry and
// a file manager's "Open with" start it). A second copy brings the first one
// forward, says so and ends with status 0.
#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>

#include "shell/CMendoraSqlApp.h"

namespace {

void Describe(QCommandLineParser& parser) {
  parser.setApplicationDescription(
      QStringLiteral("Recovers tables, keys, indexes and program code from a SQL Server "
                     "primary data file (.mdf), read page by page."));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument(QStringLiteral("FILE"),
                               QStringLiteral("The data file to open and analyse at start."),
                               QStringLiteral("[FILE]"));
}

int UsageError(const QString& error, const QCommandLineParser& parser) {
  std::fputs(qPrintable(error + QStringLiteral("\n\n") + parser.helpText()), stderr);
  return 2;
}

// An argument starting with '-' is an option: --help, --version or a wrong
// one. They are answered without a window, so that they work without a
// display too.
bool HasOption(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] == '-') return true;
  }
  return false;
}

int AnswerOptions(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCommandLineParser parser;
  Describe(parser);
  if (!parser.parse(QCoreApplication::arguments())) return UsageError(parser.errorText(), parser);
  if (parser.isSet(QStringLiteral("help"))) parser.showHelp(0);
  if (parser.isSet(QStringLiteral("version"))) parser.showVersion();
  return UsageError(QStringLiteral("A file name cannot start with '-': give it as ./NAME."),
                    parser);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication::setApplicationName(QStringLiteral("mendora"));
  QCoreApplication::setApplicationVersion(QStringLiteral(MENDORA_VERSION));
  if (HasOption(argc, argv)) return AnswerOptions(argc, argv);

  QApplication app(argc, argv);
  const QStringList files = QApplication::arguments().mid(1);
  if (files.size() > 1) {
    QCommandLineParser parser;
    Describe(parser);
    return UsageError(QStringLiteral("Only one data file can be opened at a time."), parser);
  }
  shell::ShellSettings settings;
  if (!files.isEmpty()) settings.startFile = files.front();
  settings.windowStateFile = shell::DefaultWindowStateFile();
  shell::CMendoraSqlApp theApp(std::move(settings));
  if (!theApp.InitInstance()) return theApp.ExitCode();
  return QApplication::exec();
}
