// mendora-splash: writes the splash picture, Flash.bmp, which the program
// shows at start-up from its installation folder (or from beside itself).
//
//   mendora-splash OUTPUT.bmp
//
// A 24-bit bitmap, so that the colour key of its corners stays exact.
#include <QGuiApplication>
#include <QImage>
#include <cstdio>

#include "widgets/Artwork.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: mendora-splash OUTPUT.bmp\n");
    return 2;
  }
  QGuiApplication app(argc, argv);
  const QImage picture =
      widgets::DrawSplashPicture(QSize(480, 260)).convertToFormat(QImage::Format_RGB888);
  if (!picture.save(QString::fromLocal8Bit(argv[1]), "BMP")) {
    std::fprintf(stderr, "mendora-splash: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
