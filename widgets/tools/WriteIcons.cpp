// mendora-icons: writes the application icon into a folder laid out as the
// hicolor icon theme is, FOLDER/<N>x<N>/apps/mendora.png, at the usual sizes,
// for the desktop entry and the menu; installed as they are.
//
//   mendora-icons FOLDER
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>

#include "widgets/Artwork.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: mendora-icons FOLDER\n");
    return 2;
  }
  QGuiApplication app(argc, argv);
  const QDir top(QString::fromLocal8Bit(argv[1]));
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    const QString folder = QStringLiteral("%1x%1/apps").arg(size);
    const QString file = top.filePath(folder + QStringLiteral("/mendora.png"));
    if (!top.mkpath(folder) || !widgets::DrawApplicationImage(size).save(file, "PNG")) {
      std::fprintf(stderr, "mendora-icons: cannot write %s\n", qPrintable(file));
      return 1;
    }
  }
  return 0;
}
