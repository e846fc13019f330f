// The program's pictures, drawn here rather than loaded, so that they share
// one palette and one line weight at every size: the application icon, the
// toolbar images, the welcome picture, the file selection banner, the about
// picture and the splash picture.
#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QSize>

namespace widgets {

namespace palette {
inline const QColor kInk{0x1d, 0x35, 0x4a};   // outlines and text
inline const QColor kBlue{0x2b, 0x6c, 0xb0};  // the data file
inline const QColor kBlueLight{0x7f, 0xb3, 0xe6};
inline const QColor kAmber{0xf0, 0xa2, 0x2e};  // recovery
inline const QColor kRed{0xd2, 0x4b, 0x3e};    // stop
inline const QColor kGreen{0x3c, 0x9a, 0x5f};  // save
inline const QColor kPaper{0xf6, 0xf8, 0xfb};  // backgrounds
// The splash's colour key: pixels of exactly this colour are cut out.
inline const QColor kColourKey{255, 0, 240};
}  // namespace palette

enum class ToolImage { kOpen, kStop, kSave, kHelp, kAbout, kExit };
enum class ToolLook { kNormal, kHot, kDisabled };

// One toolbar image of `size` pixels, with per-pixel transparency.
QImage DrawToolImage(ToolImage image, ToolLook look, int size);
// The application icon at the usual sizes.
QIcon ApplicationIcon();
QImage DrawApplicationImage(int size);

// The welcome picture shown in the right pane when nothing else is.
QImage DrawWelcomePicture(QSize size);
// The banner at the top of the file selection and save dialogs: the
// product's name over `subtitle`.
QImage DrawBanner(QSize size, const QString& subtitle =
                                  QStringLiteral("Choose the primary data file to recover"));
// The picture of the about box.
QImage DrawAboutPicture(QSize size);
// The splash picture; its rounded corners are filled with the colour key.
QImage DrawSplashPicture(QSize size);

}  // namespace widgets
