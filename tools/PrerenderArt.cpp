// Draws the main window's pictures (the banner at its designed width with its caption, the
// icons at their sizes), as the program ships them pre-rendered (see PrerenderedArt in
// ui/Art.h): run it after changing one of those pictures, the caption or its font, and commit
// the pictures.
//
//   QT_QPA_PLATFORM=offscreen build/tombolix_prerender_art resources/art/prerendered
#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <cstdio>
#include <string>

#include "core/text/FileWrite.h"
#include "gui/app/MainFrm.h"
#include "gui/ui/Art.h"
#include "gui/ui/Fonts.h"
#include "gui/ui/Qt.h"

namespace {

bool Save(const QPixmap& picture, const QString& path) {
  std::string error;
  const QByteArray bytes = picture.isNull() ? QByteArray() : PrerenderedArtBytes(picture.toImage());
  if (bytes.isEmpty() ||
      !files::WriteFileAtomic(FromQ(path), std::string_view(bytes.constData(), bytes.size()),
                              error)) {
    std::fprintf(stderr, "%s: not written %s\n", qPrintable(path), error.c_str());
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

QString FileName(const QString& dir, const QString& name, const QSize& size) {
  return dir + QStringLiteral("/%1_%2x%3.argb32").arg(name).arg(size.width()).arg(size.height());
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (app.devicePixelRatio() != 1.0) {
    std::fprintf(stderr,
                 "needs a screen of one device pixel per pixel (QT_QPA_PLATFORM=offscreen)\n");
    return 1;
  }
  InstallFontSubstitutions();
  const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
  const int w = TMainForm::kDesignedWidth;
  bool ok =
      Save(TMainForm::RenderBannerHead(w), FileName(dir, QStringLiteral("main_head"), {w, 73}));
  // The main window's pictures, at the sizes it shows them.
  for (const auto& [name, size] : TMainForm::ShippedArt())
    ok = Save(RenderArt(name, size), FileName(dir, name, size)) && ok;
  return ok ? 0 : 1;
}
